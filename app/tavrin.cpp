#include "app/tavrin.h"

#include <Alert.h>
#include <Entry.h>

#include "app/commandline.h"
#include "app/version.h"
#include "view/tavrinview.h"
#include "window/tavrinwindow.h"

BTranslatorRoster* tr = nullptr;

const char* const kSignature = "application/x-vnd.Vesk-tavrin";

const char* const kAboutText = "tavrin " TAVRIN_VERSION "\n"
                               "    Written by the tavrin developers\n"
                               "\n"
                               "Free software under the MIT licence.";

namespace {

int sExitStatus = 0;

} // namespace

void quit_with_status(int status)
{
    sExitStatus = status;
    be_app->PostMessage(B_QUIT_REQUESTED);
}

int exit_status()
{
    return sExitStatus;
}

tavrin::tavrin(int argc, char** argv) : BApplication(kSignature)
{
    command_line line;
    std::string error;
    if (!parse_command_line(argc, argv, &line, &error))
        line.files.clear();
    // A capture from the command line starts with the window hidden: it
    // shows only with the picture, and never when the picture is saved.
    win = new tavrinwindow(BRect(100, 100, 300, 250), line.capture);
    fView = BMessenger(win->view);

    if (line.capture) {
        BMessage request(line.mode);
        request.AddBool("command_line", true);
        request.AddInt32("delay", line.delay);
        if (!line.output.empty())
            request.AddString("output", line.output.c_str());
        if (line.clipboard)
            request.AddBool("clipboard", true);
        fView.SendMessage(&request);
    } else if (!line.files.empty()) {
        // Every argument is a document; one that names nothing still gives a
        // reference, which then fails to load.
        BMessage refs(B_SIMPLE_DATA);
        for (const std::string& file : line.files) {
            BEntry entry(file.c_str(), false);
            entry_ref ref;
            entry.GetRef(&ref);
            refs.AddRef("refs", &ref);
        }
        fView.SendMessage(&refs);
    }
}

tavrin::~tavrin() {}

void tavrin::RefsReceived(BMessage* message)
{
    type_code type;
    int32 count = 0;
    if (message->GetInfo("refs", &type, &count) != B_OK || count < 1)
        return;
    BMessage refs(B_SIMPLE_DATA);
    entry_ref ref;
    for (int32 i = 0; i < count; i++) {
        if (message->FindRef("refs", i, &ref) == B_OK)
            refs.AddRef("refs", &ref);
    }
    fView.SendMessage(&refs);
}

void tavrin::MessageReceived(BMessage* message)
{
    switch (message->what) {
    case B_SAVE_REQUESTED: {
        // Only the folder and the name travel on; the view copes with either missing.
        BMessage save(B_SAVE_REQUESTED);
        entry_ref directory;
        const char* name;
        if (message->FindRef("directory", &directory) == B_OK)
            save.AddRef("directory", &directory);
        if (message->FindString("name", &name) == B_OK)
            save.AddString("name", name);
        fView.SendMessage(&save);
        break;
    }
    case B_CANCEL: {
        BMessage cancel(B_CANCEL);
        fView.SendMessage(&cancel);
        break;
    }
    default:
        BApplication::MessageReceived(message);
        break;
    }
}

void tavrin::AboutRequested()
{
    BAlert* alert =
        new BAlert("", kAboutText, "Thank you", nullptr, nullptr, B_WIDTH_AS_USUAL, B_INFO_ALERT);
    alert->Go();
}
