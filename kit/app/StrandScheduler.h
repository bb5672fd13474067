#ifndef _STRAND_SCHEDULER_H
#define _STRAND_SCHEDULER_H

#include <SupportDefs.h>

#include <atomic>
#include <mutex>
#include <vector>

class BLooper;

namespace BPrivate {

// Runs every looper as a strand on the GUI thread. Each wake-up drains the
// queues round-robin, one message per looper per round, skipping a looper
// whose handler is still running further up the stack (a nested event loop),
// so that no looper is ever re-entered while the others go on.
class StrandScheduler
{
public:
    static StrandScheduler* Get();

    void Add(BLooper* looper);
    void Remove(BLooper* looper);
    // Safe from any thread; does nothing until the GUI event loop exists.
    void Wake();
    // Handles queued messages on the calling (GUI) thread until none is ready
    // or the time budget runs out; true when any message was handled.
    bool Drain(bigtime_t budget = 10000);

    bool IsGuiThread() const;

private:
    struct Entry
    {
        BLooper* looper;
        uint64 generation;
    };

    bool _IsRegistered(const Entry& entry);

    std::mutex fLock;
    std::vector<Entry> fLoopers;
    uint64 fNextGeneration = 1;
    std::atomic<bool> fWakePending{false};
};

} // namespace BPrivate

#endif
