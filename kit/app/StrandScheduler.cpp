#include "StrandScheduler.h"

#include <Looper.h>

#include "LooperPrivate.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace BPrivate {

StrandScheduler* StrandScheduler::Get()
{
    // Never destroyed: loopers may still unregister during static teardown.
    static auto* scheduler = new StrandScheduler;
    return scheduler;
}

void StrandScheduler::Add(BLooper* looper)
{
    std::lock_guard<std::mutex> guard(fLock);
    fLoopers.push_back({looper, fNextGeneration++});
}

void StrandScheduler::Remove(BLooper* looper)
{
    std::lock_guard<std::mutex> guard(fLock);
    for (auto it = fLoopers.begin(); it != fLoopers.end(); ++it) {
        if (it->looper == looper) {
            fLoopers.erase(it);
            return;
        }
    }
}

bool StrandScheduler::IsGuiThread() const
{
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void StrandScheduler::Wake()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    if (fWakePending.exchange(true))
        return;
    QMetaObject::invokeMethod(
        app,
        [this]() {
            fWakePending = false;
            Drain();
        },
        Qt::QueuedConnection);
}

bool StrandScheduler::_IsRegistered(const Entry& entry)
{
    std::lock_guard<std::mutex> guard(fLock);
    for (const Entry& e : fLoopers) {
        if (e.looper == entry.looper && e.generation == entry.generation)
            return true;
    }
    return false;
}

bool StrandScheduler::Drain(bigtime_t budget)
{
    bigtime_t start = system_time();
    bool handledAny = false;
    bool retryLater = false;
    bool progress = true;

    while (progress) {
        progress = false;
        std::vector<Entry> snapshot;
        {
            std::lock_guard<std::mutex> guard(fLock);
            snapshot = fLoopers;
        }
        for (const Entry& entry : snapshot) {
            // A handler further down may have deleted this looper.
            if (!_IsRegistered(entry))
                continue;
            BLooper* looper = entry.looper;
            LooperState& state = LooperPrivate::State(looper);
            if (!state.running || state.dispatching)
                continue;
            QueuedMessage queued;
            if (!LooperPrivate::PopMessage(looper, &queued))
                continue;
            if (!LooperPrivate::TryLock(looper)) {
                // Another thread holds the looper; keep the message and come back.
                LooperPrivate::PushFront(looper, queued);
                retryLater = true;
                continue;
            }
            LooperPrivate::Dispatch(looper, queued);
            progress = true;
            handledAny = true;
            LooperPrivate::Unlock(looper);
            if (state.pendingDelete) {
                Remove(looper);
                delete looper;
            }
        }
        if (system_time() - start > budget) {
            bool pending = false;
            {
                std::lock_guard<std::mutex> guard(fLock);
                for (const Entry& e : fLoopers) {
                    if (LooperPrivate::HasMessages(e.looper)) {
                        pending = true;
                        break;
                    }
                }
            }
            if (pending)
                Wake();
            break;
        }
    }

    // Loopers that have handled all they were sent hear of it.
    if (!progress) {
        std::vector<Entry> snapshot;
        {
            std::lock_guard<std::mutex> guard(fLock);
            snapshot = fLoopers;
        }
        for (const Entry& entry : snapshot) {
            if (_IsRegistered(entry))
                LooperPrivate::CheckIdle(entry.looper);
        }
    }

    if (retryLater && QCoreApplication::instance())
        QTimer::singleShot(1, QCoreApplication::instance(), [this]() { Wake(); });
    return handledAny;
}

} // namespace BPrivate
