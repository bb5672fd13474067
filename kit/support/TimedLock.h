#ifndef _TIMED_LOCK_H
#define _TIMED_LOCK_H

#include <SupportDefs.h>

#include <chrono>
#include <mutex>

// GCC says it is building for ThreadSanitizer with a macro, clang with a feature.
#if defined(__SANITIZE_THREAD__)
#define TAVRIN_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TAVRIN_THREAD_SANITIZER 1
#endif
#endif

namespace BPrivate {

// Takes mutex within timeout microseconds: only if it is free now for a
// timeout of 0 or less, waiting as long as it takes for B_INFINITE_TIMEOUT.
// The one way BLocker and BLooper wait for their locks.
inline bool lock_within(std::recursive_timed_mutex& mutex, bigtime_t timeout)
{
    if (timeout == B_INFINITE_TIMEOUT) {
        mutex.lock();
        return true;
    }
    if (timeout <= 0)
        return mutex.try_lock();
#ifdef TAVRIN_THREAD_SANITIZER
    // A wait on the steady clock goes through pthread_mutex_clocklock, which
    // ThreadSanitizer does not intercept: it would miss the lock and report
    // its unlock as one of an unlocked mutex. Under it the wait runs to a
    // deadline on the system clock (pthread_mutex_timedlock), which it sees.
    return mutex.try_lock_until(std::chrono::system_clock::now() +
                                std::chrono::microseconds(timeout));
#else
    return mutex.try_lock_for(std::chrono::microseconds(timeout));
#endif
}

} // namespace BPrivate

#endif
