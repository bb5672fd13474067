#ifndef _LONG_WORK_H
#define _LONG_WORK_H

#include <SupportDefs.h>

#include <functional>

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

// What a window shows of run_long_work(), for tests.
bool window_shows_busy(BWindow* window);
bool window_shows_progress(BWindow* window);

} // namespace BPrivate

#endif
