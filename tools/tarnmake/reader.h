// Reads what tarnmake is given to look at: a packet, a setup package or an
// installer (a shell with the package and the UI script appended). Every
// length read from the file is checked against the bytes that back it, so a
// damaged or truncated file gives a clear error, never a crash or a huge
// allocation. Item contents and a compressed package blob are inflated as
// streams: memory stays bounded whatever sizes the file claims, and nothing
// is written to disk.
//
// A setup package is "TARN_TSPV1.0" when every target path, shortcut path
// and command line is GBK, and "TARN_TSPV1.1" when one of them holds a
// GB18030 four-byte sequence (a character GBK lacks, such as "ß" or "한");
// the two are otherwise the same form. A shell older than 1.1 refuses the
// latter as a package of another version rather than install garbled
// names.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "afx/file.h"
#include "platform/types.h"

namespace tarnmake {

enum class Kind { kPacket, kPackage, kInstaller };
const char* KindName(Kind kind);

// One index record, as stored.
struct Entry {
  std::string target_path, shortcut_path, command_line;  // ANSI
  DWORD orig_size = 0, stored_size = 0;
  BYTE install_flag = 0, icon_id = 0;
  DWORD create_time = 0, modify_time = 0, access_time = 0;
  DWORD os_version = 0, protected_flags = 0;
  int slot = -1;        // size-table slot, -1 when the entry has no data
  uint64_t offset = 0;  // of its stored bytes in the data block
};

struct InstallerInfo {
  uint64_t shell_size = 0;
  DWORD package_orig = 0, package_stored = 0;
  DWORD ui_orig = 0, ui_stored = 0;
  uint64_t ui_offset = 0;
  bool authenticode = false;  // signed after it was built
};

class Container {
 public:
  Container();
  ~Container();
  Container(const Container&) = delete;
  Container& operator=(const Container&) = delete;

  // False with a one-line reason (ANSI) in *error.
  bool Open(const std::string& path, std::string* error);

  Kind kind() const { return kind_; }
  const std::string& version() const { return version_; }
  const std::string& password() const { return password_; }
  WORD file_count() const { return fileCount_; }
  const std::vector<DWORD>& size_table() const { return sizeTable_; }
  const std::vector<Entry>& entries() const { return entries_; }
  const InstallerInfo& installer() const { return installer_; }
  uint64_t data_length() const { return dataLength_; }

  // Streams the content of an entry with data (or, for a plain packet,
  // stored item `slot`, whose size the packet does not know) into sink.
  // False with the reason in *error; a sink returning false stops it.
  using Sink = std::function<bool(const BYTE*, size_t)>;
  bool DecodeEntry(const Entry& e, const Sink& sink, std::string* error);
  // Raw stored bytes of size-table slot k.
  bool CopyStored(int slot, const Sink& sink, std::string* error);
  // Inflates a blob of an installer to nowhere: false with the reason when
  // it does not give exactly its size. With head, its first bytes (up to
  // headLimit) land there.
  enum class Blob { kUIScript, kPackage };
  bool CheckBlob(Blob blob, std::string* error, std::string* head = nullptr,
                 size_t headLimit = 16);
  // Bytes after the size table, in the file or in the package blob.
  uint64_t trailing_bytes() const { return trailing_; }

 private:
  bool OpenPacket(CFile& file, uint64_t base, uint64_t length, std::string* error);
  bool ParseIndex(CFile& block, std::string* error);

  Kind kind_ = Kind::kPacket;
  std::string version_, password_;
  WORD fileCount_ = 0;
  std::vector<DWORD> sizeTable_;
  std::vector<Entry> entries_;
  InstallerInfo installer_;
  CFile file_;  // the file named on the command line
  std::unique_ptr<CFile> inflated_;  // a compressed package blob, read as it inflates
  CFile* packet_ = nullptr;  // the file that holds the packet
  uint64_t base_ = 0;        // of the packet in *packet_
  uint64_t dataOffset_ = 0, dataLength_ = 0;  // within the packet
  uint64_t trailing_ = 0;
  uint64_t packageOffset_ = 0;  // of an installer's package blob
};

}  // namespace tarnmake
