#include <condition_variable>
#include <mutex>
#include <thread>
#include "platform/sync.h"

namespace platform {
namespace {
// The standard library's objects, made on first use: a Mutex of static
// storage may be locked before its constructor has run.
template <typename T>
T* Get(void** state) {
  if (void* p = __atomic_load_n(state, __ATOMIC_ACQUIRE)) return static_cast<T*>(p);
  T* made = new T;
  void* expected = nullptr;
  if (__atomic_compare_exchange_n(state, &expected, made, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
    return made;
  delete made;
  return static_cast<T*>(expected);
}
}  // namespace

Mutex::~Mutex() { delete static_cast<std::mutex*>(state_); }
void Mutex::lock() { Get<std::mutex>(&state_)->lock(); }
void Mutex::unlock() { Get<std::mutex>(&state_)->unlock(); }

CondVar::~CondVar() { delete static_cast<std::condition_variable*>(state_); }
void CondVar::Wait(Mutex& lock) {
  std::unique_lock<std::mutex> l(*Get<std::mutex>(&lock.state_), std::adopt_lock);
  Get<std::condition_variable>(&state_)->wait(l);
  l.release();
}
void CondVar::NotifyOne() { Get<std::condition_variable>(&state_)->notify_one(); }
void CondVar::NotifyAll() { Get<std::condition_variable>(&state_)->notify_all(); }

Thread::~Thread() { delete static_cast<std::thread*>(handle_); }

bool Thread::Start(std::function<void()> body) {
  if (handle_) return false;
  body_ = std::move(body);
  try {
    handle_ = new std::thread([this] { body_(); });
  } catch (...) {
    return false;
  }
  return true;
}

void Thread::Join() {
  if (!handle_) return;
  std::thread* t = static_cast<std::thread*>(handle_);
  t->join();
  delete t;
  handle_ = nullptr;
}

unsigned ProcessorCount() {
  unsigned n = std::thread::hardware_concurrency();
  return n ? n : 1;
}

}  // namespace platform
