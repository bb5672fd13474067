#include "window/tavrinwindow.h"

#include <Application.h>
#include <InterfaceDefs.h>
#include <Messenger.h>

#include "app/version.h"
#include "dnd/clipboard.h"
#include "view/tavrinview.h"
#include "window/catalogue.h"

const char* const kDefaultTitle = "tavrin " TAVRIN_VERSION;

namespace {

// The menu bar across the top: the view starts below it, and the vertical
// bar starts one unit higher, on the menu bar's bottom edge.
const float kMenuBarHeight = 20;
// What the window adds around the view: the vertical bar on the right, the
// menu bar and the horizontal bar above and below.
const float kExtraWidth = B_V_SCROLL_BAR_WIDTH;
const float kExtraHeight = kMenuBarHeight + B_H_SCROLL_BAR_HEIGHT;
// The view's size while there is no picture.
const int kEmptyWidth = 186;
const int kEmptyHeight = 116;
// The smallest window, either way.
const float kMinimumSize = 35;

} // namespace

tavrinwindow::tavrinwindow(BRect frame, bool hidden)
    : BWindow(frame, kDefaultTitle, B_DOCUMENT_WINDOW, 0, B_CURRENT_WORKSPACE)
{
    float W = frame.Width();
    float H = frame.Height();

    // The menus list the catalogue, so it comes first.
    get_translator_for_output();

    scrollh = nullptr;
    scrollv = nullptr;

    BRect viewFrame(0, 0, W - kExtraWidth, H - kExtraHeight);
    viewFrame.OffsetTo(0, kMenuBarHeight);
    view = new tavrinview(viewFrame);
    AddChild(view);

    setupmenus();

    // Each bar overlaps the window's frame and the other bar by one unit.
    float w = W - kExtraWidth;
    float h = H - kExtraHeight;
    BRect vertical(0, 0, B_V_SCROLL_BAR_WIDTH, h + 2);
    vertical.OffsetTo(w + 1, kMenuBarHeight - 1);
    scrollv = new BScrollBar(vertical, "scrollv", view, 0, 0, B_VERTICAL);
    AddChild(scrollv);

    BRect horizontal(0, 0, w + 2, B_H_SCROLL_BAR_HEIGHT);
    horizontal.OffsetTo(-1, h + kMenuBarHeight + 1);
    scrollh = new BScrollBar(horizontal, "scrollh", view, 0, 0, B_HORIZONTAL);
    AddChild(scrollh);

    FrameResized(W, H);
    resizeview(0, 0);
    if (hidden)
        Hide();
    Show();
    // The keys go to the view: scrolling, the selection, the crop.
    view->MakeFocus();
    SetPulseRate(100000);
}

tavrinwindow::~tavrinwindow() {}

void tavrinwindow::FrameResized(float width, float height)
{
    // While the picture is fitted to the window it follows the window's size.
    static bool fitting = false;
    if (view->fitting && view->image && !fitting) {
        fitting = true;
        view->fitzoom();
        fitting = false;
    }

    // The bars count the view's units (picture pixels, at any zoom and
    // scale factor of the desktop); the bars' lengths are in the window's.
    BPoint corner = view->Frame().LeftTop();
    BPoint near = view->ConvertFromParent(corner);
    BPoint far = view->ConvertFromParent(corner + BPoint(100, 100));
    float perUnitH = (far.x - near.x) / 100;
    float perUnitV = (far.y - near.y) / 100;

    // Each bar is two units longer than the view along its axis, so these
    // maxima are the picture's extent less the view's.
    float lenV = scrollv->Bounds().Height() * perUnitV;
    float picH = pic.bottom - pic.top;
    float maxV = picH - lenV + 2 * perUnitV;
    if (!(maxV > 0))
        maxV = 0;
    scrollv->SetRange(0, maxV);

    float lenH = scrollh->Bounds().Width() * perUnitH;
    float picW = pic.right - pic.left;
    float maxH = picW - lenH + 2 * perUnitH;
    if (!(maxH > 0))
        maxH = 0;
    scrollh->SetRange(0, maxH);

    scrollv->SetProportion(lenV / picH);
    scrollh->SetProportion(lenH / picW);

    // A small step is ten of the window's units, however many picture
    // pixels they show: the wheel moves the picture as far at every zoom.
    scrollv->SetSteps(10 * perUnitV, lenV);
    scrollh->SetSteps(10 * perUnitH, lenH);
}

void tavrinwindow::ScreenChanged(BRect screenFrame, color_space depth)
{
    // On a monitor of another scale the picture keeps its device pixels, and
    // the window is fitted to it as a new picture would be there.
    if (view->image) {
        view->keepzoom = true;
        view->redraw(true);
    } else {
        resizeview(0, 0);
    }
}

void tavrinwindow::resizeview(int w, int h)
{
    if (w == 0)
        w = kEmptyWidth;
    if (h == 0)
        h = kEmptyHeight;
    // The view's units are the picture's pixels: the window holds as many
    // of its own as show all of them.
    BRect shown = view->ConvertToParent(BRect(0, 0, w, h).OffsetToCopy(view->Bounds().LeftTop()));
    int maxW = (int)(shown.Width() + kExtraWidth);
    int maxH = (int)(shown.Height() + kExtraHeight);
    SetSizeLimits(kMinimumSize, maxW, kMinimumSize, maxH);
    SetZoomLimits(maxW, maxH);
    // A picture larger than the free part of the screen gets a window that
    // fits there, so that its scroll bars and close box can be reached; the
    // view then shows part of the picture and scrolls over the rest.
    ResizeOnScreen(maxW, maxH);
    BRect frame = Frame();
    view->ResizeTo(frame.Width() - kExtraWidth, frame.Height() - kExtraHeight);
    // The ranges follow the new picture even where the window's size stays.
    FrameResized(frame.Width(), frame.Height());
}

void resizeview(BWindow* window, int w, int h)
{
    static_cast<tavrinwindow*>(window)->resizeview(w, h);
}

bool tavrinwindow::QuitRequested()
{
    if (view->clip)
        view->clip->keep();
    clear_catalogue();
    BMessenger(be_app).SendMessage(B_QUIT_REQUESTED);
    return true;
}
