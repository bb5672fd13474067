#include <View.h>

#include <AppDefs.h>
#include <Bitmap.h>
#include <Message.h>
#include <ScrollBar.h>
#include <Window.h>

#include "ViewPrivate.h"
#include "WindowPrivate.h"

#include <QRegion>

#include <cmath>
#include <cstring>

using BPrivate::ViewBridge;
using BPrivate::ViewData;

BView::BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    : BHandler(name), fData(new ViewData)
{
    fData->frame = frame;
    fData->resizingMode = resizingMode;
    fData->flags = flags;
    fData->font = *be_plain_font;
}

BView::~BView()
{
    if (fData->parent)
        fData->parent->RemoveChild(this);
    else if (fData->window)
        fData->window->RemoveChild(this);
    while (!fData->children.empty()) {
        BView* child = fData->children.back();
        RemoveChild(child);
        delete child;
    }
    if (fData->horizontalBar && fData->horizontalBar->Target() == this)
        fData->horizontalBar->SetTarget((BView*)nullptr);
    if (fData->verticalBar && fData->verticalBar->Target() == this)
        fData->verticalBar->SetTarget((BView*)nullptr);
    delete fData->widget.data();
    delete fData;
}

void BView::AttachedToWindow() {}
void BView::AllAttached() {}
void BView::DetachedFromWindow() {}
void BView::AllDetached() {}

void BView::MessageReceived(BMessage* message)
{
    if (message->what == B_MOUSE_WHEEL_CHANGED && _ScrollWithWheel(message))
        return;
    BHandler::MessageReceived(message);
}

bool BView::_ScrollWithWheel(BMessage* message)
{
    // A view with scroll bars scrolls them; one without passes the wheel on.
    BScrollBar* horizontal = fData->horizontalBar;
    BScrollBar* vertical = fData->verticalBar;
    if (!horizontal && !vertical)
        return false;
    float dx = 0, dy = 0;
    message->FindFloat("be:wheel_delta_x", &dx);
    message->FindFloat("be:wheel_delta_y", &dy);
    int32 keys;
    if (message->FindInt32("modifiers", &keys) != B_OK)
        keys = (int32)modifiers();
    // Shift turns the vertical wheel sideways, as Linux programs do, and so
    // does a view that scrolls only sideways.
    if (((keys & B_SHIFT_KEY) || !vertical) && dx == 0) {
        dx = dy;
        dy = 0;
    }
    // A notch moves three small steps.
    float small, large;
    if (horizontal && dx != 0 && std::isfinite(dx)) {
        horizontal->GetSteps(&small, &large);
        horizontal->SetValue(horizontal->Value() + dx * 3 * small);
    }
    if (vertical && dy != 0 && std::isfinite(dy)) {
        vertical->GetSteps(&small, &large);
        vertical->SetValue(vertical->Value() + dy * 3 * small);
    }
    return true;
}

void BView::Draw(BRect updateRect) {}
void BView::MouseDown(BPoint where) {}
void BView::MouseUp(BPoint where) {}
void BView::MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage) {}
void BView::KeyDown(const char* bytes, int32 numBytes) {}
void BView::KeyUp(const char* bytes, int32 numBytes) {}
void BView::Pulse() {}
void BView::FrameMoved(BPoint newPosition) {}
void BView::FrameResized(float newWidth, float newHeight) {}
void BView::WindowActivated(bool active) {}

void BView::MakeFocus(bool focus)
{
    if (!fData->widget)
        return;
    // Keys go to the focus view as B_KEY_DOWN and B_KEY_UP.
    if (focus) {
        fData->widget->setFocusPolicy(Qt::StrongFocus);
        fData->widget->setFocus();
    } else if (fData->widget->hasFocus()) {
        fData->widget->clearFocus();
    }
}

void BView::AddChild(BView* child, BView* before)
{
    if (!child || child->fData->parent || child->fData->window || child->fData->bitmapHost)
        return;
    auto& children = fData->children;
    auto position = children.end();
    for (auto it = children.begin(); it != children.end(); ++it) {
        if (*it == before) {
            position = it;
            break;
        }
    }
    children.insert(position, child);
    child->fData->parent = this;
    if (fData->widget) {
        ViewBridge::Realize(child, fData->widget);
        ViewBridge::ChildrenChanged(this);
    }
    if (fData->bitmapHost)
        child->fData->bitmapHost = fData->bitmapHost;
    if (fData->window) {
        ViewBridge::SetWindow(child, fData->window);
        ViewBridge::CallAttached(child);
    }
}

