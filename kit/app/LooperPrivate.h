#ifndef _LOOPER_PRIVATE_H
#define _LOOPER_PRIVATE_H

#include <Looper.h>
#include <Messenger.h>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace BPrivate {

struct QueuedMessage
{
    BMessage* message = nullptr;
    int32 handlerToken = 0;
    // The message names no handler: the preferred handler takes it.
    bool preferred = false;
};

struct LooperState
{
    bool running = false;
    bool dispatching = false;
    bool pendingDelete = false;
};

class LooperPrivate
{
public:
    static LooperState& State(BLooper* looper);
    static bool PopMessage(BLooper* looper, QueuedMessage* out);
    static void PushFront(BLooper* looper, const QueuedMessage& message);
    static bool HasMessages(BLooper* looper);
    static bool TryLock(BLooper* looper);
    static void Unlock(BLooper* looper);
    static void Dispatch(BLooper* looper, const QueuedMessage& message);
    // Queues a message that is already addressed (delivery flags set).
    static status_t Enqueue(BLooper* looper, BMessage* message, int32 handlerToken, bool preferred);
    // The looper whose handler runs now on this thread, if any.
    static BLooper* Current();
    // Coalesces pointer motion: replaces a queued B_MOUSE_MOVED for the same handler.
    static status_t EnqueueCoalesced(BLooper* looper, BMessage* message, int32 handlerToken);
    // Runs then once, on the GUI thread, the first time the looper has
    // handled every message it was sent and is not in a handler.
    static void WhenIdle(BLooper* looper, std::function<void()> then);
    // Runs the looper's waiting WhenIdle, if it is idle now.
    static void CheckIdle(BLooper* looper);
};

} // namespace BPrivate

struct BLooper::Data
{
    std::mutex queueLock;
    std::deque<BPrivate::QueuedMessage> queue;
    std::recursive_timed_mutex lock;
    std::atomic<std::thread::id> owner{};
    int32 lockCount = 0;
    BPrivate::LooperState state;
    BMessage* current = nullptr;
    BHandler* preferred = nullptr;
    std::function<void()> whenIdle;
    thread_id thread = 0;
};

#endif
