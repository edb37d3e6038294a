#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include "platform/file.h"
#include "platform/shell_link.h"
#include "platform/wide.h"

namespace platform {

struct ShellLink::Impl {
  IShellLinkW* link = nullptr;
};

ShellLink::ShellLink() : impl_(new Impl) {}
ShellLink::~ShellLink() {
  if (impl_->link) impl_->link->Release();
}

LONG ShellLink::Create() {
  return CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                          reinterpret_cast<void**>(&impl_->link));
}
LONG ShellLink::SetPath(const std::string& t) { return impl_->link ? impl_->link->SetPath(Wide(t).c_str()) : kHrFail; }
LONG ShellLink::SetDescription(const std::string& t) {
  return impl_->link ? impl_->link->SetDescription(Wide(t).c_str()) : kHrFail;
}
LONG ShellLink::SetArguments(const std::string& t) {
  return impl_->link ? impl_->link->SetArguments(Wide(t).c_str()) : kHrFail;
}
LONG ShellLink::SetWorkingDirectory(const std::string& d) {
  return impl_->link ? impl_->link->SetWorkingDirectory(Wide(d).c_str()) : kHrFail;
}

LONG ShellLink::Save(const std::string& linkPath, LONG* saved) {
  if (saved) *saved = kHrFail;
  if (!impl_->link) return kHrFail;
  // A name over MAX_PATH characters is refused rather than saved cut.
  const std::wstring wide = Wide(linkPath);
  if (wide.empty() || wide.size() >= MAX_PATH) return kHrInvalidArg;
  // The link's bytes go to memory and from there through a link-free open,
  // as an installed file's do: a save by name would follow a folder
  // swapped for a link.
  IPersistStream* persist = nullptr;
  HRESULT hr = impl_->link->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist));
  if (FAILED(hr)) return hr;
  IStream* stream = nullptr;
  HRESULT s = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  if (SUCCEEDED(s)) s = persist->Save(stream, TRUE);
  persist->Release();
  ULARGE_INTEGER size;
  size.QuadPart = 0;
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  if (SUCCEEDED(s)) s = stream->Seek(zero, STREAM_SEEK_CUR, &size);
  HGLOBAL memory = nullptr;
  if (SUCCEEDED(s)) s = GetHGlobalFromStream(stream, &memory);
  if (SUCCEEDED(s)) {
    const void* bytes = GlobalLock(memory);
    FileHandle f;
    int error = 0;
    s = bytes && f.OpenLinkFree(linkPath, kAccessWrite, kShareExclusive, true, true, &error) &&
                f.Write(bytes, static_cast<size_t>(size.QuadPart))
            ? S_OK
            : E_FAIL;
    if (bytes) GlobalUnlock(memory);
  }
  if (stream) stream->Release();
  if (saved) *saved = s;
  return hr;
}

bool ShellLink::Read(const std::string& linkPath, std::string* target, std::string* workingDir) {
  ComScope com;  // callers are tools and tests, not the install worker
  ShellLink l;
  if (FAILED(l.Create())) return false;
  const std::wstring wide = Wide(linkPath);
  IPersistFile* file = nullptr;
  if (FAILED(l.impl_->link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
    return false;
  HRESULT hr = file->Load(wide.c_str(), STGM_READ);
  file->Release();
  if (FAILED(hr)) return false;
  wchar_t buf[MAX_PATH] = {0};
  if (target) {
    // The item list holds the target in Unicode; the link's path record may
    // hold it in the code page alone (Wine writes it so).
    LPITEMIDLIST items = nullptr;
    if (SUCCEEDED(l.impl_->link->GetIDList(&items)) && items && SHGetPathFromIDListW(items, buf)) {
      *target = Narrow(buf);
    } else if (SUCCEEDED(l.impl_->link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH))) {
      *target = Narrow(buf);
    } else {
      CoTaskMemFree(items);
      return false;
    }
    CoTaskMemFree(items);
  }
  if (workingDir) {
    buf[0] = 0;
    if (FAILED(l.impl_->link->GetWorkingDirectory(buf, MAX_PATH))) return false;
    *workingDir = Narrow(buf);
  }
  return true;
}

ComScope::ComScope() { ok_ = SUCCEEDED(CoInitialize(nullptr)); }
ComScope::~ComScope() {
  if (ok_) CoUninitialize();
}

}  // namespace platform
