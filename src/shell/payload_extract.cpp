#include "shell/payload_extract.h"
#include <vector>
#include "afx/msgbox.h"
#include "payload/authenticode.h"
#include "shell/temp_sweep.h"
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

}  // namespace

BOOL ExtractPayloadTo(CTarnSetupShellApp& app, const stuExtractEnv& env) {
  CFile self;
  CFileException error;
  if (!self.Open(env.strSelf, CFile::modeRead | CFile::shareDenyWrite, &error)) {
    char text[1024] = {0};
    error.GetErrorMessage(text, sizeof text);
    AfxMessageBox(text);
    return FALSE;
  }
  // Anything but a whole trailer means no payload we could use; the file
  // may be the bare shell, so nothing is said.
  payload::TrailerInfo info = payload::ReadTrailer(self);
  if (!info.ok()) return FALSE;
  RemoveLeftoverBlobs(env.strTempDir);

  app.m_strUIScriptFile = WriteWithRetries(self, info.uiScript, env);
  if (app.m_strUIScriptFile.IsEmpty()) {
    AfxMessageBox(kNoTempFileText);
    return FALSE;
  }
  app.m_strPackageFile = WriteWithRetries(self, info.package, env);
  if (app.m_strPackageFile.IsEmpty()) {
    AfxMessageBox(kNoTempFileText);
    return FALSE;
  }

  app.m_strUninstaller = env.strWindowsDir + kUninstallerName;
  CFile copy;
  if (!copy.Open(app.m_strUninstaller, CFile::modeCreate | CFile::modeWrite)) {
    AfxMessageBox(kNoTempFileText);
    return FALSE;
  }
  BOOL copied = CopyLeadingPart(self, info.shellLength, copy);
  copy.Close();
  if (!copied || copy.IsFailed()) {
    AfxMessageBox(kNoTempFileText);
    return FALSE;
  }
  return TRUE;
}
