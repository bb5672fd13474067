#include <LongWork.h>

#include <Window.h>

#include "app/LooperPrivate.h"
#include "app/StrandScheduler.h"
#include "interface/ViewPrivate.h"
#include "interface/WindowPrivate.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEventLoop>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <exception>
#include <new>
#include <thread>

#include <malloc.h>
#include <unistd.h>

namespace BPrivate {

namespace {

const int kBusyAfterMs = 300;
const int kProgressAfterMs = 1000;
const int kProgressPeriodMs = 100;
const int kProgressHeight = 4;
const int kProgressSteps = 1000;
const char* const kProgressName = "tavrin-long-work-progress";
const char* const kBusyProperty = "tavrin-long-work-busy";

// The process the kit was loaded in.
const pid_t sProcess = getpid();

status_t guarded(const std::function<status_t()>& work)
{
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return B_NO_MEMORY;
    } catch (...) {
        return B_ERROR;
    }
}

// The busy cursor and the progress bar of one window while its handler
// waits; the destructor takes both away.
class BusyState
{
public:
    explicit BusyState(QWidget* window) : fWindow(window) {}

    ~BusyState()
    {
        if (fWindow.isNull())
            return;
        if (fCursorSet) {
            if (fHadCursor)
                fWindow->setCursor(fOldCursor);
            else
                fWindow->unsetCursor();
            fWindow->setProperty(kBusyProperty, false);
        }
        delete fBar;
    }

    void ShowBusy()
    {
        if (fWindow.isNull() || fCursorSet)
            return;
        fHadCursor = fWindow->testAttribute(Qt::WA_SetCursor);
        fOldCursor = fWindow->cursor();
        fWindow->setCursor(Qt::WaitCursor);
        fWindow->setProperty(kBusyProperty, true);
        fCursorSet = true;
    }

    void ShowProgress(float fraction)
    {
        if (fWindow.isNull())
            return;
        if (fBar.isNull()) {
            fBar = new QProgressBar(fWindow);
            fBar->setObjectName(kProgressName);
            fBar->setTextVisible(false);
            fBar->setRange(0, kProgressSteps);
        }
        // Along the bottom edge, over whatever the window shows there.
        fBar->setGeometry(0, fWindow->height() - kProgressHeight, fWindow->width(),
                          kProgressHeight);
        if (fraction < 0) {
            fBar->setRange(0, 0); // moves to and fro: the amount is not known
        } else {
            fBar->setRange(0, kProgressSteps);
            fBar->setValue(int(std::min(fraction, 1.0f) * kProgressSteps));
        }
        fBar->raise();
        fBar->show();
    }

private:
    QPointer<QWidget> fWindow;
    QPointer<QProgressBar> fBar;
    QCursor fOldCursor;
    bool fHadCursor = false;
    bool fCursorSet = false;
};

// The loopers whose handler waits for long work now, innermost last.
std::vector<BLooper*> sWaiting;

QWidget* waiting_window()
{
    BWindow* window = dynamic_cast<BWindow*>(LooperPrivate::Current());
    if (window == nullptr)
        return nullptr;
    return WindowBridge::Data(window)->widget.data();
}

} // namespace

status_t run_long_work(const std::function<status_t()>& work,
                       const std::function<float()>& progress)
{
    // A child forked from the program has only the thread that forked it, and
    // Qt's event loop there is not to be trusted: the work runs in place.
    if (QCoreApplication::instance() == nullptr || !StrandScheduler::Get()->IsGuiThread() ||
        getpid() != sProcess)
        return guarded(work);

    std::atomic<bool> done{false};
    status_t status = B_ERROR;
    QEventLoop loop;
    std::thread worker([&]() {
        status = guarded(work);
        done = true;
        // Posted, so it is safe from this thread; the loop outlives the
        // thread, which is joined below.
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });

    BLooper* looper = LooperPrivate::Current();
    sWaiting.push_back(looper);
    BusyState busy(waiting_window());
    QTimer busyTimer, progressTimer;
    busyTimer.setSingleShot(true);
    QObject::connect(&busyTimer, &QTimer::timeout, [&]() { busy.ShowBusy(); });
    int waited = 0;
    QObject::connect(&progressTimer, &QTimer::timeout, [&]() {
        waited += kProgressPeriodMs;
        if (waited >= kProgressAfterMs)
            busy.ShowProgress(progress ? progress() : -1.0f);
    });
    busyTimer.start(kBusyAfterMs);
    progressTimer.start(kProgressPeriodMs);

    while (!done)
        loop.exec();
    worker.join();
    // What the work allocated and freed (a codec's rows and tables) stays in
    // the malloc arena of its thread, which is gone: give it back.
    malloc_trim(0);
    sWaiting.erase(std::find(sWaiting.begin(), sWaiting.end(), looper));
    // Views that kept pixels of their own while their window waited (it
    // changed size) go back to drawing into the window's buffer.
    if (auto* window = dynamic_cast<BWindow*>(looper)) {
        if (!looper_waits(window)) {
            for (BView* view : WindowBridge::Data(window)->children)
                ViewBridge::RefreshBacking(view);
        }
    }
    return status;
}

bool looper_waits(BLooper* looper)
{
    return looper && std::find(sWaiting.begin(), sWaiting.end(), looper) != sWaiting.end();
}

WatchedIO::WatchedIO(BPositionIO* source) : fSource(source), fSize(-1)
{
    off_t size;
    if (source->GetSize(&size) == B_OK)
        fSize = size;
}

ssize_t WatchedIO::Read(void* buffer, size_t size)
{
    ssize_t got = fSource->Read(buffer, size);
    if (got > 0)
        _Reached(fSource->Position());
    return got;
}

ssize_t WatchedIO::Write(const void* buffer, size_t size)
{
    return fSource->Write(buffer, size);
}

ssize_t WatchedIO::ReadAt(off_t position, void* buffer, size_t size)
{
    ssize_t got = fSource->ReadAt(position, buffer, size);
    if (got > 0)
        _Reached(position + got);
    return got;
}

ssize_t WatchedIO::WriteAt(off_t position, const void* buffer, size_t size)
{
    return fSource->WriteAt(position, buffer, size);
}

off_t WatchedIO::Seek(off_t position, uint32 seekMode)
{
    return fSource->Seek(position, seekMode);
}

off_t WatchedIO::Position() const
{
    return fSource->Position();
}

status_t WatchedIO::SetSize(off_t size)
{
    return fSource->SetSize(size);
}

status_t WatchedIO::GetSize(off_t* size) const
{
    return fSource->GetSize(size);
}

status_t WatchedIO::Flush()
{
    return fSource->Flush();
}

float WatchedIO::Fraction() const
{
    if (fSize <= 0)
        return -1;
    return std::min(1.0f, float(fFurthest.load()) / float(fSize));
}

void WatchedIO::_Reached(off_t end)
{
    off_t furthest = fFurthest.load();
    while (end > furthest && !fFurthest.compare_exchange_weak(furthest, end)) {
    }
}

bool window_shows_busy(BWindow* window)
{
    QWidget* widget = window ? WindowBridge::Data(window)->widget.data() : nullptr;
    return widget && widget->property(kBusyProperty).toBool() &&
           widget->cursor().shape() == Qt::WaitCursor;
}

bool window_shows_progress(BWindow* window)
{
    QWidget* widget = window ? WindowBridge::Data(window)->widget.data() : nullptr;
    if (widget == nullptr)
        return false;
    QProgressBar* bar = widget->findChild<QProgressBar*>(kProgressName);
    return bar != nullptr && bar->isVisible();
}

} // namespace BPrivate
