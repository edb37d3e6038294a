#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include "platform/shell_link.h"

namespace platform {

struct ShellLink::Impl {
  IShellLinkA* link = nullptr;
};

ShellLink::ShellLink() : impl_(new Impl) {}
ShellLink::~ShellLink() {
  if (impl_->link) impl_->link->Release();
}

LONG ShellLink::Create() {
  return CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                          reinterpret_cast<void**>(&impl_->link));
}
LONG ShellLink::SetPath(const std::string& t) { return impl_->link ? impl_->link->SetPath(t.c_str()) : kHrFail; }
LONG ShellLink::SetDescription(const std::string& t) {
  return impl_->link ? impl_->link->SetDescription(t.c_str()) : kHrFail;
}
LONG ShellLink::SetArguments(const std::string& t) {
  return impl_->link ? impl_->link->SetArguments(t.c_str()) : kHrFail;
}
LONG ShellLink::SetWorkingDirectory(const std::string& d) {
  return impl_->link ? impl_->link->SetWorkingDirectory(d.c_str()) : kHrFail;
}

LONG ShellLink::Save(const std::string& linkPath, LONG* saved) {
  if (saved) *saved = kHrFail;
  if (!impl_->link) return kHrFail;
  // The conversion buffer holds MAX_PATH characters: a longer name is
  // refused rather than saved cut.
  WCHAR wide[MAX_PATH];
  int n = MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
  if (n <= 0) return kHrInvalidArg;
  IPersistFile* file = nullptr;
  HRESULT hr = impl_->link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(hr)) {
    HRESULT s = file->Save(wide, TRUE);
    if (saved) *saved = s;
    file->Release();
  }
  return hr;
}

bool ShellLink::Read(const std::string& linkPath, std::string* target, std::string* workingDir) {
  ComScope com;  // callers are tools and tests, not the install worker
  ShellLink l;
  if (FAILED(l.Create())) return false;
  WCHAR wide[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH) <= 0) return false;
  IPersistFile* file = nullptr;
  if (FAILED(l.impl_->link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
    return false;
  HRESULT hr = file->Load(wide, STGM_READ);
  file->Release();
  if (FAILED(hr)) return false;
  char buf[MAX_PATH] = {0};
  if (target) {
    if (FAILED(l.impl_->link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH))) return false;
    *target = buf;
  }
  if (workingDir) {
    buf[0] = 0;
    if (FAILED(l.impl_->link->GetWorkingDirectory(buf, MAX_PATH))) return false;
    *workingDir = buf;
  }
  return true;
}

ComScope::ComScope() { ok_ = SUCCEEDED(CoInitialize(nullptr)); }
ComScope::~ComScope() {
  if (ok_) CoUninitialize();
}

}  // namespace platform
