// Per-thread state of the platform whose clean-up runs when the thread ends.
//
// A C++ thread_local with a destructor registers that destructor on its first use in a thread,
// and the registration takes the dynamic loader's lock. A module that is being unloaded holds
// that lock while it joins its own threads, so a thread of it whose first wait (or first message
// queue, or first code-page conversion) falls into that moment would wait for the loader, and
// the loader for the thread. A pthread key registers nothing per thread: its value is set and
// cleaned up without the loader.
#pragma once

#include <pthread.h>
#include <unistd.h>

#include <cstdlib>

namespace kvp {

template <class T>
class ThreadSlot {
 public:
  ThreadSlot() { pthread_key_create(&key_, [](void* value) { delete static_cast<T*>(value); }); }
  // The key lives as long as the process: threads may still end after static destruction.
  ~ThreadSlot() = default;
  ThreadSlot(const ThreadSlot&) = delete;
  ThreadSlot& operator=(const ThreadSlot&) = delete;

  // The calling thread's value, made on first use.
  T& Get() {
    if (T* value = Find()) return *value;
    T* value = new T();
    pthread_setspecific(key_, value);
    // The main thread's keys are not cleaned up when the process exits: its value goes then.
    if (gettid() == getpid()) {
      static ThreadSlot* mainSlot = nullptr;
      mainSlot = this;
      std::atexit([] {
        T* main = mainSlot->Find();
        pthread_setspecific(mainSlot->key_, nullptr);
        delete main;
      });
    }
    return *value;
  }
  // The calling thread's value, or null when it has none yet.
  T* Find() const { return static_cast<T*>(pthread_getspecific(key_)); }

 private:
  pthread_key_t key_{};
};

}  // namespace kvp
