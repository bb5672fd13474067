#ifndef _LOOPER_H
#define _LOOPER_H

#include <Handler.h>
#include <List.h>

class BMessage;
class BMessenger;

typedef int32 thread_id;

#define B_LOOPER_PORT_DEFAULT_CAPACITY 200
#define B_NORMAL_PRIORITY 10
#define B_DISPLAY_PRIORITY 15

namespace BPrivate {
class StrandScheduler;
class LooperPrivate;
struct MessageDelivery;
} // namespace BPrivate

// A message loop. On this platform every looper is a strand on the GUI thread:
// it has its own queue, handles one message at a time, and is never re-entered
// (a nested event loop inside one of its handlers lets other loopers run, not
// this one). Posting is safe from any thread.
class BLooper : public BHandler
{
public:
    BLooper(const char* name = nullptr, int32 priority = B_NORMAL_PRIORITY,
            int32 portCapacity = B_LOOPER_PORT_DEFAULT_CAPACITY);
    virtual ~BLooper();

    status_t PostMessage(uint32 command);
    status_t PostMessage(BMessage* message);
    status_t PostMessage(uint32 command, BHandler* handler, BHandler* replyTo = nullptr);
    status_t PostMessage(BMessage* message, BHandler* handler, BHandler* replyTo = nullptr);

    virtual void DispatchMessage(BMessage* message, BHandler* handler);
    virtual void MessageReceived(BMessage* message);
    BMessage* CurrentMessage() const;
    BMessage* DetachCurrentMessage();
    bool IsMessageWaiting() const;
    int32 CountQueuedMessages() const;

    void AddHandler(BHandler* handler);
    bool RemoveHandler(BHandler* handler);
    int32 CountHandlers() const;
    BHandler* HandlerAt(int32 index) const;
    int32 IndexOf(BHandler* handler) const;

    BHandler* PreferredHandler() const;
    void SetPreferredHandler(BHandler* handler);

    // Starts the strand; messages posted before wait in the queue.
    virtual thread_id Run();
    // Ends the strand and deletes the looper (later, if it is handling a message now).
    virtual void Quit();
    virtual bool QuitRequested();

    bool Lock();
    void Unlock();
    bool IsLocked() const;
    status_t LockWithTimeout(bigtime_t timeout);
    thread_id Thread() const;
    bool IsRunning() const;
    // True while one of this looper's handlers runs.
    bool IsDispatching() const;

    static BLooper* LooperForThread(thread_id thread);

protected:
    // Called by the strand for each message it takes from the queue.
    virtual void _DispatchQueued(BMessage* message, BHandler* handler);

private:
    friend class BPrivate::StrandScheduler;
    friend class BPrivate::LooperPrivate;
    friend struct BPrivate::MessageDelivery;
    struct Data;

    status_t _Post(BMessage* message, int32 handlerToken, const BMessenger* replyTo);

    Data* fData;
    BList fHandlers;
};

#endif
