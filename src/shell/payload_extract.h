// The install mode's first step: the two blobs appended to the shell's own
// file go to temporary files, and the bare shell is copied to the Windows
// directory as the uninstaller.
#pragma once
#include <functional>
#include "afx/file.h"
#include "engine/setup_app.h"
#include "payload/trailer.h"

inline constexpr char kTempPrefix[] = "tst";
inline constexpr char kUninstallerName[] = "\\tsu11.exe";
inline constexpr char kNoTempFileText[] = "无法建立临时文件,请检查磁盘空间是否足够!";
inline constexpr char kForeignUninstallerText[] = "'%s'不是本安装程序的卸载程序,没有覆盖。";
inline constexpr int kTempFileAttempts = 5;
inline constexpr uint64_t kMaxShellBytes = 64u << 20;
inline constexpr DWORD kTempFileRetryMs = 1000;

struct stuExtractEnv {
  CString strSelf;        // the installer file
  CString strTempDir;     // where the temporary files go
  CString strWindowsDir;  // where the uninstaller copy goes
  std::function<void(DWORD)> sleep;  // between failed attempts
};

// The directories of the machine and the process's own file.
stuExtractEnv MachineExtractEnv();

// A new temporary file holding the blob's uncompressed bytes, streamed from
// `in`, and held (platform/held_file.h) until removed; empty on failure,
// and then no file is left behind.
CString WriteTempBlob(CFile& in, const payload::BlobInfo& blob, const CString& tempDir);

// "\tsu11-<version>.exe": the uninstaller the Uninstall entry names.
CString VersionedUninstallerName();

// Copies the bare shell (self's first shellLength bytes) to the Windows
// directory as VersionedUninstallerName(), which m_strUninstaller then
// names, and as tsu11.exe unless a newer shell or a file not ours is there
// (said in a notice). FALSE after telling the user when the versioned copy
// cannot be written.
BOOL CopyUninstaller(CTarnSetupShellApp& app, CFile& self, uint64_t shellLength,
                     const stuExtractEnv& env);

// Sets m_strUIScriptFile, m_strPackageFile and m_strUninstaller, after
// removing the blobs a killed run left. FALSE,
// without a message, when the file carries no payload; FALSE after telling
// the user when one cannot be written.
BOOL ExtractPayloadTo(CTarnSetupShellApp& app, const stuExtractEnv& env);
