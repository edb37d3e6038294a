#include <windows.h>
#include <cstdlib>
#include "platform/sync.h"

namespace platform {
namespace {
// SRWLOCK and CONDITION_VARIABLE are one pointer, zero when fresh: they
// live in the objects' own state.
PSRWLOCK Lock(void** state) { return reinterpret_cast<PSRWLOCK>(state); }
PCONDITION_VARIABLE Cond(void** state) { return reinterpret_cast<PCONDITION_VARIABLE>(state); }
static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*),
              "both fit in a pointer");

DWORD WINAPI Run(LPVOID body) {
  (*static_cast<std::function<void()>*>(body))();
  return 0;
}
}  // namespace

Mutex::~Mutex() = default;
void Mutex::lock() { AcquireSRWLockExclusive(Lock(&state_)); }
void Mutex::unlock() { ReleaseSRWLockExclusive(Lock(&state_)); }

CondVar::~CondVar() = default;
void CondVar::Wait(Mutex& lock) {
  if (!SleepConditionVariableSRW(Cond(&state_), Lock(&lock.state_), INFINITE, 0)) std::abort();
}
void CondVar::NotifyOne() { WakeConditionVariable(Cond(&state_)); }
void CondVar::NotifyAll() { WakeAllConditionVariable(Cond(&state_)); }

Thread::~Thread() {
  if (handle_) std::abort();  // as std::thread: never left running unjoined
}

bool Thread::Start(std::function<void()> body) {
  if (handle_) return false;
  body_ = std::move(body);
  handle_ = CreateThread(nullptr, 0, Run, &body_, 0, nullptr);
  return handle_ != nullptr;
}

void Thread::Join() {
  if (!handle_) return;
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(handle_);
  handle_ = nullptr;
}

unsigned ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors ? info.dwNumberOfProcessors : 1;
}

}  // namespace platform
