#ifndef _LOCKER_H
#define _LOCKER_H

#include <SupportDefs.h>

// A recursive lock: the thread that holds it may lock it again.
class BLocker
{
public:
    BLocker();
    BLocker(const char* name);
    virtual ~BLocker();

    bool Lock();
    status_t LockWithTimeout(bigtime_t timeout);
    void Unlock();

    bool IsLocked() const;
    int32 CountLocks() const;

private:
    BLocker(const BLocker&) = delete;
    BLocker& operator=(const BLocker&) = delete;

    struct Data;
    Data* fData;
};

// Holds a lock for the lifetime of a scope.
template <class T>
class BAutolock_t
{
public:
    BAutolock_t(T* lockable) : fLockable(lockable), fLocked(lockable && lockable->Lock()) {}
    ~BAutolock_t()
    {
        if (fLocked)
            fLockable->Unlock();
    }
    bool IsLocked() const { return fLocked; }

private:
    T* fLockable;
    bool fLocked;
};

typedef BAutolock_t<BLocker> BAutolock;

#endif
