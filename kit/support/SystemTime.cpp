#include <SupportDefs.h>

#include <cerrno>
#include <ctime>

bigtime_t system_time()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (bigtime_t)now.tv_sec * 1000000 + now.tv_nsec / 1000;
}

status_t snooze(bigtime_t microseconds)
{
    if (microseconds <= 0)
        return B_OK;
    struct timespec left;
    left.tv_sec = microseconds / 1000000;
    left.tv_nsec = (microseconds % 1000000) * 1000;
    // A signal cuts nanosleep short; the rest of the time is slept afterwards.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
    return B_OK;
}
