// File > Capture: the whole screen the main window stands on becomes the
// image. The window steps aside while the picture is taken; the screen copy
// waits until it has really left the screen.

#include <Bitmap.h>
#include <Screen.h>
#include <Window.h>

#include "io/savename.h"
#include "view/tavrinview.h"

#include <cstdio>
#include <ctime>

void tavrinview::capture()
{
    BWindow* window = Window();
    if (!window)
        return;
    window->Hide();

    // The monitor's own device pixels, however the desktop scales them: the
    // picture starts at (0, 0), whatever monitor they come from.
    BBitmap* shot = nullptr;
    status_t status;
    {
        BScreen screen(window);
        status = screen.GetBitmap(&shot, false);
    }

    window->Show();

    if (status != B_OK) {
        // Where the screen cannot be read (a Wayland session, say) the old
        // picture stays rather than a black one; the user is told once.
        static bool told = false;
        if (!told) {
            told = true;
            const char* reason = "the screen copy failed";
            if (status == B_NOT_SUPPORTED)
                reason = "the display server does not let programs read the screen";
            else if (status == B_NO_MEMORY)
                reason = "there is not enough memory for a picture of the screen";
            fprintf(stderr, "tavrin: cannot capture the screen: %s; the picture is kept\n", reason);
        }
        return;
    }

    pic = shot->Bounds();
    _Replace(shot);
    docname = capture_name(time(nullptr));
    redraw(true);
    _HistoryChanged();
}
