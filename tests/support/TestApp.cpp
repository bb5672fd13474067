#include "TestApp.h"

#include <Handler.h>
#include <Message.h>

#include "app/LooperPrivate.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <fstream>
#include <string>
#include <vector>

TestApplication::TestApplication() : BApplication("application/x-vnd.tavrin-test")
{
    // Tests never call Run(): the application's strand starts here.
    BLooper::Run();
}

void TestApplication::MessageReceived(BMessage* message)
{
    received.push_back(*message);
    BApplication::MessageReceived(message);
}

bool TestApplication::QuitRequested()
{
    return false;
}

TestApplication* test_app()
{
    static TestApplication* app = new TestApplication;
    return app;
}

bool run_until(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void run_for(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

namespace {

// Handled after everything that was in its looper's queue before it.
class Marker : public BHandler
{
public:
    Marker() : BHandler("settle marker") {}
    void MessageReceived(BMessage*) override { reached = true; }
    std::atomic<bool> reached{false};
};

} // namespace

bool settle(BLooper* looper, int timeoutMs)
{
    Marker* marker = new Marker;
    if (!looper->Lock()) {
        delete marker;
        return false;
    }
    looper->AddHandler(marker);
    looper->Unlock();
    looper->PostMessage('sEtl', marker);
    if (!run_until([&] { return marker->reached.load(); }, timeoutMs)) {
        // The marker is still queued and may yet be handled: it stays in its
        // looper, harmless, rather than be freed under it.
        return false;
    }
    if (looper->Lock()) {
        looper->RemoveHandler(marker);
        looper->Unlock();
    }
    delete marker;
    return true;
}

bool settle_window(BLooper* window)
{
    return settle(window) && settle(window);
}

long resident_kb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}
