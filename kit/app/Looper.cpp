#include <Looper.h>

#include <AppDefs.h>
#include <Message.h>
#include <Messenger.h>

#include "HandlerRegistry.h"
#include "LooperPrivate.h"
#include "MessagePrivate.h"
#include "StrandScheduler.h"
#include "support/TimedLock.h"

#include <atomic>

using BPrivate::LooperPrivate;
using BPrivate::QueuedMessage;
using BPrivate::StrandScheduler;

namespace {
std::atomic<thread_id> sNextThread{1};
}

BLooper::BLooper(const char* name, int32 priority, int32 portCapacity)
    : BHandler(name), fData(new Data)
{
    fData->thread = sNextThread++;
    AddHandler(this);
    StrandScheduler::Get()->Add(this);
}

BLooper::~BLooper()
{
    StrandScheduler::Get()->Remove(this);
    {
        std::lock_guard<std::mutex> guard(fData->queueLock);
        for (QueuedMessage& queued : fData->queue)
            delete queued.message;
        fData->queue.clear();
    }
    for (int32 i = fHandlers.CountItems() - 1; i >= 0; i--) {
        BHandler* handler = static_cast<BHandler*>(fHandlers.ItemAt(i));
        handler->_SetLooper(nullptr);
    }
    fHandlers.MakeEmpty();
    delete fData->current;
    delete fData;
}

status_t BLooper::PostMessage(uint32 command)
{
    BMessage message(command);
    return PostMessage(&message, this, nullptr);
}

status_t BLooper::PostMessage(BMessage* message)
{
    return PostMessage(message, this, nullptr);
}

status_t BLooper::PostMessage(uint32 command, BHandler* handler, BHandler* replyTo)
{
    BMessage message(command);
    return PostMessage(&message, handler, replyTo);
}

status_t BLooper::PostMessage(BMessage* message, BHandler* handler, BHandler* replyTo)
{
    if (!message)
        return B_BAD_VALUE;
    if (handler && handler->Looper() != this)
        return B_MISMATCHED_VALUES;
    BMessenger reply;
    if (replyTo)
        reply = BMessenger(replyTo);
    BMessage* copy = new BMessage(*message);
    BPrivate::MessageDelivery::Reset(copy);
    BPrivate::MessageDelivery::PrepareForDelivery(copy, replyTo ? &reply : nullptr);
    return LooperPrivate::Enqueue(this, copy, handler ? handler->Token() : 0, handler == nullptr);
}

status_t BLooper::_Post(BMessage* message, int32 handlerToken, const BMessenger* replyTo)
{
    BPrivate::MessageDelivery::PrepareForDelivery(message, replyTo);
    return LooperPrivate::Enqueue(this, message, handlerToken, false);
}

void BLooper::DispatchMessage(BMessage* message, BHandler* handler)
{
    if (message->what == B_QUIT_REQUESTED && handler == this) {
        if (QuitRequested())
            Quit();
        return;
    }
    handler->MessageReceived(message);
}

void BLooper::_DispatchQueued(BMessage* message, BHandler* handler)
{
    DispatchMessage(message, handler);
}

void BLooper::MessageReceived(BMessage* message)
{
    BHandler::MessageReceived(message);
}

BMessage* BLooper::CurrentMessage() const
{
    return fData->current;
}

BMessage* BLooper::DetachCurrentMessage()
{
    BMessage* message = fData->current;
    fData->current = nullptr;
    return message;
}

bool BLooper::IsMessageWaiting() const
{
    std::lock_guard<std::mutex> guard(fData->queueLock);
    return !fData->queue.empty();
}

int32 BLooper::CountQueuedMessages() const
{
    std::lock_guard<std::mutex> guard(fData->queueLock);
    return (int32)fData->queue.size();
}

void BLooper::AddHandler(BHandler* handler)
{
    if (!handler || handler->Looper() == this)
        return;
    if (handler->Looper())
        handler->Looper()->RemoveHandler(handler);
    handler->_SetLooper(this);
    fHandlers.AddItem(handler);
}

bool BLooper::RemoveHandler(BHandler* handler)
{
    if (!handler || handler->Looper() != this || handler == this)
        return false;
    handler->_SetLooper(nullptr);
    if (fData->preferred == handler)
        fData->preferred = nullptr;
    return fHandlers.RemoveItem(handler);
}

int32 BLooper::CountHandlers() const
{
    return fHandlers.CountItems();
}

BHandler* BLooper::HandlerAt(int32 index) const
{
    return static_cast<BHandler*>(fHandlers.ItemAt(index));
}

int32 BLooper::IndexOf(BHandler* handler) const
{
    return fHandlers.IndexOf(handler);
}

BHandler* BLooper::PreferredHandler() const
{
    return fData->preferred;
}

void BLooper::SetPreferredHandler(BHandler* handler)
{
    if (handler && handler->Looper() != this)
        return;
    fData->preferred = handler;
}

thread_id BLooper::Run()
{
    fData->state.running = true;
    StrandScheduler::Get()->Wake();
    return fData->thread;
}