bool BView::RemoveChild(BView* child)
{
    if (!child || child->fData->parent != this)
        return false;
    if (child->fData->window)
        ViewBridge::CallDetached(child);
    auto& children = fData->children;
    for (auto it = children.begin(); it != children.end(); ++it) {
        if (*it == child) {
            children.erase(it);
            break;
        }
    }
    child->fData->parent = nullptr;
    child->fData->bitmapHost = nullptr;
    ViewBridge::SetWindow(child, nullptr);
    ViewBridge::Unrealize(child);
    if (fData->widget)
        ViewBridge::ChildrenChanged(this);
    return true;
}

int32 BView::CountChildren() const
{
    return (int32)fData->children.size();
}

BView* BView::ChildAt(int32 index) const
{
    if (index < 0 || index >= (int32)fData->children.size())
        return nullptr;
    return fData->children[index];
}

BView* BView::Parent() const
{
    return fData->parent;
}

BView* BView::FindView(const char* name) const
{
    for (BView* child : fData->children) {
        if (BView* found = ViewBridge::FindView(child, name))
            return found;
    }
    return nullptr;
}

bool BView::RemoveSelf()
{
    if (fData->parent)
        return fData->parent->RemoveChild(this);
    if (fData->window)
        return fData->window->RemoveChild(this);
    if (fData->bitmapHost)
        return fData->bitmapHost->RemoveChild(this);
    return false;
}

BWindow* BView::Window() const
{
    return fData->window;
}

namespace {

// Parent units per unit of a view: 1 unless the view counts device pixels.
double parent_units(const ViewData* data)
{
    if (data->pixelScale <= 0 || data->bitmapHost)
        return 1;
    return data->pixelScale / data->ratio;
}

// A conversion through a scale lands a hair off the whole unit it came
// from; within a thousandth it lands on it, so that no pixel moves.
float snapped(double value)
{
    double whole = std::round(value);
    return (float)(std::fabs(value - whole) < 1e-3 ? whole : value);
}

// The pixels of one space (factor of them to a pixel of the other, its
// corner at to) that cover the pixels of rect in the other (its corner at from).
BRect covering_pixels(BRect rect, double factor, BPoint from, BPoint to)
{
    auto low = [factor](double value, double from, double to) {
        return (float)(to + std::floor(snapped((std::floor(value) - from) * factor)));
    };
    auto high = [factor](double value, double from, double to) {
        return (float)(to + std::ceil(snapped((std::floor(value) + 1 - from) * factor)) - 1);
    };
    return BRect(low(rect.left, from.x, to.x), low(rect.top, from.y, to.y),
                 high(rect.right, from.x, to.x), high(rect.bottom, from.y, to.y));
}

} // namespace

BRect BView::Bounds() const
{
    BRect frame = fData->frame;
    BPoint origin = fData->origin;
    if (fData->pixelScale <= 0 || fData->bitmapHost)
        return BRect(origin.x, origin.y, origin.x + frame.Width(), origin.y + frame.Height());
    // The units the device pixels of the view show, the last one in part.
    QSize device = ViewBridge::DeviceSize(const_cast<BView*>(this));
    double scale = fData->pixelScale;
    auto units = [scale](int pixels) { return std::ceil(snapped(pixels / scale)); };
    return BRect(origin.x, origin.y, (float)(origin.x + units(device.width()) - 1),
                 (float)(origin.y + units(device.height()) - 1));
}

void BView::SetPixelScale(float scale)
{
    if (!(scale >= 0) || !std::isfinite(scale) || scale == fData->pixelScale)
        return;
    fData->pixelScale = scale;
    // The scroll origin stays on a whole device pixel.
    double unit = ViewBridge::UnitScale(this);
    fData->origin.Set((float)(std::round(fData->origin.x * unit) / unit),
                      (float)(std::round(fData->origin.y * unit) / unit));
    for (BView* child : fData->children)
        ViewBridge::SyncGeometry(child);
    Invalidate();
}

float BView::PixelScale() const
{
    return fData->pixelScale;
}

