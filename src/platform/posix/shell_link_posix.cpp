// Placeholder: the sandbox's .lnk writer is being written.
#include "platform/shell_link.h"
namespace platform {
struct ShellLink::Impl {};
ShellLink::ShellLink() : impl_(new Impl) {}
ShellLink::~ShellLink() = default;
LONG ShellLink::Create() { return kHrFail; }
LONG ShellLink::SetPath(const std::string&) { return kHrFail; }
LONG ShellLink::SetDescription(const std::string&) { return kHrFail; }
LONG ShellLink::SetArguments(const std::string&) { return kHrFail; }
LONG ShellLink::SetWorkingDirectory(const std::string&) { return kHrFail; }
LONG ShellLink::Save(const std::string&, LONG* saved) { if (saved) *saved = kHrFail; return kHrFail; }
bool ShellLink::Read(const std::string&, std::string*, std::string*) { return false; }
ComScope::ComScope() {}
ComScope::~ComScope() {}
}  // namespace platform
