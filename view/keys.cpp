// The keyboard side of the view: the arrows, Page Up/Down, Home and End
// scroll; Escape, Ctrl+A and Shift with the arrows change the selection;
// Enter crops to it. Menu commands have their shortcuts in the menus.

#include "view/tavrinview.h"

#include <InterfaceDefs.h>
#include <Message.h>
#include <ScrollBar.h>
#include <Window.h>

#include <algorithm>
#include <cmath>

namespace {

// One notch of the mouse wheel scrolls three small steps of a bar; an arrow
// key scrolls as far.
const float kStepsPerArrow = 3;
// Ctrl with Shift and an arrow moves the selection's edge this far.
const int32 kLargeSelectionStep = 10;

} // namespace

void tavrinview::KeyDown(const char* bytes, int32 numBytes)
{
    if (numBytes < 1)
        return;
    char key = bytes[0];
    int32 keys = 0;
    int32 raw = (uint8)key;
    if (BMessage* message = Window() ? Window()->CurrentMessage() : nullptr) {
        message->FindInt32("modifiers", &keys);
        message->FindInt32("raw_char", &raw);
    }
    bool control = keys & B_CONTROL_KEY;
    bool shift = keys & B_SHIFT_KEY;

    // Control and a letter come as a control character that some keys share
    // (Ctrl+A is B_HOME's byte): the letter decides.
    if (control && raw >= 'a' && raw <= 'z') {
        if (raw == 'a' && !shift && image && mousemode == kGestureNone) {
            cursel.rect = pic;
            cursel.visible = true;
        } else if (raw == 'y' && !shift) {
            redo();
        }
        return;
    }

    switch (key) {
    case B_LEFT_ARROW:
    case B_RIGHT_ARROW:
    case B_UP_ARROW:
    case B_DOWN_ARROW:
        if (shift)
            _GrowSelection(key, control ? kLargeSelectionStep : 1);
        else
            _ScrollKey(key);
        break;
    case B_PAGE_UP:
    case B_PAGE_DOWN:
    case B_HOME:
    case B_END:
        _ScrollKey(key);
        break;
    case B_ESCAPE:
        if (mousemode == kGestureNone)
            cursel.visible = false;
        break;
    case B_ENTER:
        if (mousemode == kGestureNone)
            crop();
        break;
    default:
        BView::KeyDown(bytes, numBytes);
        break;
    }
}

void tavrinview::_ScrollKey(char key)
{
    // The bars count picture pixels and keep their values within the
    // picture; setting one scrolls the view.
    BScrollBar* across = ScrollBar(B_HORIZONTAL);
    BScrollBar* down = ScrollBar(B_VERTICAL);
    if (!image || !across || !down)
        return;
    float small, large, min, max;
    switch (key) {
    case B_LEFT_ARROW:
    case B_RIGHT_ARROW:
        across->GetSteps(&small, &large);
        across->SetValue(across->Value() + (key == B_LEFT_ARROW ? -1 : 1) * kStepsPerArrow * small);
        break;
    case B_UP_ARROW:
    case B_DOWN_ARROW:
        down->GetSteps(&small, &large);
        down->SetValue(down->Value() + (key == B_UP_ARROW ? -1 : 1) * kStepsPerArrow * small);
        break;
    case B_PAGE_UP:
    case B_PAGE_DOWN:
        // A page is what the view shows.
        down->SetValue(down->Value() + (key == B_PAGE_UP ? -1 : 1) * (Bounds().Height() + 1));
        break;
    case B_HOME:
    case B_END:
        across->GetRange(&min, &max);
        across->SetValue(key == B_HOME ? min : max);
        down->GetRange(&min, &max);
        down->SetValue(key == B_HOME ? min : max);
        break;
    }
}

void tavrinview::_GrowSelection(char key, int32 step)
{
    if (!image || mousemode != kGestureNone)
        return;
    if (!cursel.visible || !_ClipSelection()) {
        // A new selection starts as the pixel at the shown corner.
        BPoint corner = Bounds().LeftTop();
        corner.x = std::clamp(std::floor(corner.x), pic.left, pic.right);
        corner.y = std::clamp(std::floor(corner.y), pic.top, pic.bottom);
        cursel.rect.Set(corner.x, corner.y, corner.x, corner.y);
        cursel.visible = true;
    }
    // The right-bottom corner moves, as it does under the pointer.
    BRect rect = cursel.rect;
    if (key == B_RIGHT_ARROW || key == B_LEFT_ARROW)
        rect.right += key == B_RIGHT_ARROW ? step : -step;
    else
        rect.bottom += key == B_DOWN_ARROW ? step : -step;
    rect.right = std::clamp(rect.right, rect.left, pic.right);
    rect.bottom = std::clamp(rect.bottom, rect.top, pic.bottom);
    cursel.rect = rect;
}