BRect BView::Frame() const
{
    return fData->frame;
}

void BView::ConvertToParent(BPoint* point) const
{
    double k = parent_units(fData);
    if (k == 1) {
        point->x += fData->frame.left - fData->origin.x;
        point->y += fData->frame.top - fData->origin.y;
        return;
    }
    point->x = snapped(fData->frame.left + (point->x - (double)fData->origin.x) * k);
    point->y = snapped(fData->frame.top + (point->y - (double)fData->origin.y) * k);
}

BPoint BView::ConvertToParent(BPoint point) const
{
    ConvertToParent(&point);
    return point;
}

void BView::ConvertFromParent(BPoint* point) const
{
    double k = parent_units(fData);
    if (k == 1) {
        point->x -= fData->frame.left - fData->origin.x;
        point->y -= fData->frame.top - fData->origin.y;
        return;
    }
    point->x = snapped(fData->origin.x + (point->x - (double)fData->frame.left) / k);
    point->y = snapped(fData->origin.y + (point->y - (double)fData->frame.top) / k);
}

void BView::ConvertToParent(BRect* rect) const
{
    double k = parent_units(fData);
    if (k == 1) {
        rect->OffsetBy(fData->frame.left - fData->origin.x, fData->frame.top - fData->origin.y);
        return;
    }
    // The parent's pixels that show any of the rectangle's pixels.
    *rect = covering_pixels(*rect, k, fData->origin, fData->frame.LeftTop());
}

BRect BView::ConvertToParent(BRect rect) const
{
    ConvertToParent(&rect);
    return rect;
}

void BView::ConvertFromParent(BRect* rect) const
{
    double k = parent_units(fData);
    if (k == 1) {
        rect->OffsetBy(fData->origin.x - fData->frame.left, fData->origin.y - fData->frame.top);
        return;
    }
    // The view's units that the parent's pixels show, in part or whole.
    *rect = covering_pixels(*rect, 1 / k, fData->frame.LeftTop(), fData->origin);
}

BRect BView::ConvertFromParent(BRect rect) const
{
    ConvertFromParent(&rect);
    return rect;
}

BPoint BView::ConvertFromParent(BPoint point) const
{
    ConvertFromParent(&point);
    return point;
}

void BView::ConvertToScreen(BPoint* point) const
{
    ConvertToParent(point);
    if (fData->parent)
        fData->parent->ConvertToScreen(point);
    else if (fData->window)
        fData->window->ConvertToScreen(point);
}

BPoint BView::ConvertToScreen(BPoint point) const
{
    ConvertToScreen(&point);
    return point;
}

void BView::ConvertFromScreen(BPoint* point) const
{
    if (fData->parent)
        fData->parent->ConvertFromScreen(point);
    else if (fData->window)
        fData->window->ConvertFromScreen(point);
    ConvertFromParent(point);
}

BPoint BView::ConvertFromScreen(BPoint point) const
{
    ConvertFromScreen(&point);
    return point;
}

void BView::ConvertToScreen(BRect* rect) const
{
    BPoint leftTop = ConvertToScreen(rect->LeftTop());
    rect->OffsetTo(leftTop);
}

BRect BView::ConvertToScreen(BRect rect) const
{
    ConvertToScreen(&rect);
    return rect;
}

void BView::ConvertFromScreen(BRect* rect) const
{
    BPoint leftTop = ConvertFromScreen(rect->LeftTop());
    rect->OffsetTo(leftTop);
}

BRect BView::ConvertFromScreen(BRect rect) const
{
    ConvertFromScreen(&rect);
    return rect;
}

void BView::MoveBy(float dx, float dy)
{
    MoveTo(fData->frame.left + dx, fData->frame.top + dy);
}

void BView::MoveTo(BPoint where)
{
    MoveTo(where.x, where.y);
}

void BView::MoveTo(float x, float y)
{
    if (x == fData->frame.left && y == fData->frame.top)
        return;
    fData->frame.OffsetTo(x, y);
    ViewBridge::SyncGeometry(this);
    if (fData->window && (fData->flags & B_FRAME_EVENTS))
        BPrivate::WindowBridge::PostViewEvent(fData->window, this, B_VIEW_MOVED);
}

