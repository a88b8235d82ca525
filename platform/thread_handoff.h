#pragma once
// Marks an object handed from one thread to another through a channel whose
// synchronisation the thread sanitizer cannot see (Qt's posted events run
// through Qt's own futex-based mutex in an uninstrumented library). The
// sender calls HandOff before it gives the object away, the receiver
// Received before it first touches it; without the thread sanitizer both
// compile to nothing.

#if defined(__SANITIZE_THREAD__)
#define OMBRELO_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define OMBRELO_THREAD_SANITIZER 1
#endif
#endif

#ifdef OMBRELO_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace ombrelo {

inline void HandOff([[maybe_unused]] const void* object) {
#ifdef OMBRELO_THREAD_SANITIZER
  __tsan_release(const_cast<void*>(object));
#endif
}

inline void Received([[maybe_unused]] const void* object) {
#ifdef OMBRELO_THREAD_SANITIZER
  __tsan_acquire(const_cast<void*>(object));
#endif
}

}  // namespace ombrelo
