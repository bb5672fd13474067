#include <Handler.h>

#include <Looper.h>
#include <Message.h>

#include <cstdlib>
#include <cstring>

#include "HandlerRegistry.h"

BHandler::BHandler(const char* name)
    : fName(name ? strdup(name) : nullptr), fLooper(nullptr), fNextHandler(nullptr),
      fToken(BPrivate::HandlerRegistry::Register(this))
{}

BHandler::~BHandler()
{
    BPrivate::HandlerRegistry::Unregister(fToken);
    if (fLooper && fLooper != this)
        fLooper->RemoveHandler(this);
    free(fName);
}

void BHandler::MessageReceived(BMessage* message)
{
    // Unhandled messages travel along the chain; at its end they are dropped.
    if (fNextHandler)
        fNextHandler->MessageReceived(message);
}

BLooper* BHandler::Looper() const
{
    return fLooper;
}

void BHandler::SetName(const char* name)
{
    free(fName);
    fName = name ? strdup(name) : nullptr;
}

const char* BHandler::Name() const
{
    return fName;
}

void BHandler::SetNextHandler(BHandler* handler)
{
    fNextHandler = handler;
}

BHandler* BHandler::NextHandler() const
{
    return fNextHandler;
}

bool BHandler::LockLooper()
{
    return fLooper && fLooper->Lock();
}

status_t BHandler::LockLooperWithTimeout(bigtime_t timeout)
{
    if (!fLooper)
        return B_BAD_VALUE;
    return fLooper->LockWithTimeout(timeout);
}

void BHandler::UnlockLooper()
{
    if (fLooper)
        fLooper->Unlock();
}

void BHandler::_SetLooper(BLooper* looper)
{
    fLooper = looper;
}
