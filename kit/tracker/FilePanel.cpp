#include <FilePanel.h>

#include <AppDefs.h>
#include <Application.h>
#include <Message.h>
#include <Path.h>
#include <Window.h>

#include "interface/WindowPrivate.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QVBoxLayout>

#include <cstring>
#include <string>

namespace BPrivate {

// The panel's window: a BWindow (so that Window()->SetTitle() titles it)
// holding the platform's file dialog.
class FilePanelWindow : public BWindow
{
public:
    FilePanelWindow(file_panel_mode mode, uint32 flavors, bool multiple)
        : BWindow(BRect(150, 150, 749, 549), mode == B_OPEN_PANEL ? "Open" : "Save",
                  B_TITLED_WINDOW, 0),
          fMode(mode)
    {
        QWidget* host = WindowBridge::Data(this)->widget;
        fDialog = new QFileDialog(host);
        fDialog->setOption(QFileDialog::DontUseNativeDialog);
        fDialog->setWindowFlags(Qt::Widget);
        fDialog->setSizeGripEnabled(false);
        if (mode == B_SAVE_PANEL) {
            fDialog->setAcceptMode(QFileDialog::AcceptSave);
            fDialog->setFileMode(QFileDialog::AnyFile);
            // Replacing an existing file is asked about first.
            fDialog->setOption(QFileDialog::DontConfirmOverwrite, false);
        } else {
            fDialog->setAcceptMode(QFileDialog::AcceptOpen);
            if (flavors == B_DIRECTORY_NODE)
                fDialog->setFileMode(QFileDialog::Directory);
            else
                fDialog->setFileMode(multiple ? QFileDialog::ExistingFiles
                                              : QFileDialog::ExistingFile);
        }
        auto* layout = new QVBoxLayout(host);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(fDialog);
        QObject::connect(fDialog, &QFileDialog::accepted, host, [this]() { _Accepted(); });
        QObject::connect(fDialog, &QFileDialog::rejected, host, [this]() { _Closed(); });
    }

    ~FilePanelWindow() override
    {
        if (fPanel)
            fPanel->fWindow = nullptr;
        delete fMessage;
    }

    void DispatchMessage(BMessage* message, BHandler* handler) override
    {
        // The close box hides the panel; its owner deletes it.
        if (message->what == B_QUIT_REQUESTED && handler == this) {
            if (!IsHidden())
                _Closed();
            return;
        }
        BWindow::DispatchMessage(message, handler);
    }

    void _Accepted()
    {
        QStringList files = fDialog->selectedFiles();
        if (fMode == B_SAVE_PANEL) {
            if (!files.isEmpty()) {
                QFileInfo info(files.first());
                BMessage save(fMessage ? fMessage->what : (uint32)B_SAVE_REQUESTED);
                if (fMessage)
                    save = *fMessage;
                entry_ref directory;
                get_ref_for_path(info.absolutePath().toUtf8().constData(), &directory);
                save.AddRef("directory", &directory);
                save.AddString("name", info.fileName().toUtf8().constData());
                _Send(&save);
            }
        } else if (!files.isEmpty()) {
            BMessage refs(B_REFS_RECEIVED);
            if (fMessage)
                refs = *fMessage;
            for (const QString& file : files) {
                entry_ref ref;
                if (get_ref_for_path(file.toUtf8().constData(), &ref) == B_OK)
                    refs.AddRef("refs", &ref);
            }
            _Send(&refs);
        }
        if (fHideWhenDone)
            _Closed();
    }

    void _Closed()
    {
        if (!IsHidden())
            Hide();
        BMessage cancel(B_CANCEL);
        _Send(&cancel);
    }

    void _Send(BMessage* message)
    {
        if (fTarget.IsValid())
            fTarget.SendMessage(message);
        else if (be_app)
            be_app_messenger.SendMessage(message);
    }

    QFileDialog* fDialog;
    file_panel_mode fMode;
    BMessenger fTarget;
    BMessage* fMessage = nullptr;
    bool fHideWhenDone = true;
    BFilePanel* fPanel = nullptr;
};

} // namespace BPrivate

using BPrivate::FilePanelWindow;

BFilePanel::BFilePanel(file_panel_mode mode, BMessenger* target, const entry_ref* directory,
                       uint32 nodeFlavors, bool allowMultipleSelection, BMessage* message,
                       BRefFilter* filter, bool modal, bool hideWhenDone)
    : fWindow(new FilePanelWindow(mode, nodeFlavors, allowMultipleSelection))
{
    fWindow->fPanel = this;
    if (target)
        fWindow->fTarget = *target;
    if (message)
        fWindow->fMessage = new BMessage(*message);
    fWindow->fHideWhenDone = hideWhenDone;
    if (modal)
        BPrivate::WindowBridge::Data(fWindow)->widget->setWindowModality(Qt::ApplicationModal);
    if (directory)
        SetPanelDirectory(directory);
}

BFilePanel::~BFilePanel()
{
    // The window may have gone already, with the application.
    if (!fWindow)
        return;
    fWindow->fPanel = nullptr;
    fWindow->Lock();
    fWindow->Quit();
}

void BFilePanel::Show()
{
    if (!fWindow)
        return;
    fWindow->fDialog->show();
    if (fWindow->IsHidden())
        fWindow->Show();
    fWindow->Activate();
}

void BFilePanel::Hide()
{
    if (fWindow && !fWindow->IsHidden())
        fWindow->Hide();
}

bool BFilePanel::IsShowing() const
{
    return fWindow && !fWindow->IsHidden();
}

BWindow* BFilePanel::Window() const
{
    return fWindow;
}

BMessenger BFilePanel::Messenger() const
{
    return fWindow ? fWindow->fTarget : BMessenger();
}

file_panel_mode BFilePanel::PanelMode() const
{
    return fWindow ? fWindow->fMode : B_OPEN_PANEL;
}

void BFilePanel::SetTarget(BMessenger target)
{
    if (!fWindow)
        return;
    fWindow->fTarget = target;
}

void BFilePanel::SetMessage(BMessage* message)
{
    if (!fWindow)
        return;
    delete fWindow->fMessage;
    fWindow->fMessage = message ? new BMessage(*message) : nullptr;
}

void BFilePanel::SetPanelDirectory(const entry_ref* ref)
{
    char path[B_PATH_NAME_LENGTH];
    if (ref && ref->get_path(path, sizeof(path)))
        SetPanelDirectory(path);
}

void BFilePanel::SetPanelDirectory(const char* path)
{
    if (!fWindow)
        return;
    if (path)
        fWindow->fDialog->setDirectory(QString::fromUtf8(path));
}

void BFilePanel::SetSaveText(const char* text)
{
    if (!fWindow)
        return;
    if (text)
        fWindow->fDialog->selectFile(QString::fromUtf8(text));
}

void BFilePanel::SetHideWhenDone(bool hideWhenDone)
{
    if (!fWindow)
        return;
    fWindow->fHideWhenDone = hideWhenDone;
}

bool BFilePanel::HidesWhenDone() const
{
    return fWindow && fWindow->fHideWhenDone;
}
