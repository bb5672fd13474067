#include <Messenger.h>

#include <AppDefs.h>
#include <Handler.h>
#include <Looper.h>

#include "HandlerRegistry.h"
#include "LooperPrivate.h"
#include "MessagePrivate.h"
#include "StrandScheduler.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <condition_variable>

using BPrivate::HandlerRegistry;
using BPrivate::MessageDelivery;

namespace {

// Collects the one reply of a synchronous send.
class ReplyWaiter : public BPrivate::MessageSink
{
public:
    status_t Deliver(BMessage* message) override
    {
        std::lock_guard<std::mutex> guard(fLock);
        if (fReply) {
            delete message;
            return B_DUPLICATE_REPLY;
        }
        fReply = message;
        fCondition.notify_all();
        return B_OK;
    }

    BMessage* Take()
    {
        std::lock_guard<std::mutex> guard(fLock);
        BMessage* reply = fReply;
        fReply = nullptr;
        return reply;
    }

    bool HasReply()
    {
        std::lock_guard<std::mutex> guard(fLock);
        return fReply != nullptr;
    }

    bool Wait(bigtime_t timeout)
    {
        std::unique_lock<std::mutex> guard(fLock);
        if (timeout == B_INFINITE_TIMEOUT) {
            fCondition.wait(guard, [this] { return fReply != nullptr; });
            return true;
        }
        return fCondition.wait_for(guard, std::chrono::microseconds(timeout),
                                   [this] { return fReply != nullptr; });
    }

    ~ReplyWaiter() override { delete fReply; }

private:
    std::mutex fLock;
    std::condition_variable fCondition;
    BMessage* fReply = nullptr;
};

} // namespace

BMessenger::BMessenger() : fHandlerToken(0) {}

BMessenger::BMessenger(const BHandler* handler, const BLooper* looper, status_t* result)
    : fHandlerToken(0)
{
    status_t status = B_OK;
    if (!handler)
        handler = looper;
    if (!handler)
        status = B_BAD_VALUE;
    else if (looper && handler->Looper() != looper)
        status = B_MISMATCHED_VALUES;
    else
        fHandlerToken = handler->Token();
    if (result)
        *result = status;
}

BMessenger::BMessenger(const BMessenger& other)
    : fHandlerToken(other.fHandlerToken), fSink(other.fSink)
{}

BMessenger::BMessenger(std::shared_ptr<BPrivate::MessageSink> sink)
    : fHandlerToken(0), fSink(std::move(sink))
{}

BMessenger::~BMessenger() = default;

BMessenger& BMessenger::operator=(const BMessenger& other)
{
    fHandlerToken = other.fHandlerToken;
    fSink = other.fSink;
    return *this;
}

bool BMessenger::operator==(const BMessenger& other) const
{
    return fHandlerToken == other.fHandlerToken && fSink == other.fSink;
}

bool BMessenger::IsTargetLocal() const
{
    return true;
}

BHandler* BMessenger::Target(BLooper** looper) const
{
    BHandler* handler = nullptr;
    BLooper* owner = fHandlerToken ? HandlerRegistry::LooperFor(fHandlerToken, &handler) : nullptr;
    if (looper)
        *looper = owner;
    return owner ? handler : nullptr;
}

bool BMessenger::LockTarget() const
{
    BLooper* looper = nullptr;
    Target(&looper);
    return looper && looper->Lock();
}

bool BMessenger::IsValid() const
{
    if (fSink)
        return true;
    return fHandlerToken && HandlerRegistry::LooperFor(fHandlerToken, nullptr) != nullptr;
}

status_t BMessenger::SendMessage(uint32 command, BHandler* replyTo) const
{
    BMessage message(command);
    return SendMessage(&message, replyTo);
}

status_t BMessenger::SendMessage(BMessage* message, BHandler* replyTo, bigtime_t timeout) const
{
    BMessenger reply;
    if (replyTo)
        reply = BMessenger(replyTo);
    return SendMessage(message, reply, timeout);
}

status_t BMessenger::SendMessage(BMessage* message, BMessenger replyTo, bigtime_t timeout) const
{
    if (!message)
        return B_BAD_VALUE;
    BMessage* copy = new BMessage(*message);
    // Keep the reply flag and the original: a reply travels through here too.
    uint32 flags = MessageDelivery::Flags(message) & MessageDelivery::kIsReply;
    const BMessage* original = message->Previous();
    MessageDelivery::Reset(copy);
    MessageDelivery::SetFlags(copy, flags);
    if (original)
        MessageDelivery::SetOriginal(copy, *original);
    if (fSink) {
        MessageDelivery::PrepareForDelivery(copy, replyTo.IsValid() ? &replyTo : nullptr);
        return fSink->Deliver(copy);
    }
    BHandler* handler = nullptr;
    BLooper* looper = fHandlerToken ? HandlerRegistry::LooperFor(fHandlerToken, &handler) : nullptr;
    if (!looper) {
        delete copy;
        return B_BAD_PORT_ID;
    }
    MessageDelivery::PrepareForDelivery(copy, replyTo.IsValid() ? &replyTo : nullptr);
    return BPrivate::LooperPrivate::Enqueue(looper, copy, fHandlerToken, false);
}

status_t BMessenger::SendMessage(BMessage* message, BMessage* reply, bigtime_t deliveryTimeout,
                                 bigtime_t replyTimeout) const
{
    if (!message || !reply)
        return B_BAD_VALUE;
    if (!IsValid())
        return B_BAD_PORT_ID;

    auto waiter = std::make_shared<ReplyWaiter>();
    BMessage* copy = new BMessage(*message);
    MessageDelivery::Reset(copy);
    BMessenger replyTo(waiter);
    MessageDelivery::PrepareForDelivery(copy, &replyTo);
    MessageDelivery::SetFlags(copy, MessageDelivery::Flags(copy) | MessageDelivery::kSourceWaiting);

    status_t status;
    if (fSink) {
        status = fSink->Deliver(copy);
    } else {
        BHandler* handler = nullptr;
        BLooper* looper = HandlerRegistry::LooperFor(fHandlerToken, &handler);
        if (!looper) {
            delete copy;
            return B_BAD_PORT_ID;
        }
        if (looper->IsDispatching() && BPrivate::StrandScheduler::Get()->IsGuiThread()) {
            // The target's strand is the one waiting: it could never answer.
            delete copy;
            return B_MESSAGE_TO_SELF;
        }
        status = BPrivate::LooperPrivate::Enqueue(looper, copy, fHandlerToken, false);
    }
    if (status != B_OK)
        return status;

    if (BPrivate::StrandScheduler::Get()->IsGuiThread()) {
        // The answer comes from a strand on this very thread: keep the event
        // loop turning until it arrives.
        bigtime_t deadline =
            replyTimeout == B_INFINITE_TIMEOUT ? B_INFINITE_TIMEOUT : system_time() + replyTimeout;
        while (!waiter->HasReply()) {
            if (deadline != B_INFINITE_TIMEOUT && system_time() >= deadline)
                return B_TIMED_OUT;
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
                                            20);
        }
    } else if (!waiter->Wait(replyTimeout)) {
        return B_TIMED_OUT;
    }

    BMessage* answer = waiter->Take();
    *reply = *answer;
    delete answer;
    return B_OK;
}
