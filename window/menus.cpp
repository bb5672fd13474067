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

#include <string>

namespace {

// An item with its shortcut: Ctrl and the character, Shift with B_SHIFT_KEY.
BMenuItem* command_item(const char* label, uint32 what, BHandler* target, char shortcut = 0,
                        uint32 modifiers = 0)
{
    BMenuItem* item = new BMenuItem(label, new BMessage(what), shortcut, modifiers);
    item->SetTarget(target);
    return item;
}

// The label of File > Save as in the last format used; "Save" when no
// translator writes anything.
std::string quick_save_label(int16 format)
{
    s_fmt* record = format_at(format);
    return record ? std::string("Save as ") + record->name : std::string("Save");
}

void set_enabled(BMenuItem* item, bool enabled)
{
    // Each change rebuilds the platform's menus: only real ones are made.
    if (item && item->IsEnabled() != enabled)
        item->SetEnabled(enabled);
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
    file->AddItem(command_item("Open", kOpen, view, 'O'));
    file->AddItem(command_item("Close", kClose, view, 'W'));
    file->AddItem(command_item(quick_save_label(view->savingformat()).c_str(), kSave, view, 'S'));

    BMenu* saveAs = new BMenu("Save as", B_ITEMS_IN_COLUMN);
    for (int32 i = 0; i < trc; i++)
        saveAs->AddItem(format_item(format_at(i)->name, kSaveAs, (int16)i, view));
    BMenuItem* saveAsItem = new BMenuItem(saveAs);
    saveAsItem->SetShortcut('S', B_SHIFT_KEY);
    file->AddItem(saveAsItem);

    // Print Screen captures too while the window has the keyboard.
    BMenuItem* capture = command_item("Capture", kCapture, view, 'C', B_SHIFT_KEY);
    capture->SetFunctionKey(B_PRINT_KEY);
    file->AddItem(capture);
    file->AddItem(command_item("Capture region…", kCaptureRegion, view));
    file->AddItem(command_item("Capture window…", kCaptureWindow, view));
    // The delay applies to all three; one of its items is marked.
    BMenu* delay = new BMenu("Capture delay", B_ITEMS_IN_COLUMN);
    delay->SetRadioMode(true);
    for (int32 seconds : {0, 3, 5, 10}) {
        std::string label = seconds ? std::to_string(seconds) + " seconds" : std::string("None");
        BMessage* message = new BMessage(kCaptureDelay);
        message->AddInt32("seconds", seconds);
        BMenuItem* item = new BMenuItem(label.c_str(), message);
        item->SetTarget(view);
        delay->AddItem(item);
    }
    file->AddItem(new BMenuItem(delay));
    file->AddItem(command_item("Capture window frame", kCaptureFrame, view));
    file->AddItem(command_item("Print", kPrint, view, 'P'));
    BMenuItem* about = command_item("About", B_ABOUT_REQUESTED, be_app);
    about->SetFunctionKey(B_F1_KEY);
    file->AddItem(about);
    file->AddItem(command_item("Quit", B_QUIT_REQUESTED, be_app, 'Q'));
    bar->AddItem(file);

    BMenu* zoom = new BMenu("View", B_ITEMS_IN_COLUMN);
    zoom->AddItem(command_item("Fit to window", kFitToWindow, view, '0'));
    zoom->AddItem(command_item("Actual size", kActualSize, view, '1'));
    zoom->AddItem(command_item("Zoom in", kZoomIn, view, '+'));
    zoom->AddItem(command_item("Zoom out", kZoomOut, view, '-'));
    bar->AddItem(zoom);

    // Ctrl+Y redoes too; the view takes that key (a menu item has one).
    BMenu* edit = new BMenu("Edit", B_ITEMS_IN_COLUMN);
    edit->AddItem(command_item("Undo", kUndo, view, 'Z'));
    edit->AddItem(command_item("Redo", kRedo, view, 'Z', B_SHIFT_KEY));
    edit->AddItem(command_item("Copy", kCopy, view, 'C'));
    edit->AddItem(command_item("Paste", kPaste, view, 'V'));
    edit->AddItem(command_item("Paste into picture", kPasteInto, view, 'V', B_SHIFT_KEY));
    bar->AddItem(edit);

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
    updatemenus();
}

void tavrinwindow::updatemenus()
{
    BMenuBar* bar = KeyMenuBar();
    if (!bar)
        return;
    set_enabled(bar->FindItem(kUndo), view->changes.canundo());
    set_enabled(bar->FindItem(kRedo), view->changes.canredo());
    set_enabled(bar->FindItem(kCopy), view->image != nullptr);
    if (BMenuItem* frame = bar->FindItem(kCaptureFrame);
        frame && frame->IsMarked() != view->captureframe)
        frame->SetMarked(view->captureframe);
    if (BMenuItem* delay = bar->FindItem(kCaptureDelay)) {
        BMenu* choices = delay->Menu();
        for (int32 i = 0; choices && i < choices->CountItems(); i++) {
            BMenuItem* item = choices->ItemAt(i);
            int32 seconds = -1;
            item->Message()->FindInt32("seconds", &seconds);
            if (item->IsMarked() != (seconds == view->capturedelay))
                item->SetMarked(seconds == view->capturedelay);
        }
    }
    if (BMenuItem* save = bar->FindItem(kSave)) {
        set_enabled(save, format_at(view->savingformat()) != nullptr);
        std::string label = quick_save_label(view->savingformat());
        if (label != save->Label())
            save->SetLabel(label.c_str());
    }
}