void BView::ResizeBy(float dw, float dh)
{
    ResizeTo(fData->frame.Width() + dw, fData->frame.Height() + dh);
}

void BView::ResizeTo(float width, float height)
{
    BRect oldBounds = Bounds();
    float dw = width - fData->frame.Width();
    float dh = height - fData->frame.Height();
    if (dw == 0 && dh == 0)
        return;
    fData->frame.right = fData->frame.left + width;
    fData->frame.bottom = fData->frame.top + height;
    ViewBridge::SyncGeometry(this);
    ViewBridge::ResizeBacking(this, oldBounds);
    for (BView* child : fData->children)
        ViewBridge::ParentResized(child, dw, dh);
    if (fData->window && (fData->flags & B_FRAME_EVENTS))
        BPrivate::WindowBridge::PostViewEvent(fData->window, this, B_VIEW_RESIZED);
}

void BView::ScrollBy(float dx, float dy)
{
    ScrollTo(fData->origin.x + dx, fData->origin.y + dy);
}

void BView::ScrollTo(float x, float y)
{
    ScrollTo(BPoint(x, y));
}

void BView::ScrollTo(BPoint where)
{
    // Scroll offsets are whole device pixels on this platform.
    double unit = ViewBridge::UnitScale(this);
    where.x = (float)(std::round(where.x * unit) / unit);
    where.y = (float)(std::round(where.y * unit) / unit);
    float dx = where.x - fData->origin.x;
    float dy = where.y - fData->origin.y;
    if (dx == 0 && dy == 0)
        return;
    QPoint before = ViewBridge::Mapping(this).origin;
    fData->origin = where;
    BPrivate::PixelMapping map = ViewBridge::Mapping(this);

    // Move what was drawn with the content and redraw only what comes into view.
    // The store covers the same part of the widget before and after.
    if (QImage* pixels = ViewBridge::Pixels(this)) {
        QImage& backing = *pixels;
        QRect area(QPoint(0, 0), fData->backingArea.size());
        int sx = map.origin.x() - before.x();
        int sy = map.origin.y() - before.y();
        QRect kept = area & area.translated(-sx, -sy);
        if (!kept.isEmpty())
            BPrivate::move_pixels(backing, kept.translated(sx, sy), kept.topLeft());
        for (const QRect& part : QRegion(area) - QRegion(kept))
            ViewBridge::Invalidate(this, map.ToView(part.translated(fData->backingArea.topLeft())));
        ViewBridge::Show(this, fData->backingArea);
    }
    for (BView* child : fData->children)
        ViewBridge::SyncGeometry(child);

    if (fData->horizontalBar && dx != 0)
        fData->horizontalBar->_TargetScrolled(where.x);
    if (fData->verticalBar && dy != 0)
        fData->verticalBar->_TargetScrolled(where.y);
}

BScrollBar* BView::ScrollBar(orientation direction) const
{
    return direction == B_HORIZONTAL ? fData->horizontalBar : fData->verticalBar;
}

uint32 BView::Flags() const
{
    return fData->flags;
}

void BView::SetFlags(uint32 flags)
{
    fData->flags = flags;
}

uint32 BView::ResizingMode() const
{
    return fData->resizingMode;
}

void BView::SetResizingMode(uint32 mode)
{
    fData->resizingMode = mode;
}

void BView::Hide()
{
    if (fData->hidden)
        return;
    fData->hidden = true;
    if (fData->widget)
        fData->widget->hide();
}

void BView::Show()
{
    if (!fData->hidden)
        return;
    fData->hidden = false;
    if (fData->widget)
        fData->widget->show();
    // The platform repaints a view that comes back: clear to the view colour and draw.
    ViewBridge::Invalidate(this, Bounds());
}

bool BView::IsHidden() const
{
    if (fData->hidden)
        return true;
    if (fData->parent)
        return fData->parent->IsHidden();
    if (fData->window)
        return fData->window->IsHidden();
    return false;
}

bool BView::IsHidden(const BView* looking) const
{
    if (fData->hidden)
        return true;
    if (fData->parent && fData->parent != looking)
        return fData->parent->IsHidden(looking);
    return false;
}

void BView::Invalidate(BRect invalRect)
{
    ViewBridge::Invalidate(this, invalRect);
}

void BView::Invalidate()
{
    ViewBridge::Invalidate(this, Bounds());
}

