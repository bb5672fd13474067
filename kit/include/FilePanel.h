#ifndef _FILE_PANEL_H
#define _FILE_PANEL_H

#include <Entry.h>
#include <Messenger.h>
#include <StorageDefs.h>

class BWindow;
class BMessage;

enum file_panel_mode { B_OPEN_PANEL, B_SAVE_PANEL };

enum file_panel_button { B_CANCEL_BUTTON, B_DEFAULT_BUTTON };

class BRefFilter
{
public:
    virtual ~BRefFilter() = default;
    virtual bool Filter(const entry_ref* ref, const char* mimeType) = 0;
};

namespace BPrivate {
class FilePanelWindow;
}

// The platform's file dialog in a window of its own. An open panel sends
// B_REFS_RECEIVED with "refs"; a save panel B_SAVE_REQUESTED with "directory"
// and "name"; every panel sends B_CANCEL when it closes, after a choice too.
// Without a target, the answers go to the application.
class BFilePanel
{
public:
    BFilePanel(file_panel_mode mode = B_OPEN_PANEL, BMessenger* target = nullptr,
               const entry_ref* directory = nullptr, uint32 nodeFlavors = 0,
               bool allowMultipleSelection = true, BMessage* message = nullptr,
               BRefFilter* filter = nullptr, bool modal = false, bool hideWhenDone = true);
    virtual ~BFilePanel();

    void Show();
    void Hide();
    bool IsShowing() const;

    BWindow* Window() const;
    BMessenger Messenger() const;
    file_panel_mode PanelMode() const;

    void SetTarget(BMessenger target);
    void SetMessage(BMessage* message);
    void SetPanelDirectory(const entry_ref* ref);
    void SetPanelDirectory(const char* path);
    void SetSaveText(const char* text);
    void SetHideWhenDone(bool hideWhenDone);
    bool HidesWhenDone() const;

private:
    BFilePanel(const BFilePanel&) = delete;
    BFilePanel& operator=(const BFilePanel&) = delete;

    friend class BPrivate::FilePanelWindow;

    BPrivate::FilePanelWindow* fWindow;
};

#endif
