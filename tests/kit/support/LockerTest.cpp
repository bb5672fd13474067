#include <Locker.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(LockerTest, IsRecursiveForItsHolder)
{
    BLocker locker("test");
    EXPECT_FALSE(locker.IsLocked());
    EXPECT_TRUE(locker.Lock());
    EXPECT_TRUE(locker.Lock());
    EXPECT_TRUE(locker.IsLocked());
    EXPECT_EQ(locker.CountLocks(), 2);
    locker.Unlock();
    EXPECT_TRUE(locker.IsLocked());
    locker.Unlock();
    EXPECT_FALSE(locker.IsLocked());
    EXPECT_EQ(locker.CountLocks(), 0);
}

TEST(LockerTest, OtherThreadsWaitOrTimeOut)
{
    BLocker locker;
    ASSERT_TRUE(locker.Lock());
    status_t timed = B_OK;
    status_t polled = B_OK;
    bool seenLocked = true;
    std::thread other([&] {
        seenLocked = locker.IsLocked();
        bigtime_t start = system_time();
        timed = locker.LockWithTimeout(20000);
        EXPECT_GE(system_time() - start, 15000);
        polled = locker.LockWithTimeout(0);
        // A stray unlock from a thread that does not hold the lock changes nothing.
        locker.Unlock();
    });
    other.join();
    EXPECT_FALSE(seenLocked);
    EXPECT_EQ(timed, B_TIMED_OUT);
    EXPECT_EQ(polled, B_WOULD_BLOCK);
    EXPECT_EQ(locker.CountLocks(), 1);
    locker.Unlock();

    std::atomic<bool> acquired{false};
    std::thread later([&] {
        acquired = locker.LockWithTimeout(1000000) == B_OK;
        locker.Unlock();
    });
    later.join();
    EXPECT_TRUE(acquired);
}

TEST(LockerTest, AutolockHoldsForItsScope)
{
    BLocker locker;
    {
        BAutolock lock(&locker);
        EXPECT_TRUE(lock.IsLocked());
        EXPECT_EQ(locker.CountLocks(), 1);
    }
    EXPECT_FALSE(locker.IsLocked());
}

TEST(TimeTest, SnoozeWaitsOnTheMonotonicClock)
{
    bigtime_t start = system_time();
    EXPECT_EQ(snooze(10000), B_OK);
    bigtime_t elapsed = system_time() - start;
    EXPECT_GE(elapsed, 10000);
    EXPECT_LT(elapsed, 2000000);
    EXPECT_EQ(snooze(-5), B_OK);
}

} // namespace