status_t BView::SetMouseEventMask(uint32 mask, uint32 options)
{
    fData->eventMask = mask;
    fData->eventOptions = options;
    return B_OK;
}

void BView::GetMouse(BPoint* location, uint32* buttons, bool checkMessageQueue)
{
    BMessage* current = fData->window ? fData->window->CurrentMessage() : nullptr;
    if (checkMessageQueue && current &&
        (current->what == B_MOUSE_DOWN || current->what == B_MOUSE_MOVED ||
         current->what == B_MOUSE_UP)) {
        BPoint screen;
        int32 pressed = 0;
        if (current->FindPoint("screen_where", &screen) != B_OK)
            current->FindPoint("where", &screen);
        current->FindInt32("buttons", &pressed);
        if (location)
            *location = ConvertFromScreen(screen);
        if (buttons)
            *buttons = (uint32)pressed;
        return;
    }
    if (location)
        *location = ConvertFromScreen(BPrivate::PointerState::Position());
    if (buttons)
        *buttons = BPrivate::PointerState::Buttons();
}

void BView::SetViewColor(rgb_color color)
{
    fData->viewColor = color;
}

void BView::SetViewColor(uint8 r, uint8 g, uint8 b, uint8 a)
{
    SetViewColor(make_color(r, g, b, a));
}

rgb_color BView::ViewColor() const
{
    return fData->viewColor;
}

void BView::SetHighColor(rgb_color color)
{
    fData->highColor = color;
}

void BView::SetHighColor(uint8 r, uint8 g, uint8 b, uint8 a)
{
    SetHighColor(make_color(r, g, b, a));
}

rgb_color BView::HighColor() const
{
    return fData->highColor;
}

void BView::SetLowColor(rgb_color color)
{
    fData->lowColor = color;
}

void BView::SetLowColor(uint8 r, uint8 g, uint8 b, uint8 a)
{
    SetLowColor(make_color(r, g, b, a));
}

rgb_color BView::LowColor() const
{
    return fData->lowColor;
}

void BView::SetDrawingMode(drawing_mode mode)
{
    fData->drawingMode = mode;
}

drawing_mode BView::DrawingMode() const
{
    return fData->drawingMode;
}

void BView::SetPenSize(float size)
{
    fData->penSize = size;
}

float BView::PenSize() const
{
    return fData->penSize;
}

void BView::SetFont(const BFont* font, uint32 mask)
{
    if (!font)
        return;
    BFont& current = fData->font;
    if (mask == B_FONT_ALL) {
        current = *font;
        return;
    }
    if (mask & B_FONT_FAMILY_AND_STYLE) {
        font_family family;
        font_style style;
        font->GetFamilyAndStyle(&family, &style);
        current.SetFamilyAndStyle(family, style);
    }
    if (mask & B_FONT_SIZE)
        current.SetSize(font->Size());
    if (mask & B_FONT_SHEAR)
        current.SetShear(font->Shear());
    if (mask & B_FONT_ROTATION)
        current.SetRotation(font->Rotation());
    if (mask & B_FONT_FACE)
        current.SetFace(font->Face());
    if (mask & B_FONT_FLAGS)
        current.SetFlags(font->Flags());
}

void BView::GetFont(BFont* font) const
{
    *font = fData->font;
}

void BView::SetFontSize(float size)
{
    fData->font.SetSize(size);
}

float BView::StringWidth(const char* string) const
{
    return fData->font.StringWidth(string);
}

float BView::StringWidth(const char* string, int32 length) const
{
    return fData->font.StringWidth(string, length);
}

void BView::GetFontHeight(font_height* height) const
{
    fData->font.GetHeight(height);
}

void BView::MovePenTo(BPoint pt)
{
    fData->penLocation = pt;
}

void BView::MovePenTo(float x, float y)
{
    fData->penLocation.Set(x, y);
}

void BView::MovePenBy(float x, float y)
{
    fData->penLocation.x += x;
    fData->penLocation.y += y;
}

BPoint BView::PenLocation() const
{
    return fData->penLocation;
}

bool BView::IsPrinting() const
{
    return fData->printPainter != nullptr;
}

void BView::Sync() const
{
    Flush();
}

void BView::Flush() const
{
    if (fData->widget)
        fData->widget->update();
}
