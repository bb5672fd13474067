#ifndef TAVRIN_TEST_APP_H
#define TAVRIN_TEST_APP_H

#include <Application.h>

#include <functional>

// One application object per test process, on Qt's offscreen platform. It
// keeps the messages that reach it so that tests can look at replies.
class TestApplication : public BApplication
{
public:
    TestApplication();
    virtual void MessageReceived(BMessage* message);
    // The test process decides when it ends, not a window that closes.
    virtual bool QuitRequested();

    // Messages received by the application, oldest first.
    std::vector<BMessage> received;
};

// The process's test application, made on first use.
TestApplication* test_app();

// Turns the event loop (and so every strand) until done() holds or the time
// runs out; returns done().
bool run_until(const std::function<bool()>& done, int timeoutMs = 5000);

// Turns the event loop for a while. Only for tests that let time pass to see
// that nothing happens; to wait for something, use run_until or settle.
void run_for(int ms);

// Turns the event loop until the looper has handled every message posted to
// it before this call (its queue is first in, first out); returns false if
// that takes longer than the time given.
bool settle(BLooper* looper, int timeoutMs = 5000);

// Settles a window twice: what the test gave it, then what handling that
// posted back to it (a resize, an update).
bool settle_window(BLooper* window);

// The process's resident memory now, in kB (-1 if it cannot be read).
long resident_kb();

#endif