void BLooper::Quit()
{
    fData->state.running = false;
    if (fData->state.dispatching) {
        // Deleting now would pull the looper out from under its own handler;
        // the scheduler deletes it when the handler returns.
        fData->state.pendingDelete = true;
        return;
    }
    delete this;
}

bool BLooper::QuitRequested()
{
    return true;
}

bool BLooper::Lock()
{
    return LockWithTimeout(B_INFINITE_TIMEOUT) == B_OK;
}

status_t BLooper::LockWithTimeout(bigtime_t timeout)
{
    if (!BPrivate::lock_within(fData->lock, timeout))
        return B_TIMED_OUT;
    fData->owner = std::this_thread::get_id();
    fData->lockCount++;
    return B_OK;
}

void BLooper::Unlock()
{
    if (fData->owner != std::this_thread::get_id() || fData->lockCount == 0)
        return;
    if (--fData->lockCount == 0)
        fData->owner = std::thread::id();
    fData->lock.unlock();
}

bool BLooper::IsLocked() const
{
    return fData->owner == std::this_thread::get_id() && fData->lockCount > 0;
}

thread_id BLooper::Thread() const
{
    return fData->thread;
}

bool BLooper::IsRunning() const
{
    return fData->state.running;
}

bool BLooper::IsDispatching() const
{
    return fData->state.dispatching;
}

BLooper* BLooper::LooperForThread(thread_id thread)
{
    return nullptr;
}

namespace BPrivate {

namespace {
thread_local BLooper* sCurrentLooper = nullptr;
}

BLooper* LooperPrivate::Current()
{
    return sCurrentLooper;
}

LooperState& LooperPrivate::State(BLooper* looper)
{
    return looper->fData->state;
}

bool LooperPrivate::PopMessage(BLooper* looper, QueuedMessage* out)
{
    std::lock_guard<std::mutex> guard(looper->fData->queueLock);
    if (looper->fData->queue.empty())
        return false;
    *out = looper->fData->queue.front();
    looper->fData->queue.pop_front();
    return true;
}

void LooperPrivate::PushFront(BLooper* looper, const QueuedMessage& message)
{
    std::lock_guard<std::mutex> guard(looper->fData->queueLock);
    looper->fData->queue.push_front(message);
}

bool LooperPrivate::HasMessages(BLooper* looper)
{
    std::lock_guard<std::mutex> guard(looper->fData->queueLock);
    return !looper->fData->queue.empty();
}

bool LooperPrivate::TryLock(BLooper* looper)
{
    return looper->LockWithTimeout(0) == B_OK;
}

void LooperPrivate::Unlock(BLooper* looper)
{
    looper->Unlock();
}

void LooperPrivate::Dispatch(BLooper* looper, const QueuedMessage& queued)
{
    BHandler* handler = nullptr;
    if (queued.preferred) {
        handler = looper->fData->preferred ? looper->fData->preferred : looper;
    } else {
        BLooper* owner = HandlerRegistry::LooperFor(queued.handlerToken, &handler);
        if (owner != looper)
            handler = nullptr;
    }
    if (!handler) {
        // The handler went away or moved to another looper after the message was sent.
        delete queued.message;
        return;
    }

    // While dispatching is set, Quit() only marks the looper: it is deleted
    // by the scheduler once this returns, so it is still here below.
    BLooper::Data* data = looper->fData;
    BMessage* previous = data->current;
    data->current = queued.message;
    data->state.dispatching = true;
    BLooper* outer = sCurrentLooper;
    sCurrentLooper = looper;
    looper->_DispatchQueued(queued.message, handler);
    sCurrentLooper = outer;
    data->state.dispatching = false;
    delete data->current;
    data->current = previous;
}

status_t LooperPrivate::Enqueue(BLooper* looper, BMessage* message, int32 handlerToken,
                                bool preferred)
{
    {
        std::lock_guard<std::mutex> guard(looper->fData->queueLock);
        looper->fData->queue.push_back({message, handlerToken, preferred});
    }
    StrandScheduler::Get()->Wake();
    return B_OK;
}

void LooperPrivate::WhenIdle(BLooper* looper, std::function<void()> then)
{
    looper->fData->whenIdle = std::move(then);
    StrandScheduler::Get()->Wake();
}

void LooperPrivate::CheckIdle(BLooper* looper)
{
    BLooper::Data* data = looper->fData;
    if (!data->whenIdle || !data->state.running || data->state.dispatching || HasMessages(looper))
        return;
    std::function<void()> then = std::move(data->whenIdle);
    data->whenIdle = nullptr;
    then();
}

status_t LooperPrivate::EnqueueCoalesced(BLooper* looper, BMessage* message, int32 handlerToken)
{
    {
        std::lock_guard<std::mutex> guard(looper->fData->queueLock);
        auto& queue = looper->fData->queue;
        if (!queue.empty() && queue.back().message->what == message->what &&
            queue.back().handlerToken == handlerToken) {
            delete queue.back().message;
            queue.back().message = message;
            return B_OK;
        }
        queue.push_back({message, handlerToken, false});
    }
    StrandScheduler::Get()->Wake();
    return B_OK;
}

} // namespace BPrivate
