// Placeholder: the sandbox's recorded programs are being written.
#include <unistd.h>
#include "platform/process.h"
namespace platform {
bool StartProcess(const std::string&, bool) { return false; }
LibraryCall CallLibraryEntry(const std::string&, const char*) { return LibraryCall::kLoadFailed; }
void SleepMs(DWORD ms) { usleep(ms * 1000); }
}  // namespace platform
