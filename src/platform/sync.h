// Locks, condition variables and threads: the operating system's own, so
// that the Windows programs carry no POSIX thread library (32 KiB of the
// shell). Mutex meets BasicLockable, for std::lock_guard and
// std::unique_lock.
#pragma once
#include <functional>

namespace platform {

// Not recursive. Zero-initialised state is an unlocked mutex, so one of
// static storage is usable before its constructor has run.
class Mutex {
 public:
  Mutex() = default;
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  void lock();
  void unlock();

 private:
  friend class CondVar;
  void* state_ = nullptr;
};

class CondVar {
 public:
  CondVar() = default;
  ~CondVar();
  CondVar(const CondVar&) = delete;
  CondVar& operator=(const CondVar&) = delete;
  // Called with `lock` held, which is released while waiting; may wake
  // without a notification.
  void Wait(Mutex& lock);
  template <typename Pred>
  void Wait(Mutex& lock, Pred done) {
    while (!done()) Wait(lock);
  }
  void NotifyOne();
  void NotifyAll();

 private:
  void* state_ = nullptr;
};

// One thread running a function. It must be joined before it is destroyed.
class Thread {
 public:
  Thread() = default;
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  // False when no thread could be started.
  bool Start(std::function<void()> body);
  // Waits for the thread to end; nothing when none was started.
  void Join();

 private:
  std::function<void()> body_;
  void* handle_ = nullptr;
};

// Logical processors of the machine; at least 1.
unsigned ProcessorCount();

}  // namespace platform
