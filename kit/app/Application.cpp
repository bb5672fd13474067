#include <Application.h>

#include <Entry.h>
#include <Window.h>

#include "LooperPrivate.h"
#include "StrandScheduler.h"

#include "qt/Platform.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

BApplication* be_app = nullptr;
BMessenger be_app_messenger;

struct BApplication::Data
{
    std::string signature;
    status_t initStatus = B_NO_INIT;
    bool ownsQApp = false;
    bool launching = true;
    std::vector<BWindow*> windows;
    bigtime_t pulseRate = 0;
};

BApplication::BApplication(const char* signature) : BLooper(signature), fAppData(new Data)
{
    _InitData(signature, nullptr);
}

BApplication::BApplication(const char* signature, status_t* error)
    : BLooper(signature), fAppData(new Data)
{
    _InitData(signature, error);
}

void BApplication::_InitData(const char* signature, status_t* error)
{
    fAppData->signature = signature ? signature : "";
    if (be_app) {
        fprintf(stderr, "There can be only one BApplication object.\n");
        fAppData->initStatus = B_ALREADY_RUNNING;
        if (error)
            *error = fAppData->initStatus;
        return;
    }
    if (!QApplication::instance()) {
        // Without a display there is nothing to show; say so plainly rather
        // than letting the platform abort.
        std::string problem;
        if (!BPrivate::Platform::CheckDisplay(&problem)) {
            fprintf(stderr, "%s: %s\n", BPrivate::Platform::ProgramName(), problem.c_str());
            exit(1);
        }
        BPrivate::Platform::CreateApplication();
        fAppData->ownsQApp = true;
    }
    be_app = this;
    be_app_messenger = BMessenger(this);
    fAppData->initStatus = B_OK;
    if (error)
        *error = B_OK;
}

BApplication::~BApplication()
{
    // Windows still open when the program ends go with it.
    while (!fAppData->windows.empty()) {
        BWindow* window = fAppData->windows.back();
        fAppData->windows.pop_back();
        delete window;
    }
    if (be_app == this) {
        be_app = nullptr;
        be_app_messenger = BMessenger();
    }
    // Process the platform's deferred deletions before the platform goes.
    if (fAppData->ownsQApp)
        BPrivate::Platform::DestroyApplication();
    delete fAppData;
}

status_t BApplication::InitCheck() const
{
    return fAppData->initStatus;
}

thread_id BApplication::Run()
{
    std::vector<std::string> args = BPrivate::Platform::CommandLine();
    if (args.size() > 1) {
        BMessage argv(B_ARGV_RECEIVED);
        argv.AddInt32("argc", (int32)args.size());
        for (const std::string& arg : args)
            argv.AddString("argv", arg.c_str());
        PostMessage(&argv);
    }
    PostMessage(B_READY_TO_RUN);
    BLooper::Run();
    QApplication::exec();
    return Thread();
}

void BApplication::Quit()
{
    // The application object lives on main()'s stack: leave the event loop,
    // never delete it.
    BPrivate::LooperPrivate::State(this).running = false;
    QApplication::exit(0);
}

bool BApplication::QuitRequested()
{
    return _QuitAllWindows();
}

bool BApplication::_QuitAllWindows()
{
    std::vector<BWindow*> windows = fAppData->windows;
    for (BWindow* window : windows) {
        bool stillThere = false;
        for (BWindow* w : fAppData->windows)
            stillThere |= (w == window);
        if (!stillThere)
            continue;
        // A window whose handler is still running (a dialog of its own is
        // open) cannot be asked now.
        if (window->IsDispatching())
            return false;
        if (!window->Lock())
            return false;
        if (!window->QuitRequested()) {
            window->Unlock();
            return false;
        }
        window->Quit();
    }
    return true;
}

void BApplication::ReadyToRun()
{
    fAppData->launching = false;
}

void BApplication::ArgvReceived(int32 argc, char** argv) {}

void BApplication::RefsReceived(BMessage* message) {}

void BApplication::AboutRequested() {}

void BApplication::Pulse() {}

void BApplication::MessageReceived(BMessage* message)
{
    switch (message->what) {
    case B_ABOUT_REQUESTED:
        AboutRequested();
        break;
    case B_QUIT_REQUESTED:
        if (QuitRequested())
            Quit();
        break;
    default:
        BLooper::MessageReceived(message);
        break;
    }
}

void BApplication::DispatchMessage(BMessage* message, BHandler* handler)
{
    if (handler != this) {
        BLooper::DispatchMessage(message, handler);
        return;
    }
    switch (message->what) {
    case B_ARGV_RECEIVED: {
        int32 argc = 0;
        message->FindInt32("argc", &argc);
        std::vector<char*> argv;
        const char* arg;
        for (int32 i = 0; message->FindString("argv", i, &arg) == B_OK; i++)
            argv.push_back(const_cast<char*>(arg));
        argv.push_back(nullptr);
        ArgvReceived((int32)argv.size() - 1, argv.data());
        break;
    }
    case B_REFS_RECEIVED:
        RefsReceived(message);
        break;
    case B_READY_TO_RUN:
        ReadyToRun();
        break;
    case B_PULSE:
        Pulse();
        break;
    default:
        // About and quit requests go through MessageReceived, so that a
        // subclass sees them and hands them on to the base class.
        MessageReceived(message);
        break;
    }
}

void BApplication::SetPulseRate(bigtime_t rate)
{
    fAppData->pulseRate = rate;
}

int32 BApplication::CountWindows() const
{
    return (int32)fAppData->windows.size();
}

BWindow* BApplication::WindowAt(int32 index) const
{
    if (index < 0 || index >= (int32)fAppData->windows.size())
        return nullptr;
    return fAppData->windows[index];
}

bool BApplication::IsLaunching() const
{
    return fAppData->launching;
}

const char* BApplication::Signature() const
{
    return fAppData->signature.c_str();
}

void BApplication::_RegisterWindow(BWindow* window)
{
    fAppData->windows.push_back(window);
}

void BApplication::_UnregisterWindow(BWindow* window)
{
    for (auto it = fAppData->windows.begin(); it != fAppData->windows.end(); ++it) {
        if (*it == window) {
            fAppData->windows.erase(it);
            return;
        }
    }
}
