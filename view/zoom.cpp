// The View menu's zoom: how many device pixels of the screen one picture
// pixel covers. The view's coordinates stay picture pixels at every zoom, so
// the selection, the crop, the drag and the drop's paste stay exact.

#include "view/tavrinview.h"

#include <ScrollBar.h>
#include <Window.h>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

const float kZoomSteps[] = {1 / 64.f, 1 / 48.f, 1 / 32.f, 1 / 24.f, 1 / 16.f, 1 / 12.f, 1 / 8.f,
                            1 / 6.f,  1 / 4.f,  1 / 3.f,  1 / 2.f,  2 / 3.f,  1,        1.5f,
                            2,        3,        4,        6,        8,        12,       16,
                            24,       32,       48,       64};

const float kSmallestZoom = kZoomSteps[0];
const float kLargestZoom = kZoomSteps[std::size(kZoomSteps) - 1];

} // namespace

float next_zoom(float zoom, bool in)
{
    // Steps a hair apart from zoom count as zoom itself.
    const float kNear = 1e-4f;
    if (in) {
        for (float step : kZoomSteps) {
            if (step > zoom * (1 + kNear))
                return step;
        }
        return kLargestZoom;
    }
    for (auto it = std::rbegin(kZoomSteps); it != std::rend(kZoomSteps); ++it) {
        if (*it < zoom * (1 - kNear))
            return *it;
    }
    return kSmallestZoom;
}

void tavrinview::setzoom(float wanted, BPoint keep)
{
    if (!image || !std::isfinite(wanted) || !std::isfinite(keep.x) || !std::isfinite(keep.y))
        return;
    wanted = std::clamp(wanted, kSmallestZoom, kLargestZoom);
    float old = zoom();
    if (wanted == old)
        return;
    // Where keep is now, in device pixels from the view's corner.
    BRect shown = Bounds();
    float dx = (keep.x - shown.left) * old;
    float dy = (keep.y - shown.top) * old;
    SetPixelScale(wanted);
    // The scroll bars take the new ranges before the view moves within them.
    if (BWindow* window = Window())
        window->FrameResized(window->Bounds().Width(), window->Bounds().Height());
    _ScrollWithin(BPoint(keep.x - dx / wanted, keep.y - dy / wanted));
    _Title();
}

void tavrinview::fitzoom()
{
    if (!image)
        return;
    // The view's size in device pixels: its units at 100 %.
    float old = zoom();
    SetPixelScale(1);
    BRect device = Bounds();
    SetPixelScale(old);
    float across = (device.Width() + 1) / (pic.Width() + 1);
    float down = (device.Height() + 1) / (pic.Height() + 1);
    float wanted = std::clamp(std::min(across, down), kSmallestZoom, kLargestZoom);
    if (wanted != zoom()) {
        SetPixelScale(wanted);
        if (BWindow* window = Window())
            window->FrameResized(window->Bounds().Width(), window->Bounds().Height());
        _Title();
    }
    _ScrollWithin(pic.LeftTop());
}

void tavrinview::_ScrollWithin(BPoint origin)
{
    BRect shown = Bounds();
    float right = std::max(pic.left, pic.right - shown.Width());
    float bottom = std::max(pic.top, pic.bottom - shown.Height());
    origin.x = std::clamp(origin.x, pic.left, right);
    origin.y = std::clamp(origin.y, pic.top, bottom);
    ScrollTo(origin);
}
