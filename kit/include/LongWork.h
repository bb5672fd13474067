#ifndef _LONG_WORK_H
#define _LONG_WORK_H

#include <DataIO.h>

#include <atomic>
#include <functional>

class BLooper;
class BWindow;

namespace BPrivate {

// Runs work (decoding, encoding, writing a file) on a thread of its own and
// returns its status once it has finished. Called in a looper's handler on
// the GUI thread, that looper waits as it would in a modal alert: its
// messages stay queued and reach it afterwards in order, while every other
// looper goes on and every window repaints from what it last drew. When the
// waiting looper is a window, the window shows a busy cursor once the work
// has taken about 0.3 s, and after about 1 s a thin progress bar along its
// bottom edge, fed by progress (a fraction from 0 to 1, negative when not
// known; it is called on the GUI thread while work runs). Both go away when
// the work ends. Anywhere else (another thread, no application) work simply
// runs on the calling thread.
//
// work must not touch windows or views: it runs outside every looper.
status_t run_long_work(const std::function<status_t()>& work,
                       const std::function<float()>& progress = nullptr);

// A stream seen through another, counting how far into it the reads have
// come, so that the GUI thread can tell how much of a translation is done
// while a worker reads. The stream it watches stays its owner's.
class WatchedIO : public BPositionIO
{
public:
    explicit WatchedIO(BPositionIO* source);

    ssize_t Read(void* buffer, size_t size) override;
    ssize_t Write(const void* buffer, size_t size) override;
    ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
    ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
    off_t Seek(off_t position, uint32 seekMode) override;
    off_t Position() const override;
    status_t SetSize(off_t size) override;
    status_t GetSize(off_t* size) const override;
    status_t Flush() override;

    // The furthest byte read so far over the stream's size (from any
    // thread), or -1 when the size is not known.
    float Fraction() const;

private:
    void _Reached(off_t end);

    BPositionIO* fSource;
    off_t fSize;
    std::atomic<off_t> fFurthest{0};
};

// Whether a handler of looper waits in run_long_work() now (on the GUI thread).
bool looper_waits(BLooper* looper);

// What a window shows of run_long_work(), for tests.
bool window_shows_busy(BWindow* window);
bool window_shows_progress(BWindow* window);

} // namespace BPrivate

#endif
