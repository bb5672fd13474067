#ifndef _MESSENGER_H
#define _MESSENGER_H

#include <Message.h>
#include <memory>

class BHandler;
class BLooper;

namespace BPrivate {
// A destination that is not a handler: the drag-and-drop bridge, or a
// synchronous reply that someone waits for.
class MessageSink
{
public:
    virtual ~MessageSink() = default;
    // Takes ownership of the message.
    virtual status_t Deliver(BMessage* message) = 0;
};
} // namespace BPrivate

// Sends messages to a handler (through its looper), safely from any thread.
class BMessenger
{
public:
    BMessenger();
    BMessenger(const BHandler* handler, const BLooper* looper = nullptr,
               status_t* result = nullptr);
    BMessenger(const BMessenger& other);
    explicit BMessenger(std::shared_ptr<BPrivate::MessageSink> sink);
    ~BMessenger();

    BMessenger& operator=(const BMessenger& other);
    bool operator==(const BMessenger& other) const;
    bool operator!=(const BMessenger& other) const { return !(*this == other); }

    bool IsTargetLocal() const;
    BHandler* Target(BLooper** looper) const;
    bool LockTarget() const;
    bool IsValid() const;

    status_t SendMessage(uint32 command, BHandler* replyTo = nullptr) const;
    status_t SendMessage(BMessage* message, BHandler* replyTo = nullptr,
                         bigtime_t timeout = B_INFINITE_TIMEOUT) const;
    status_t SendMessage(BMessage* message, BMessenger replyTo,
                         bigtime_t timeout = B_INFINITE_TIMEOUT) const;
    // Waits for the reply; on the GUI thread it keeps the other strands running meanwhile.
    status_t SendMessage(BMessage* message, BMessage* reply,
                         bigtime_t deliveryTimeout = B_INFINITE_TIMEOUT,
                         bigtime_t replyTimeout = B_INFINITE_TIMEOUT) const;

private:
    friend struct BPrivate::MessageDelivery;

    int32 fHandlerToken;
    std::shared_ptr<BPrivate::MessageSink> fSink;
};

#endif
