#include <Application.h>
#include <MenuBar.h>
#include <MenuItem.h>
#include <TranslatorRoster.h>
#include <View.h>

#include "app/tavrin.h"
#include "view/tavrinview.h"
#include "window/catalogue.h"
#include "window/codes.h"
#include "window/tavrinwindow.h"

namespace {

BMenuItem* command_item(const char* label, uint32 what, BHandler* target, char shortcut = 0)
{
    BMenuItem* item = new BMenuItem(label, new BMessage(what), shortcut);
    item->SetTarget(target);
    return item;
}

BMenuItem* format_item(const char* label, uint32 what, int16 index, BHandler* target)
{
    BMessage* message = new BMessage(what);
    message->AddInt16("format_no", index);
    BMenuItem* item = new BMenuItem(label, message);
    item->SetTarget(target);
    return item;
}

} // namespace

void tavrinwindow::setupmenus()
{
    BMenuBar* bar = new BMenuBar(BRect(0, 0, 20, 20), "menubar", B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP,
                                 B_ITEMS_IN_ROW, true);

    BMenu* file = new BMenu("File", B_ITEMS_IN_COLUMN);
    file->AddItem(command_item("Open", kOpen, view));
    file->AddItem(command_item("Close", kClose, view));

    BMenu* saveAs = new BMenu("Save as", B_ITEMS_IN_COLUMN);
    for (int32 i = 0; i < trc; i++)
        saveAs->AddItem(format_item(format_at(i)->name, kSaveAs, (int16)i, view));
    file->AddItem(saveAs);

    file->AddItem(command_item("Capture", kCapture, view));
    file->AddItem(command_item("Print", kPrint, view));
    file->AddItem(command_item("About", B_ABOUT_REQUESTED, be_app));
    file->AddItem(command_item("Quit", B_QUIT_REQUESTED, be_app));
    bar->AddItem(file);

    BMenu* zoom = new BMenu("View", B_ITEMS_IN_COLUMN);
    zoom->AddItem(command_item("Fit to window", kFitToWindow, view, '0'));
    zoom->AddItem(command_item("Actual size", kActualSize, view, '1'));
    zoom->AddItem(command_item("Zoom in", kZoomIn, view, '+'));
    zoom->AddItem(command_item("Zoom out", kZoomOut, view, '-'));
    bar->AddItem(zoom);

    // Only formats whose translator has a settings panel get a Config item;
    // the probe's view is thrown away at once.
    BMenu* config = new BMenu("Config", B_ITEMS_IN_COLUMN);
    for (int32 j = 0; j < trc; j++) {
        BRect extent(0, 0, -1, -1);
        BView* probe = nullptr;
        if (tr &&
            tr->MakeConfigurationView(format_at(j)->translator, nullptr, &probe, &extent) == B_OK) {
            config->AddItem(format_item(format_at(j)->name, kConfig, (int16)j, view));
        }
        delete probe;
    }
    bar->AddItem(config);

    AddChild(bar);
}
