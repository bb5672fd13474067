#ifndef _APPLICATION_H
#define _APPLICATION_H

#include <AppDefs.h>
#include <Looper.h>
#include <Messenger.h>

class BWindow;

// The program's application object. It owns the platform's event loop: Run()
// returns after Quit(). One per program, reachable as be_app.
class BApplication : public BLooper
{
public:
    BApplication(const char* signature);
    BApplication(const char* signature, status_t* error);
    virtual ~BApplication();

    status_t InitCheck() const;

    virtual thread_id Run();
    virtual void Quit();
    virtual bool QuitRequested();
    virtual void ReadyToRun();
    virtual void ArgvReceived(int32 argc, char** argv);
    virtual void RefsReceived(BMessage* message);
    virtual void AboutRequested();
    virtual void Pulse();
    virtual void MessageReceived(BMessage* message);
    virtual void DispatchMessage(BMessage* message, BHandler* handler);

    void SetPulseRate(bigtime_t rate);
    int32 CountWindows() const;
    BWindow* WindowAt(int32 index) const;
    bool IsLaunching() const;
    const char* Signature() const;

private:
    friend class BWindow;
    struct Data;

    void _InitData(const char* signature, status_t* error);
    void _RegisterWindow(BWindow* window);
    void _UnregisterWindow(BWindow* window);
    bool _QuitAllWindows();

    Data* fAppData;
};

extern BApplication* be_app;
extern BMessenger be_app_messenger;

#endif
