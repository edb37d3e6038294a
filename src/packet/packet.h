// The packet archive: a header, a data block with every item's stored bytes,
// an index block that a derived class fills, and a size table.
//
//   counted string   version ("TarnPKV2.0" unless a derived class sets its own)
//   BYTE             password length, then the password bytes
//   DWORD            reserved
//   WORD             file count
//   DWORD L1         data block length, then L1 bytes: stored items back to back
//   DWORD L2         index block length, then L2 bytes
//   count            size table count (WORD, or 0xFFFF and a DWORD)
//   DWORD * count    stored size of each item, in data block order
//
// All integers little-endian. The data block is streamed to and from the
// packet file; only the index block is held in memory.
#pragma once
#include <memory>
#include "afx/archive.h"
#include "afx/collections.h"
#include "afx/file.h"

// Shown for every item that is stored raw because zlib could not shrink it.
TARN_EXPORT extern const char kWriteEncodeFailedText[];

class TARN_EXPORT CPacket {
 public:
  CPacket();
  virtual ~CPacket();  // slot 0
  CPacket(const CPacket&) = delete;
  CPacket& operator=(const CPacket&) = delete;

 protected:
  // Hooks for derived classes, in their slot order. The write hooks append at
  // the file's current position: WriteIndexInfo gets an empty memory file,
  // WriteDataInfo the packet file itself, positioned at the data block. The
  // read hooks get a file positioned at the start of their block that ends
  // with the block.
  virtual int WriteIndexInfo(CFile& index);   // 1
  virtual int WriteDataInfo(CFile& data);     // 2
  virtual int ReadIndexInfo(CFile& index);    // 3
  virtual int ReadDataInfo(CFile& data);      // 4
  virtual int UnpackDataInfo(CFile& data);    // 5

  // Stored length that `buffer` would take; the buffer is consumed.
  virtual DWORD Encode(std::unique_ptr<BYTE[]> buffer, DWORD length);                  // 6
  // 0 on success (*dstLen = bytes produced), -1 on failure.
  virtual int Decode(const BYTE* src, BYTE* dst, DWORD srcLen, DWORD* dstLen);        // 7
  // Stores one item at the file's position; returns its stored length.
  virtual DWORD WriteEncode(CFile& file, const BYTE* buffer, DWORD length);          // 8
  // Copies stored item k, undecoded, into out and positions out at its start.
  virtual int GetData(DWORD k, CFile& out);                                           // 9
  virtual int GetIndxInfo();                                                          // 10

 public:
  virtual int Unpack();                      // 11
  virtual int MakePacket() = 0;              // 12
  virtual int WritePacket();                 // 13
  virtual int ReadPacket();                  // 14
  virtual void SetPassword(LPCSTR text);     // 15
  virtual void GetPassword(CString& out);    // 16

 protected:
  // Reads the size table alone.
  int GetDataSizeTable();

  CString m_strPacketFile;
  CString m_strVersion;
  WORD m_wFileCount = 0;
  CDWordArray m_dwaDataSize;
  CString m_strPassword;
  DWORD m_dwReserved = 0;

 private:
  enum class ReadMode { IndexOnly, Data, Unpack };
  int ReadCommon(ReadMode mode, LPCSTR versionMessage);
};
