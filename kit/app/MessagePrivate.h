#ifndef _MESSAGE_PRIVATE_H
#define _MESSAGE_PRIVATE_H

#include <Message.h>
#include <Messenger.h>

namespace BPrivate {

// Delivery state of a message: who sent it, where replies go, whether the
// sender waits. Kept apart from the fields (which flatten); the app kit owns it.
struct MessageDelivery
{
    enum { kDelivered = 0x01, kIsReply = 0x02, kSourceWaiting = 0x04, kReplied = 0x08 };

    // Frees the delivery state; a waiting sender that got no reply hears B_NO_REPLY.
    static void Release(BMessage* message);
    // Marks a copy that is about to be queued, with its reply target if any.
    static void PrepareForDelivery(BMessage* message, const BMessenger* replyTo);
    static void SetReplyTo(BMessage* message, const BMessenger& replyTo);
    // Forgets where the copy came from: no reply target, no flags.
    static void Reset(BMessage* message);
    static void SetOriginal(BMessage* message, const BMessage& original);
    static void SetFlags(BMessage* message, uint32 flags);
    static uint32 Flags(const BMessage* message);
    static const BMessenger* ReplyTo(const BMessage* message);
    static int32 TargetToken(const BMessenger& messenger);
    static std::shared_ptr<MessageSink> TargetSink(const BMessenger& messenger);
};

} // namespace BPrivate

#endif
