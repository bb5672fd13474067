#include <Locker.h>

#include "support/TimedLock.h"

#include <atomic>
#include <mutex>
#include <thread>

// The mutex does the locking; the owner and the nesting depth are kept beside
// it because the standard mutex cannot say who holds it.
struct BLocker::Data
{
    std::recursive_timed_mutex mutex;
    std::atomic<std::thread::id> owner{};
    int32 count = 0;
};

BLocker::BLocker() : fData(new Data) {}

BLocker::BLocker(const char* name) : fData(new Data) {}

// The platform lets a thread delete a lock it holds (a looper quitting does);
// the mutex must not be destroyed while owned, so the holder's locks go first.
BLocker::~BLocker()
{
    if (IsLocked()) {
        while (fData->count > 0) {
            fData->count--;
            fData->mutex.unlock();
        }
    }
    delete fData;
}

bool BLocker::Lock()
{
    return LockWithTimeout(B_INFINITE_TIMEOUT) == B_OK;
}

status_t BLocker::LockWithTimeout(bigtime_t timeout)
{
    if (!BPrivate::lock_within(fData->mutex, timeout))
        return timeout <= 0 ? B_WOULD_BLOCK : B_TIMED_OUT;
    fData->owner.store(std::this_thread::get_id());
    fData->count++;
    return B_OK;
}

void BLocker::Unlock()
{
    // Only the holder may unlock; a stray Unlock from another thread is ignored
    // rather than corrupting the mutex.
    if (!IsLocked())
        return;
    if (--fData->count == 0)
        fData->owner.store(std::thread::id());
    fData->mutex.unlock();
}

bool BLocker::IsLocked() const
{
    return fData->owner.load() == std::this_thread::get_id();
}

int32 BLocker::CountLocks() const
{
    return IsLocked() ? fData->count : 0;
}
