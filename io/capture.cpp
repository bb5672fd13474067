// File > Capture and its region, window and delayed forms, from the menu or
// the command line. The window steps aside while the picture is taken (and
// during a delay); the screen copy waits until it has really left the
// screen, and keeps the program's other windows out of the picture too.

#include "io/capture.h"

#include <Application.h>
#include <BitmapStream.h>
#include <DataIO.h>
#include <Entry.h>
#include <FileExtensions.h>
#include <Screen.h>
#include <ScreenPicker.h>
#include <TranslatorRoster.h>
#include <Window.h>

#include "app/tavrin.h"
#include "io/save.h"
#include "io/savename.h"
#include "view/tavrinview.h"
#include "window/catalogue.h"
#include "window/codes.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <strings.h>

namespace {

s_fmt* format_for_mime(const char* mime)
{
    for (int32 i = 0; mime && i < trc; i++) {
        if (strcasecmp(format_at(i)->MIME, mime) == 0)
            return format_at(i);
    }
    return nullptr;
}

const char* capture_failure_text(status_t status)
{
    switch (status) {
    case B_NOT_SUPPORTED:
        return "the display server does not let programs read the screen";
    case B_NOT_ALLOWED:
        return "the desktop refused";
    case B_NO_MEMORY:
        return "there is not enough memory for a picture of the screen";
    case B_TIMED_OUT:
        return "the desktop did not answer";
    case B_BUSY:
        return "another capture is under way";
    default:
        return "the screen copy failed";
    }
}

} // namespace

status_t save_capture(BBitmap* picture, const char* path, std::string* why)
{
    bool standardOutput = strcmp(path, "-") == 0;
    const char* mime = "image/png";
    if (!standardOutput) {
        const char* dot = strrchr(path, '.');
        const char* slash = strrchr(path, '/');
        mime = dot && (!slash || dot > slash) ? mime_for_extension(dot + 1) : nullptr;
        if (!mime) {
            *why = std::string("cannot tell the format of ") + path + " from its extension";
            return B_BAD_VALUE;
        }
    }
    s_fmt* record = format_for_mime(mime);
    if (!record || !tr) {
        *why = std::string("no translator writes ") + mime;
        return B_NO_TRANSLATOR;
    }
    // The display's profile, when the screen has one, goes with the pixels.
    BPrivate::PictureMetadata metadata = picture->Metadata();
    BMessage extension;
    metadata.AddTo(&extension);
    BBitmapStream stream(picture);
    status_t status;
    if (standardOutput) {
        BMallocIO data;
        status = tr->Translate(&stream, nullptr, &extension, &data, record->type);
        if (status == B_OK) {
            size_t size = data.BufferLength();
            if (fwrite(data.Buffer(), 1, size, stdout) != size || fflush(stdout) != 0)
                status = B_IO_ERROR;
        }
    } else {
        // The entry's reference names its folder and its name.
        BEntry entry(path, false);
        entry_ref ref;
        status = entry.GetRef(&ref);
        if (status == B_OK) {
            entry_ref dir(ref.directory, ".");
            status = write_translated(dir, ref.name, &stream, record->translator, record->type,
                                      record->MIME, nullptr, &metadata);
        }
    }
    BBitmap* back = nullptr;
    stream.DetachBitmap(&back);
    if (status != B_OK)
        *why = save_failure_text(status);
    return status;
}

void tavrinview::capture()
{
    BMessage request(kCapture);
    _TakeCapture(request);
}

void tavrinview::capture(BMessage* request)
{
    BWindow* window = Window();
    if (!window)
        return;
    // A second capture while one waits cancels both.
    if (BPrivate::capture_delay_running()) {
        BPrivate::cancel_capture_delay();
        _CaptureEnded(B_CANCELED, nullptr, fPendingCapture);
        return;
    }
    int32 seconds = capturedelay;
    request->FindInt32("delay", &seconds);
    if (seconds <= 0) {
        _TakeCapture(*request);
        return;
    }
    // The window stays away for the delay; nothing waits meanwhile.
    if (!window->IsHidden())
        window->Hide();
    fPendingCapture = *request;
    BMessage now(kCaptureNow);
    if (BPrivate::start_capture_delay((bigtime_t)seconds * 1000000, BMessenger(this), now) != B_OK)
        _TakeCapture(fPendingCapture);
}

void tavrinview::_CaptureDelayEnded(BMessage* message)
{
    bool canceled = false;
    message->FindBool("canceled", &canceled);
    if (canceled)
        _CaptureEnded(B_CANCELED, nullptr, fPendingCapture);
    else
        _TakeCapture(fPendingCapture);
}

void tavrinview::_TakeCapture(const BMessage& request)
{
    BWindow* window = Window();
    if (!window)
        return;
    if (!window->IsHidden())
        window->Hide();

    // The monitor's own device pixels, however the desktop scales them: the
    // picture starts at (0, 0), whatever monitor they come from.
    BBitmap* shot = nullptr;
    status_t status;
    if (request.what == kCaptureRegion || request.what == kCaptureWindow) {
        status = BPrivate::pick_screen_area(
            request.what == kCaptureRegion ? BPrivate::B_PICK_REGION : BPrivate::B_PICK_WINDOW,
            captureframe, &shot);
    } else {
        BScreen screen(window);
        status = screen.GetBitmap(&shot, false);
    }
    _CaptureEnded(status, shot, request);
}

void tavrinview::_CaptureEnded(status_t status, BBitmap* shot, const BMessage& request)
{
    BWindow* window = Window();
    const char* output = nullptr;
    request.FindString("output", &output);
    bool commandLine = false;
    request.FindBool("command_line", &commandLine);
    bool clipboard = false;
    request.FindBool("clipboard", &clipboard);

    if (status != B_OK) {
        delete shot;
        if (commandLine) {
            // Escape on the command line ends the program with nothing made.
            if (status != B_CANCELED)
                fprintf(stderr, "tavrin: cannot capture the screen: %s\n",
                        capture_failure_text(status));
            quit_with_status(1);
            return;
        }
        if (window->IsHidden())
            window->Show();
        // The old picture stays rather than a black one; the user is told once.
        static bool told = false;
        if (status != B_CANCELED && !told) {
            told = true;
            fprintf(stderr, "tavrin: cannot capture the screen: %s; the picture is kept\n",
                    capture_failure_text(status));
        }
        return;
    }

    pic = shot->Bounds();
    _Replace(shot);
    docname = capture_name(time(nullptr));
    if (output) {
        std::string why;
        if (save_capture(image, output, &why) != B_OK) {
            fprintf(stderr, "tavrin: cannot save the capture as %s: %s\n", output, why.c_str());
            quit_with_status(1);
            return;
        }
        // The copy is made now, not queued: the window's quit, which hands
        // the copy on to a helper that outlives the program, must find it.
        if (clipboard)
            copy();
        quit_with_status(0);
        return;
    }
    if (window->IsHidden())
        window->Show();
    redraw(true);
    _HistoryChanged();
    if (clipboard)
        copy();
}
