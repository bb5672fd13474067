#include <Application.h>
#include <Message.h>
#include <Messenger.h>

#include "MessagePrivate.h"

namespace BPrivate {

void MessageDelivery::Release(BMessage* message)
{
    if (message->fReplyTo && (message->fFlags & kSourceWaiting) && !(message->fFlags & kReplied)) {
        // Someone waits for an answer that will never come; tell them.
        BMessage noReply(B_NO_REPLY);
        message->fReplyTo->SendMessage(&noReply);
    }
    delete message->fReplyTo;
    message->fReplyTo = nullptr;
    delete message->fOriginal;
    message->fOriginal = nullptr;
    message->fFlags = 0;
}

void MessageDelivery::PrepareForDelivery(BMessage* message, const BMessenger* replyTo)
{
    if (replyTo && replyTo->IsValid())
        SetReplyTo(message, *replyTo);
    message->fFlags |= kDelivered;
}

void MessageDelivery::SetReplyTo(BMessage* message, const BMessenger& replyTo)
{
    delete message->fReplyTo;
    message->fReplyTo = new BMessenger(replyTo);
}

void MessageDelivery::Reset(BMessage* message)
{
    delete message->fReplyTo;
    message->fReplyTo = nullptr;
    delete message->fOriginal;
    message->fOriginal = nullptr;
    message->fFlags = 0;
}

void MessageDelivery::SetOriginal(BMessage* message, const BMessage& original)
{
    delete message->fOriginal;
    message->fOriginal = new BMessage(original);
}

void MessageDelivery::SetFlags(BMessage* message, uint32 flags)
{
    message->fFlags = flags;
}

uint32 MessageDelivery::Flags(const BMessage* message)
{
    return message->fFlags;
}

const BMessenger* MessageDelivery::ReplyTo(const BMessage* message)
{
    return message->fReplyTo;
}

int32 MessageDelivery::TargetToken(const BMessenger& messenger)
{
    return messenger.fHandlerToken;
}

std::shared_ptr<MessageSink> MessageDelivery::TargetSink(const BMessenger& messenger)
{
    return messenger.fSink;
}

} // namespace BPrivate

using BPrivate::MessageDelivery;

void BMessage::_CopyDeliveryFrom(const BMessage& other)
{
    // A copy is a new message: it shares the reply target but not the fact
    // that someone waits for an answer to the original.
    delete fReplyTo;
    fReplyTo = other.fReplyTo ? new BMessenger(*other.fReplyTo) : nullptr;
    delete fOriginal;
    fOriginal = nullptr;
    fFlags = other.fFlags & ~(MessageDelivery::kSourceWaiting | MessageDelivery::kReplied);
}

bool BMessage::IsReply() const
{
    return fFlags & MessageDelivery::kIsReply;
}

bool BMessage::WasDelivered() const
{
    return fFlags & MessageDelivery::kDelivered;
}

bool BMessage::IsSourceWaiting() const
{
    return (fFlags & MessageDelivery::kSourceWaiting) && !(fFlags & MessageDelivery::kReplied);
}

bool BMessage::IsSourceRemote() const
{
    return false;
}

BMessenger BMessage::ReturnAddress() const
{
    if (fReplyTo)
        return *fReplyTo;
    return BMessenger();
}

const BMessage* BMessage::Previous() const
{
    return fOriginal;
}

status_t BMessage::SendReply(uint32 command, BHandler* replyTo)
{
    BMessage reply(command);
    return SendReply(&reply, replyTo);
}

status_t BMessage::SendReply(BMessage* reply, BHandler* replyTo, bigtime_t timeout)
{
    BMessenger messenger;
    if (replyTo)
        messenger = BMessenger(replyTo);
    return SendReply(reply, messenger, timeout);
}

status_t BMessage::SendReply(BMessage* reply, BMessenger replyTo, bigtime_t timeout)
{
    if (!reply)
        return B_BAD_VALUE;
    if (!(fFlags & MessageDelivery::kDelivered))
        return B_BAD_REPLY;
    if ((fFlags & MessageDelivery::kSourceWaiting) && (fFlags & MessageDelivery::kReplied))
        return B_DUPLICATE_REPLY;

    // The sender named a reply target; without one the reply goes to the application.
    BMessenger target = fReplyTo ? *fReplyTo : be_app_messenger;
    if (!target.IsValid())
        return B_BAD_PORT_ID;

    BMessage copy(*reply);
    copy.fFlags |= MessageDelivery::kIsReply;
    delete copy.fOriginal;
    copy.fOriginal = new BMessage(*this);
    status_t status = target.SendMessage(&copy, replyTo, timeout);
    if (status == B_OK)
        fFlags |= MessageDelivery::kReplied;
    return status;
}
