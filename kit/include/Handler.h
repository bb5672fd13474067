#ifndef _HANDLER_H
#define _HANDLER_H

#include <SupportDefs.h>

class BLooper;
class BMessage;

// Something that handles messages; it belongs to at most one looper, which
// calls MessageReceived for it on the looper's strand.
class BHandler
{
public:
    BHandler(const char* name = nullptr);
    virtual ~BHandler();

    virtual void MessageReceived(BMessage* message);

    BLooper* Looper() const;
    void SetName(const char* name);
    const char* Name() const;

    virtual void SetNextHandler(BHandler* handler);
    BHandler* NextHandler() const;

    bool LockLooper();
    status_t LockLooperWithTimeout(bigtime_t timeout);
    void UnlockLooper();

    // A number that names the handler while it lives; messengers hold it, so a
    // message for a deleted handler is refused instead of reaching freed memory.
    int32 Token() const { return fToken; }

private:
    BHandler(const BHandler&) = delete;
    BHandler& operator=(const BHandler&) = delete;

    friend class BLooper;
    void _SetLooper(BLooper* looper);

    char* fName;
    BLooper* fLooper;
    BHandler* fNextHandler;
    int32 fToken;
};

#endif
