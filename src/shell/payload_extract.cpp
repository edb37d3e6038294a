#include "shell/payload_extract.h"
#include <vector>
#include "afx/msgbox.h"
#include "payload/authenticode.h"
#include "shell/temp_sweep.h"
#include "payload/shell_identity.h"
#include "shell/shell_version.h"
#include "platform/fs.h"
#include "platform/held_file.h"
#include "platform/process.h"

stuExtractEnv MachineExtractEnv() {
  stuExtractEnv env;
  env.strSelf = platform::ModuleFileName();
  env.strTempDir = platform::TempPath();
  env.strWindowsDir = platform::WindowsDirectory();
  env.sleep = [](DWORD ms) { platform::SleepMs(ms); };
  return env;
}

CString WriteTempBlob(CFile& in, const payload::BlobInfo& blob, const CString& tempDir) {
  if (blob.size == 0) return CString();
  CString path = platform::TempFileName(tempDir.str(), kTempPrefix);
  if (path.IsEmpty()) return CString();
  // The folder is the user's: held from here on, the file is what the
  // engine reads, whatever another program does to the name.
  if (!platform::HoldFile(path.str())) {
    bool linked = false;
    platform::RemovePlainFile(path.str(), &linked);
    return CString();
  }
  BOOL ok;
  {
    CFile out;
    ok = out.Open(path, CFile::modeCreate | CFile::modeWrite) && payload::ExtractBlob(in, blob, out);
    if (out.IsOpen()) out.Close();
    ok = ok && !out.IsFailed();
  }
  if (!ok) {
    // The name was made for this attempt only: a half-written file helps no one.
    platform::RemoveFile(path.str());
    return CString();
  }
  return path;
}

namespace {

CString WriteWithRetries(CFile& in, const payload::BlobInfo& blob, const stuExtractEnv& env) {
  for (int attempt = 0; attempt < kTempFileAttempts; ++attempt) {
    CString path = WriteTempBlob(in, blob, env.strTempDir);
    if (!path.IsEmpty()) return path;
    if (env.sleep) env.sleep(kTempFileRetryMs);
  }
  return CString();
}

BOOL CopyLeadingPart(CFile& in, uint64_t length, CFile& out) {
  if (in.Seek(0, CFile::begin) != 0) return FALSE;
  std::vector<BYTE> chunk(1 << 20);
  const uint64_t whole = length;
  bool first = true;
  while (length > 0) {
    size_t want = length < chunk.size() ? static_cast<size_t>(length) : chunk.size();
    if (in.Read(chunk.data(), want) != want) return FALSE;
    // A signed installer's signature covers the whole file and lies past the
    // copy's end: the copy must not claim it.
    if (first) payload::DropCutSignature(chunk.data(), want, whole);
    first = false;
    if (!out.Write(chunk.data(), want)) return FALSE;
    length -= want;
  }
  return TRUE;
}

// What lies under a name, read whole up to a size no shell reaches; false
// when nothing is there.
bool ReadExisting(const CString& path, std::string* bytes) {
  CFile f;
  if (!f.Open(path, CFile::modeRead | CFile::shareDenyNone)) return false;
  const uint64_t size = f.GetLength();
  if (size > kMaxShellBytes) return true;  // no shell of ours: foreign
  bytes->resize(static_cast<size_t>(size));
  if (size && f.Read(&(*bytes)[0], bytes->size()) != bytes->size()) bytes->clear();
  return true;
}

// Written beside and renamed into place: a link under the name is
// replaced, never written through, and a cut copy never takes the name.
BOOL WriteShellCopy(CFile& self, uint64_t length, const CString& dir, const CString& path) {
  const std::string tmp = platform::TempFileName(dir.str(), "tsu");
  if (tmp.empty()) return FALSE;
  CFile out;
  BOOL ok = out.Open(tmp.c_str(), CFile::modeCreate | CFile::modeWrite) &&
            CopyLeadingPart(self, length, out);
  out.Close();
  ok = ok && !out.IsFailed() && platform::RenameOver(tmp, path.str());
  if (!ok) platform::RemoveFile(tmp);
  return ok;
}

}  // namespace

CString VersionedUninstallerName() {
  return CString("\\tsu11-") + kShellVersionText + ".exe";
}

BOOL CopyUninstaller(CTarnSetupShellApp& app, CFile& self, uint64_t shellLength,
                     const stuExtractEnv& env) {
  // The entry names a copy of this version alone: older shells overwrite
  // tsu11.exe whatever it is, and an older uninstaller cannot read every
  // log this one writes.
  app.m_strUninstaller = env.strWindowsDir + VersionedUninstallerName();
  std::string bytes;
  const bool there = ReadExisting(app.m_strUninstaller, &bytes);
  const payload::ShellIdentity own = payload::IdentifyShell(bytes);
  if (!there || own.kind != payload::ShellKind::kVersioned || own.version != kShellVersion) {
    if (!WriteShellCopy(self, shellLength, env.strWindowsDir, app.m_strUninstaller)) {
      AfxReportFailure(app.m_strUninstaller, kNoTempFileText);
      return FALSE;
    }
  }
  // tsu11.exe as before, for what names it; never an older shell over a
  // newer one, nor over a file that is not a shell of ours.
  const CString legacy = env.strWindowsDir + kUninstallerName;
  bytes.clear();
  bool write = !ReadExisting(legacy, &bytes);
  if (!write) {
    const payload::ShellIdentity old = payload::IdentifyShell(bytes);
    if (old.kind == payload::ShellKind::kForeign) {
      CString note;
      note.Format(kForeignUninstallerText, static_cast<LPCSTR>(legacy));
      AfxReportNotice(legacy, note, MB_OK | MB_ICONINFORMATION);
      return TRUE;
    }
    write = old.kind == payload::ShellKind::kOlderShell || old.version < kShellVersion;
  }
  if (write && !WriteShellCopy(self, shellLength, env.strWindowsDir, legacy)) {
    // The entry does not name it: the install goes on.
    CString note;
    note.Format("更新卸载程序'%s'失败!", static_cast<LPCSTR>(legacy));
    AfxReportNotice(legacy, note, MB_OK | MB_ICONINFORMATION);
  }
  return TRUE;
}

BOOL ExtractPayloadTo(CTarnSetupShellApp& app, const stuExtractEnv& env) {
  CFile self;
  CFileException error;
  if (!self.Open(env.strSelf, CFile::modeRead | CFile::shareDenyWrite, &error)) {
    char text[1024] = {0};
    error.GetErrorMessage(text, sizeof text);
    AfxReportFailure(env.strSelf, text);
    return FALSE;
  }
  // Anything but a whole trailer means no payload we could use; the file
  // may be the bare shell, so nothing is said.
  payload::TrailerInfo info = payload::ReadTrailer(self);
  if (!info.ok()) return FALSE;
  RemoveLeftoverBlobs(env.strTempDir);

  app.m_strUIScriptFile = WriteWithRetries(self, info.uiScript, env);
  if (app.m_strUIScriptFile.IsEmpty()) {
    AfxReportFailure(env.strTempDir, kNoTempFileText);
    return FALSE;
  }
  app.m_strPackageFile = WriteWithRetries(self, info.package, env);
  if (app.m_strPackageFile.IsEmpty()) {
    AfxReportFailure(env.strTempDir, kNoTempFileText);
    return FALSE;
  }

  return CopyUninstaller(app, self, info.shellLength, env);
}
