#include "TestApp.h"

#include <Message.h>

#include "app/LooperPrivate.h"

#include <QCoreApplication>
#include <QElapsedTimer>

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
