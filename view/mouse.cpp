// The mouse side of the view: the rubber-band selection, cropping to it,
// scrolling by dragging the image, and dragging the selection out. The mouse
// hooks never draw; the pulse brings the screen in line with the selection.

#include "view/tavrinview.h"

#include <PictureMetadata.h>

#include <InterfaceDefs.h>
#include <Message.h>
#include <PixelSize.h>
#include <Window.h>

#include <cstring>

namespace {

BRect normalised(BRect rect)
{
    if (rect.right < rect.left)
        std::swap(rect.left, rect.right);
    if (rect.bottom < rect.top)
        std::swap(rect.top, rect.bottom);
    return rect;
}

} // namespace

// Copies a rectangle of 32-bit pixels out of image into a bitmap of its own,
// rows without gaps. The rectangle lies on the image. Offsets are whole
// numbers of pixels counted in 64 bits: a float holds only 24 bits, which a
// picture of 16.8 megapixels already passes.
void copy_pixels(const BBitmap* image, BRect rect, BBitmap* into)
{
    color_space space = image->ColorSpace();
    if (space != B_RGB32 && space != B_RGBA32)
        return;
    BRect bounds = image->Bounds();
    int64 stride = image->BytesPerRow() / 4;
    int64 left = (int64)rect.left - (int64)bounds.left;
    int64 top = (int64)rect.top - (int64)bounds.top;
    int64 w = pixel_width(rect);
    int64 h = pixel_height(rect);
    if (left < 0 || top < 0 || w <= 0 || h <= 0 || left + w > stride ||
        (top + h) * stride * 4 > image->BitsLength() || w * h * 4 > into->BitsLength())
        return;
    const uint32* source = static_cast<const uint32*>(image->Bits()) + top * stride + left;
    uint32* target = static_cast<uint32*>(into->Bits());
    for (int64 r = 0; r < h; r++)
        memcpy(target + r * w, source + r * stride, (size_t)w * 4);
}

bool tavrinview::_ClipSelection()
{
    // A selection made on an earlier image may reach past this one.
    if (!image) {
        cursel.visible = false;
        return false;
    }
    BRect rect = normalised(cursel.rect) & pic;
    if (!rect.IsValid()) {
        cursel.visible = false;
        return false;
    }
    cursel.rect = rect;
    return true;
}

void tavrinview::MouseDown(BPoint where)
{
    SetMouseEventMask(B_POINTER_EVENTS, 0);
    if (!pic.Contains(where))
        return;
    anchor = where - Bounds().LeftTop();

    if (cursel.visible && cursel.rect.Contains(where) && _ClipSelection() &&
        cursel.rect.Contains(where)) {
        delete dragbitmap;
        dragbitmap = new BBitmap(cursel.rect, B_RGB32, false, false);
        copy_pixels(image, cursel.rect, dragbitmap);
        // A part of the picture given away keeps its colours and its story,
        // but never where it was taken.
        BPrivate::PictureMetadata metadata = image->Metadata();
        metadata.RemoveLocation();
        metadata.FitTo(pixel_width(cursel.rect), pixel_height(cursel.rect));
        metadata.DropThumbnail();
        dragbitmap->SetMetadata(metadata);
        BMessage* offer = ddmessage();
        DragMessage(offer, cursel.rect, nullptr);
        delete offer;
        cursel.visible = false;
        mousemode = kGestureNone;
        return;
    }

    uint32 keys = modifiers();
    BPoint point;
    uint32 buttons = 0;
    GetMouse(&point, &buttons, true);
    mousemode = buttons & 0xff;
    if (mousemode == kGestureSelect) {
        if (keys & B_SHIFT_KEY)
            mousemode = kGestureCrop;
        if (keys & B_CONTROL_KEY)
            mousemode = kGestureScroll;
    }
    cursel.rect.Set(where.x, where.y, where.x, where.y);
    cursel.visible = mousemode < kGestureScroll;
}

void tavrinview::MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage)
{
    if (mousemode == kGestureNone)
        return;
    if (mousemode == kGestureScroll) {
        uint32 buttons;
        GetMouse(&where, &buttons, false);
        BRect b = Bounds();
        BPoint cur = where - b.LeftTop();
        // Whole device pixels, which are fractions of a picture pixel when
        // zoomed in: the view rounds its scroll position to them.
        float dx = anchor.x - cur.x;
        float dy = anchor.y - cur.y;
        if (pic.left > b.left + dx)
            dx = pic.left - b.left;
        if (pic.right < b.right + dx)
            dx = pic.right - b.right;
        if (pic.top > b.top + dy)
            dy = pic.top - b.top;
        if (pic.bottom < b.bottom + dy)
            dy = pic.bottom - b.bottom;
        anchor = cur;
        ScrollBy(dx, dy);
        return;
    }
    if (where.x < pic.left)
        where.x = pic.left;
    if (where.x > pic.right)
        where.x = pic.right;
    if (where.y < pic.top)
        where.y = pic.top;
    if (where.y > pic.bottom)
        where.y = pic.bottom;
    cursel.rect.SetRightBottom(where);
}

void tavrinview::MouseUp(BPoint where)
{
    cursel.rect = normalised(cursel.rect);
    if (mousemode == kGestureCrop)
        crop();
    mousemode = kGestureNone;
}

void tavrinview::Pulse()
{
    bool changed = oldsel.rect != cursel.rect;
    if ((oldsel.visible && !cursel.visible) || (cursel.visible && changed))
        eraseframe(oldsel);
    if ((cursel.visible && !oldsel.visible) || (cursel.visible && changed))
        drawframe(cursel);
    oldsel = cursel;
}

void tavrinview::drawframe(const s_sel& selection)
{
    StrokeRect(normalised(selection.rect), B_MIXED_COLORS);
}

void tavrinview::eraseframe(const s_sel& selection)
{
    if (!image)
        return;
    BRect r = normalised(selection.rect);
    // The image under the frame, put back one edge at a time; only what lies
    // on the image is drawn.
    DrawBitmap(image, BRect(r.left, r.top, r.right, r.top), BRect(r.left, r.top, r.right, r.top));
    DrawBitmap(image, BRect(r.left, r.bottom, r.right, r.bottom),
               BRect(r.left, r.bottom, r.right, r.bottom));
    DrawBitmap(image, BRect(r.left, r.top, r.left, r.bottom),
               BRect(r.left, r.top, r.left, r.bottom));
    DrawBitmap(image, BRect(r.right, r.top, r.right, r.bottom),
               BRect(r.right, r.top, r.right, r.bottom));
}
