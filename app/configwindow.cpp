#include "app/configwindow.h"

#include <TranslatorRoster.h>
#include <View.h>

#include "app/openconfig.h"
#include "app/tavrin.h"

std::atomic<bool> cwin{false};

configwindow::configwindow(const ulong& id, const char* name)
    : BWindow(BRect(100, 100, 100, 100), name, B_TITLED_WINDOW, B_NOT_RESIZABLE | B_NOT_ZOOMABLE,
              B_CURRENT_WORKSPACE)
{
    BRect extent(0, 0, -1, -1);
    BView* view = nullptr;
    if (tr && tr->MakeConfigurationView((translator_id)id, nullptr, &view, &extent) == B_OK &&
        view) {
        AddChild(view);
        ResizeTo(extent.right - extent.left, extent.bottom - extent.top);
        Show();
        return;
    }
    delete view;
    // The translator offers no panel now: nothing is shown, and the window
    // goes away as soon as its strand runs.
    cwin = false;
    Run();
    PostMessage(B_QUIT_REQUESTED);
}

configwindow::~configwindow() {}

bool configwindow::QuitRequested()
{
    cwin = false;
    return true;
}

void openconfig(translator_id id, const char* name)
{
    if (cwin)
        return;
    cwin = true;
    new configwindow(id, name);
}
