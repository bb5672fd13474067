#include "window/tavrinwindow.h"

#include <Application.h>
#include <Messenger.h>

#include "view/tavrinview.h"
#include "window/catalogue.h"

#include <cmath>

const char* const kDefaultTitle = "tavrin ver.0.00";

tavrinwindow::tavrinwindow(BRect frame)
    : BWindow(frame, kDefaultTitle, B_DOCUMENT_WINDOW, 0, B_CURRENT_WORKSPACE)
{
    float W = frame.Width();
    float H = frame.Height();

    // The menus list the catalogue, so it comes first.
    get_translator_for_output();

    scrollh = nullptr;
    scrollv = nullptr;

    BRect viewFrame(0, 0, W - 14, H - 34);
    viewFrame.OffsetTo(0, 20);
    view = new tavrinview(viewFrame);
    AddChild(view);

    setupmenus();

    float w = W - 14;
    float h = H - 34;
    BRect vertical(0, 0, 14, h + 2);
    vertical.OffsetTo(w + 1, 19);
    scrollv = new BScrollBar(vertical, "scrollv", view, 0, 0, B_VERTICAL);
    AddChild(scrollv);

    BRect horizontal(0, 0, w + 2, 14);
    horizontal.OffsetTo(-1, h + 21);
    scrollh = new BScrollBar(horizontal, "scrollh", view, 0, 0, B_HORIZONTAL);
    AddChild(scrollh);

    FrameResized(W, H);
    resizeview(0, 0);
    Show();
    SetPulseRate(100000);
}

tavrinwindow::~tavrinwindow() {}

void tavrinwindow::FrameResized(float width, float height)
{
    // Each bar is two units longer than the view along its axis, so these
    // maxima are the picture's extent less the view's.
    float lenV = scrollv->Bounds().Height();
    float picH = pic.bottom - pic.top;
    float maxV = picH - lenV + 2;
    if (!(maxV > 0))
        maxV = 0;
    scrollv->SetRange(0, maxV);

    float lenH = scrollh->Bounds().Width();
    float picW = pic.right - pic.left;
    float maxH = picW - lenH + 2;
    if (!(maxH > 0))
        maxH = 0;
    scrollh->SetRange(0, maxH);

    scrollv->SetProportion(scrollv->Bounds().Height() / picH);
    scrollh->SetProportion(scrollh->Bounds().Width() / picW);

    scrollv->SetSteps(10, scrollv->Bounds().Height());
    scrollh->SetSteps(10, scrollh->Bounds().Width());
}

void tavrinwindow::resizeview(int w, int h)
{
    if (w == 0)
        w = 186;
    if (h == 0)
        h = 116;
    int maxW = (int)(w + 14.0f);
    int maxH = (int)(h + 14.0f + 20.0f);
    SetSizeLimits(35, maxW, 35, maxH);
    SetZoomLimits(maxW, maxH);
    // A picture larger than the free part of the screen gets a window that
    // fits there, so that its scroll bars and close box can be reached; the
    // view then shows part of the picture and scrolls over the rest.
    ResizeOnScreen(maxW, maxH);
    BRect frame = Frame();
    view->ResizeTo(frame.Width() - 14, frame.Height() - 34);
    // The ranges follow the new picture even where the window's size stays.
    FrameResized(frame.Width(), frame.Height());
}

bool tavrinwindow::QuitRequested()
{
    clear_catalogue();
    BMessenger(be_app).SendMessage(B_QUIT_REQUESTED);
    return true;
}
