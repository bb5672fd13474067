#include <Invoker.h>

#include <Handler.h>
#include <Looper.h>
#include <Message.h>

BInvoker::BInvoker() : fMessage(nullptr) {}

BInvoker::BInvoker(BMessage* message, const BHandler* handler, const BLooper* looper)
    : fMessage(message)
{
    SetTarget(handler, looper);
}

BInvoker::BInvoker(BMessage* message, BMessenger target) : fMessage(message), fMessenger(target) {}

BInvoker::~BInvoker()
{
    delete fMessage;
}

status_t BInvoker::SetMessage(BMessage* message)
{
    if (message == fMessage)
        return B_OK;
    delete fMessage;
    fMessage = message;
    return B_OK;
}

BMessage* BInvoker::Message() const
{
    return fMessage;
}

uint32 BInvoker::Command() const
{
    return fMessage ? fMessage->what : 0;
}

status_t BInvoker::SetTarget(const BHandler* handler, const BLooper* looper)
{
    status_t status = B_OK;
    if (!handler && !looper) {
        fMessenger = BMessenger();
        return B_OK;
    }
    fMessenger = BMessenger(handler, looper, &status);
    return status;
}

status_t BInvoker::SetTarget(BMessenger messenger)
{
    fMessenger = messenger;
    return B_OK;
}

bool BInvoker::IsTargetLocal() const
{
    return fMessenger.IsTargetLocal();
}

BHandler* BInvoker::Target(BLooper** looper) const
{
    return fMessenger.Target(looper);
}

BMessenger BInvoker::Messenger() const
{
    return fMessenger;
}

status_t BInvoker::Invoke(BMessage* message)
{
    if (!message)
        message = fMessage;
    if (!message)
        return B_BAD_VALUE;
    return fMessenger.SendMessage(message);
}
