#ifndef _INVOKER_H
#define _INVOKER_H

#include <Messenger.h>

class BHandler;
class BLooper;
class BMessage;

// Something that sends a message to a target when it is invoked. The invoker
// owns its message; Invoke posts a copy.
class BInvoker
{
public:
    BInvoker();
    BInvoker(BMessage* message, const BHandler* handler, const BLooper* looper = nullptr);
    BInvoker(BMessage* message, BMessenger target);
    virtual ~BInvoker();

    virtual status_t SetMessage(BMessage* message);
    BMessage* Message() const;
    uint32 Command() const;

    virtual status_t SetTarget(const BHandler* handler, const BLooper* looper = nullptr);
    virtual status_t SetTarget(BMessenger messenger);
    bool IsTargetLocal() const;
    BHandler* Target(BLooper** looper = nullptr) const;
    BMessenger Messenger() const;

    virtual status_t Invoke(BMessage* message = nullptr);

private:
    BInvoker(const BInvoker&) = delete;
    BInvoker& operator=(const BInvoker&) = delete;

    BMessage* fMessage;
    BMessenger fMessenger;
};

#endif
