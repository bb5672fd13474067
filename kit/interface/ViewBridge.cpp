#include <AppDefs.h>
#include <Bitmap.h>
#include <LongWork.h>
#include <Message.h>
#include <PixelSize.h>
#include <Window.h>

#include "ViewPrivate.h"
#include "WindowPrivate.h"
#include "app/LooperPrivate.h"
#include "qt/DragBridge.h"

#include <QBackingStore>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>
#include <QtGui/qpa/qplatformbackingstore.h>

#include <cmath>
#include <cstring>
#include <mutex>
#include <string>

namespace BPrivate {

QColor to_qcolor(rgb_color color)
{
    return QColor(color.red, color.green, color.blue, color.alpha);
}

QRect to_qrect(BRect rect)
{
    int left = (int)std::floor(rect.left);
    int top = (int)std::floor(rect.top);
    int right = (int)std::floor(rect.right);
    int bottom = (int)std::floor(rect.bottom);
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

uint32 convert_buttons(Qt::MouseButtons buttons)
{
    uint32 result = 0;
    if (buttons & Qt::LeftButton)
        result |= B_PRIMARY_MOUSE_BUTTON;
    if (buttons & Qt::RightButton)
        result |= B_SECONDARY_MOUSE_BUTTON;
    if (buttons & Qt::MiddleButton)
        result |= B_TERTIARY_MOUSE_BUTTON;
    return result;
}

uint32 convert_modifiers(Qt::KeyboardModifiers modifiers)
{
    uint32 result = 0;
    if (modifiers & Qt::ShiftModifier)
        result |= B_SHIFT_KEY | B_LEFT_SHIFT_KEY;
    if (modifiers & Qt::ControlModifier)
        result |= B_CONTROL_KEY | B_LEFT_CONTROL_KEY;
    if (modifiers & Qt::AltModifier)
        result |= B_COMMAND_KEY | B_LEFT_COMMAND_KEY;
    if (modifiers & Qt::MetaModifier)
        result |= B_OPTION_KEY | B_LEFT_OPTION_KEY;
    return result;
}

namespace {

// A key that is no character: its byte, and the BeOS keyboard's code for it.
struct special_key
{
    int qt;
    char byte;
    int32 code;
};

const special_key kSpecialKeys[] = {
    {Qt::Key_Escape, B_ESCAPE, 0x01},
    {Qt::Key_Left, B_LEFT_ARROW, 0x61},
    {Qt::Key_Right, B_RIGHT_ARROW, 0x63},
    {Qt::Key_Up, B_UP_ARROW, 0x57},
    {Qt::Key_Down, B_DOWN_ARROW, 0x62},
    {Qt::Key_Home, B_HOME, 0x20},
    {Qt::Key_End, B_END, 0x35},
    {Qt::Key_PageUp, B_PAGE_UP, 0x21},
    {Qt::Key_PageDown, B_PAGE_DOWN, 0x36},
    {Qt::Key_Insert, B_INSERT, 0x1f},
    {Qt::Key_Delete, B_DELETE, 0x34},
    {Qt::Key_Return, B_RETURN, 0x47},
    {Qt::Key_Enter, B_ENTER, 0x5b},
    {Qt::Key_Backspace, B_BACKSPACE, 0x1e},
    {Qt::Key_Tab, B_TAB, 0x26},
    {Qt::Key_Backtab, B_TAB, 0x26},
    {Qt::Key_Space, B_SPACE, 0x5e},
    {Qt::Key_Print, B_FUNCTION_KEY, B_PRINT_KEY},
    {Qt::Key_ScrollLock, B_FUNCTION_KEY, B_SCROLL_KEY},
    {Qt::Key_Pause, B_FUNCTION_KEY, B_PAUSE_KEY},
};

} // namespace

BMessage* key_message(uint32 what, const QKeyEvent* event)
{
    int key = event->key();
    if (key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
        key == Qt::Key_Meta || key == Qt::Key_AltGr || key == Qt::Key_CapsLock ||
        key == Qt::Key_NumLock || key == 0 || key == Qt::Key_unknown)
        return nullptr;
    uint32 keys = convert_modifiers(event->modifiers());
    std::string bytes;
    int32 code = 0;
    char raw = 0;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        bytes = B_FUNCTION_KEY;
        code = B_F1_KEY + (key - Qt::Key_F1);
    } else {
        for (const special_key& special : kSpecialKeys) {
            if (special.qt == key) {
                bytes = special.byte;
                code = special.code;
                break;
            }
        }
    }
    if (!bytes.empty()) {
        raw = bytes[0];
    } else {
        // A character key: raw_char is the key's own character, as without
        // modifiers; Control and a letter give the control character, as on
        // BeOS.
        if (key >= Qt::Key_A && key <= Qt::Key_Z)
            raw = char('a' + (key - Qt::Key_A));
        else if (key > 0x20 && key < 0x7f)
            raw = char(key);
        if ((keys & B_CONTROL_KEY) && key >= Qt::Key_A && key <= Qt::Key_Z)
            bytes = char(1 + (key - Qt::Key_A));
        else
            bytes = event->text().toStdString();
        if (bytes.empty() && raw)
            bytes = raw;
        if (bytes.empty())
            return nullptr;
        if (!raw)
            raw = bytes[0];
    }
    BMessage* message = new BMessage(what);
    message->AddInt64("when", system_time());
    message->AddInt32("modifiers", (int32)keys);
    message->AddInt32("key", code);
    message->AddInt32("raw_char", (uint8)raw);
    message->AddInt8("byte", (int8)bytes[0]);
    message->AddString("bytes", bytes.c_str());
    if (event->isAutoRepeat())
        message->AddInt32("be:key_repeat", 1);
    return message;
}

namespace {

// A store up to this many pixels larger than it needs to be keeps its memory.
const qint64 kSpareStorePixels = 256 * 256;

inline uint32 pixel_value(rgb_color color)
{
    return 0xff000000u | ((uint32)color.red << 16) | ((uint32)color.green << 8) | color.blue;
}

void fill_pixels(QImage& image, QRect rect, uint32 value)
{
    rect &= image.rect();
    for (int y = rect.top(); y <= rect.bottom(); y++) {
        uint32* row = reinterpret_cast<uint32*>(image.scanLine(y));
        std::fill(row + rect.left(), row + rect.right() + 1, value);
    }
}

void copy_pixels(const QImage& from, QRect source, QImage& to, QPoint target)
{
    size_t bytes = (size_t)source.width() * 4;
    for (int y = 0; y < source.height(); y++)
        memcpy(to.scanLine(target.y() + y) + target.x() * 4,
               from.constScanLine(source.top() + y) + source.left() * 4, bytes);
}

bool sSharing = true;

// Whether views may draw straight into their window's buffer on this
// platform. The X11 and offscreen buffers are plain memory that stays put
// until the window changes size; Wayland's are handed to the compositor and
// taken back, so there the views keep pixels of their own.
bool platform_shares()
{
    static const bool shares = [] {
        QString name = QGuiApplication::platformName();
        return name == "xcb" || name == "offscreen";
    }();
    return shares;
}

// The platform's buffer for a window, of whatever kind: null before the
// window exists and is given one.
QPaintDevice* platform_buffer(QWidget* window)
{
    QBackingStore* store = window->backingStore();
    if (!store || !window->windowHandle() || !store->handle())
        return nullptr;
    return store->handle()->paintDevice();
}

// Whether buffer is the one a view's shared store was made on.
bool holds_store(const QImage* buffer, const ViewData* data)
{
    return buffer && buffer->constBits() == data->sharedBits &&
           buffer->size() == data->sharedSize && buffer->bytesPerLine() == data->sharedStride;
}

// A view's store leaves the window's buffer.
void forget_buffer(ViewData* data)
{
    data->shared = false;
    data->sharedBits = nullptr;
    data->unshown = QRegion();
}

// The widget's place in its window, in logical units.
QPoint window_offset(QWidget* widget)
{
    return widget->mapTo(widget->window(), QPoint(0, 0));
}

// The device pixels a widget covers in its window's buffer.
QRect device_rect(QWidget* widget, double ratio)
{
    return PixelMapping::LogicalToDevice(QRect(window_offset(widget), widget->size()), ratio);
}

// A region of a widget's logical units, in its device pixels.
QRegion to_device(QWidget* widget, const QRegion& logical, double ratio)
{
    if (ratio == 1)
        return logical;
    QPoint offset = window_offset(widget);
    QPoint corner = device_rect(widget, ratio).topLeft();
    QRegion device;
    for (const QRect& part : logical)
        device += PixelMapping::LogicalToDevice(part.translated(offset), ratio).translated(-corner);
    return device;
}

// A rectangle of a widget's device pixels, in the logical units that hold it.
QRect to_logical(QWidget* widget, const QRect& device, double ratio)
{
    if (ratio == 1)
        return device;
    QPoint offset = window_offset(widget);
    QPoint corner = device_rect(widget, ratio).topLeft();
    return PixelMapping::DeviceToLogical(device.translated(corner), ratio).translated(-offset);
}

// The buffer the platform shows a widget's window from, when views can draw
// into it: 32-bit pixels without alpha, in device pixels, as large as the
// window. Null before the window is first painted and between a change of
// its size and the next painting; null and unsuitable for a buffer of any
// other kind (a translucent window, a screen of another depth).
QImage* window_buffer(QWidget* widget, bool* unsuitable = nullptr)
{
    QWidget* window = widget->window();
    if (window->testAttribute(Qt::WA_TranslucentBackground)) {
        if (unsuitable)
            *unsuitable = true;
        return nullptr;
    }
    QPaintDevice* device = platform_buffer(window);
    if (!device)
        return nullptr;
    QImage* image = device->devType() == QInternal::Image ? static_cast<QImage*>(device) : nullptr;
    if (image && image->isNull())
        return nullptr;
    // An opaque window's buffer may be premultiplied: its pixels are the
    // same words as ours, alpha always full. A translucent one is cleared
    // by the platform before each painting.
    bool opaque = image && (image->format() == QImage::Format_RGB32 ||
                            (image->format() == QImage::Format_ARGB32_Premultiplied &&
                             !window->windowHandle()->format().hasAlpha()));
    if (!opaque) {
        if (unsuitable)
            *unsuitable = true;
        return nullptr;
    }
    double ratio = window->devicePixelRatioF();
    if (image->size() != PixelMapping::LogicalToDevice(window->rect(), ratio).size())
        return nullptr;
    return image;
}

inline uint32 clear_value(rgb_color color)
{
    return color == B_TRANSPARENT_32_BIT ? 0xff000000u : pixel_value(color);
}

// The part of a widget that can be seen, in its own pixels: its rectangle
// clipped by its parents', its window's, and the screens the window lies on.
QRect visible_area(QWidget* widget)
{
    QWidget* window = widget->window();
    QRect area = widget->rect();
    QPoint offset(0, 0);
    for (QWidget* w = widget; w != window; w = w->parentWidget()) {
        offset += w->pos();
        area = area.translated(w->pos()) & w->parentWidget()->rect();
    }
    // A platform that keeps windows' places from their programs (Wayland) may
    // show any part of the window.
    static const bool placesKnown = !QGuiApplication::platformName().startsWith("wayland");
    if (!placesKnown)
        return area.isEmpty() ? QRect() : area.translated(-offset);
    // The window's own rectangle is its content area on the screens.
    QRect frame = window->geometry();
    QRect screens;
    if (QScreen* screen = window->screen()) {
        for (QScreen* sibling : screen->virtualSiblings()) {
            if (sibling->geometry().intersects(frame))
                screens |= sibling->geometry();
        }
    }
    area &= screens.translated(-frame.topLeft());
    return area.isEmpty() ? QRect() : area.translated(-offset);
}

// The part of a widget that can be seen, in its own device pixels.
QRect device_area(QWidget* widget, double ratio)
{
    QRect area = visible_area(widget);
    if (ratio == 1 || area.isEmpty())
        return area;
    QRect whole(QPoint(0, 0), device_rect(widget, ratio).size());
    return to_device(widget, area, ratio).boundingRect() & whole;
}

} // namespace

// Moves a rectangle of pixels to another place in the same image; the two may overlap.
void move_pixels(QImage& image, QRect source, QPoint target)
{
    size_t bytes = (size_t)source.width() * 4;
    uchar* bits = image.bits();
    qsizetype stride = image.bytesPerLine();
    auto row = [&](int y) {
        memmove(bits + (target.y() + y) * stride + target.x() * 4,
                bits + (source.top() + y) * stride + source.left() * 4, bytes);
    };
    if (target.y() <= source.top()) {
        for (int y = 0; y < source.height(); y++)
            row(y);
    } else {
        for (int y = source.height() - 1; y >= 0; y--)
            row(y);
    }
}

namespace {
std::mutex sPointerLock;
BPoint sPointer;
bool sPointerKnown = false;
uint32 sButtons = 0;
} // namespace

void PointerState::Update(const QPointF& global, Qt::MouseButtons buttons)
{
    std::lock_guard<std::mutex> guard(sPointerLock);
    sPointer = BPoint((float)global.x(), (float)global.y());
    sPointerKnown = true;
    sButtons = convert_buttons(buttons);
}

BPoint PointerState::Position()
{
    std::lock_guard<std::mutex> guard(sPointerLock);
    if (!sPointerKnown) {
        QPoint p = QCursor::pos();
        return BPoint(p.x(), p.y());
    }
    return sPointer;
}

uint32 PointerState::Buttons()
{
    std::lock_guard<std::mutex> guard(sPointerLock);
    return sButtons;
}

bool ViewBridge::MakeTarget(BView* view, DrawTarget* target)
{
    ViewData* data = view->fData;
    if (data->printPainter) {
        target->painter = data->printPainter;
        return true;
    }
    if (data->bitmapHost) {
        // Attached to a bitmap: the view's frame is in the bitmap's coordinates.
        BBitmap* bitmap = data->bitmapHost;
        // The view is about to change the bitmap's pixels.
        bitmap->UnlockBits();
        color_space space = bitmap->ColorSpace();
        if (space != B_RGB32 && space != B_RGBA32)
            return false;
        BRect bounds = bitmap->Bounds();
        static thread_local QImage wrapped;
        wrapped = QImage((uchar*)bitmap->Bits(), pixel_width(bounds), pixel_height(bounds),
                         bitmap->BytesPerRow(),
                         space == B_RGBA32 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        target->image = &wrapped;
        // A bitmap's pixels are the view's units, one for one.
        BPoint offset(data->frame.left, data->frame.top);
        for (BView* p = data->parent; p; p = p->fData->parent) {
            offset.x += p->fData->frame.left - p->fData->origin.x;
            offset.y += p->fData->frame.top - p->fData->origin.y;
        }
        target->map = PixelMapping::Make(1, 1, data->origin);
        target->dx = (int)std::floor(offset.x);
        target->dy = (int)std::floor(offset.y);
        target->clip =
            to_qrect(view->Bounds().OffsetToCopy(0, 0)).translated(target->dx, target->dy) &
            wrapped.rect();
        return true;
    }
    if (!Pixels(view))
        return false;
    const QRect& area = data->backingArea;
    target->image = &data->backing;
    target->map = Mapping(view);
    target->dx = -area.left();
    target->dy = -area.top();
    target->clip = QRect(QPoint(0, 0), area.size());
    target->devicePixels = data->pixelScale > 0;
    target->patternUnit = target->devicePixels ? 1 : target->map.scale;
    return true;
}

double ViewBridge::UnitScale(BView* view)
{
    ViewData* data = view->fData;
    return data->pixelScale > 0 ? data->pixelScale : data->ratio;
}

PixelMapping ViewBridge::Mapping(BView* view)
{
    ViewData* data = view->fData;
    return PixelMapping::Make(UnitScale(view), data->ratio, data->origin);
}

QSize ViewBridge::DeviceSize(BView* view)
{
    ViewData* data = view->fData;
    if (data->widget)
        return device_rect(data->widget, data->ratio).size();
    QRect frame(0, 0, pixel_width(data->frame), pixel_height(data->frame));
    return PixelMapping::LogicalToDevice(frame, data->ratio).size();
}

BPoint ViewBridge::UnitAt(BView* view, QPointF inWindow)
{
    ViewData* data = view->fData;
    PixelMapping map = Mapping(view);
    QPoint device = map.DeviceAt(inWindow);
    if (data->widget)
        device -= device_rect(data->widget, data->ratio).topLeft();
    return map.Hit(device.x(), device.y());
}

bool ViewBridge::UpdateRatio(BView* view)
{
    ViewData* data = view->fData;
    if (!data->widget)
        return false;
    double ratio = data->widget->window()->devicePixelRatioF();
    if (!(ratio > 0) || ratio == data->ratio)
        return false;
    data->ratio = ratio;
    return true;
}

void ViewBridge::Touched(BView* view, const QRect& imageRect)
{
    ViewData* data = view->fData;
    if (!data->bitmapHost && !data->printPainter && !imageRect.isEmpty())
        Show(view, imageRect.translated(data->backingArea.topLeft()));
}

void ViewBridge::Show(BView* view, const QRect& deviceRect)
{
    ViewData* data = view->fData;
    if (!data->widget || deviceRect.isEmpty())
        return;
    QRect widgetRect = to_logical(data->widget, deviceRect, data->ratio);
    if (data->shared) {
        data->unshown += widgetRect;
        // Many small pieces (a window that is not painted while it is
        // hidden) become one, as the platform's own region would.
        if (data->unshown.rectCount() > 64)
            data->unshown = data->unshown.boundingRect();
    }
    data->widget->update(widgetRect);
}

void ViewBridge::Realize(BView* view, QWidget* parent)
{
    ViewData* data = view->fData;
    if (!data->widget) {
        data->widget = new ViewWidget(view, parent);
        if (data->makeNative)
            data->native = data->makeNative(data->widget);
    } else {
        data->widget->setParent(parent);
    }
    UpdateRatio(view);
    if (!data->parent)
        _WatchWindow(view, parent);
    SyncGeometry(view);
    ResizeBacking(view, BRect());
    data->widget->setVisible(!data->hidden);
    for (BView* child : data->children)
        Realize(child, data->widget);
}

void ViewBridge::Unrealize(BView* view)
{
    ViewData* data = view->fData;
    for (BView* child : data->children)
        Unrealize(child);
    delete data->widget.data();
    data->widget = nullptr;
    data->native = nullptr;
    data->backing = QImage();
    data->backingArea = QRect();
    forget_buffer(data);
}

void ViewBridge::SyncGeometry(BView* view)
{
    ViewData* data = view->fData;
    if (!data->widget)
        return;
    QRect rect = to_qrect(data->frame);
    // A child's place in its parent's widget follows the parent's scrolling.
    if (data->parent) {
        rect.translate(-(int)std::floor(data->parent->fData->origin.x),
                       -(int)std::floor(data->parent->fData->origin.y));
    }
    data->widget->setGeometry(rect);
    if (data->native)
        data->native->setGeometry(0, 0, rect.width(), rect.height());
    RefreshBacking(view);
}

void ViewBridge::ResizeBacking(BView* view, BRect oldBounds)
{
    ViewData* data = view->fData;
    _FitBacking(view);
    // The store drew in what came into view; some views want all of it again.
    if (data->flags & B_FULL_UPDATE_ON_RESIZE || !oldBounds.IsValid())
        Invalidate(view, view->Bounds());
}

void ViewBridge::RefreshBacking(BView* view)
{
    ViewData* data = view->fData;
    if (UpdateRatio(view)) {
        // On a screen of another scale every device pixel of the store is
        // somewhere else: it is made anew and drawn whole.
        if (data->shared)
            forget_buffer(data);
        data->backing = QImage();
        data->backingArea = QRect();
        data->reduced.Clear();
        Invalidate(view, view->Bounds());
        if (!data->parent && data->window)
            WindowBridge::ScreenChanged(data->window);
    }
    _FitBacking(view);
    for (BView* child : view->fData->children)
        RefreshBacking(child);
}

void ViewBridge::SetSharing(bool on)
{
    sSharing = on;
}

void ViewBridge::ChildrenChanged(BView* view)
{
    _FitBacking(view);
}

QImage* ViewBridge::Pixels(BView* view)
{
    ViewData* data = view->fData;
    if (data->shared && data->widget) {
        // The platform may have replaced its buffer since the store was made:
        // then the store is made again, and everything in it is drawn anew.
        bool unsuitable = false;
        QImage* buffer = window_buffer(data->widget, &unsuitable);
        if (unsuitable)
            _FitBacking(view);
        else if (!holds_store(buffer, data))
            _FitShared(view);
    }
    return data->backing.isNull() ? nullptr : &data->backing;
}

void ViewBridge::_FitBacking(BView* view)
{
    ViewData* data = view->fData;
    if (data->widget && data->native) {
        _ClipNative(view);
        return;
    }
    if (!data->widget || !(data->flags & B_WILL_DRAW))
        return;
    // A view with children keeps pixels of its own: drawn straight into the
    // window's buffer, it would paint over theirs.
    bool shares = sSharing && platform_shares() && data->children.empty();
    if (shares) {
        bool unsuitable = false;
        window_buffer(data->widget, &unsuitable);
        shares = !unsuitable;
    }
    // A window that waits for long work cannot draw: when it changes size,
    // and the platform is about to replace its buffer, the view takes a copy
    // of what it shows there and keeps it until the work is done.
    bool waits = data->window && looper_waits(data->window);
    if (shares && waits && data->shared && !window_buffer(data->widget))
        _Unshare(view);
    if (shares && !(waits && !data->shared)) {
        _FitShared(view);
        return;
    }
    if (data->shared)
        _Unshare(view);
    QRect area = device_area(data->widget, data->ratio);
    QImage& backing = data->backing;
    QRect old = backing.isNull() ? QRect() : data->backingArea;
    if (area == old)
        return;
    if (area.isEmpty()) {
        // Nothing of the view can be seen: it needs no pixels.
        backing = QImage();
        data->backingArea = QRect();
        return;
    }

    // What stays in view keeps its pixels. A store that still holds the new
    // area, and is not much larger than it, keeps its memory and moves them
    // in place; otherwise a store of the new area's size takes them over.
    QRect kept = area & old;
    qint64 needed = (qint64)area.width() * area.height();
    qint64 held = (qint64)backing.width() * backing.height();
    bool fits = backing.width() >= area.width() && backing.height() >= area.height();
    if (fits && held <= 2 * needed + kSpareStorePixels) {
        if (!kept.isEmpty() && old.topLeft() != area.topLeft())
            move_pixels(backing, kept.translated(-old.topLeft()), kept.topLeft() - area.topLeft());
    } else {
        QImage fresh(area.size(), QImage::Format_RGB32);
        if (fresh.isNull()) {
            backing = QImage();
            data->backingArea = QRect();
            return;
        }
        if (!kept.isEmpty())
            copy_pixels(backing, kept.translated(-old.topLeft()), fresh,
                        kept.topLeft() - area.topLeft());
        backing = std::move(fresh);
    }
    data->backingArea = area;
    Expose(view, QRegion(area) - QRegion(kept));
}

void ViewBridge::_ClipNative(BView* view)
{
    // A control paints all of itself into the window's buffer, however far
    // it reaches off the screens: a scroll bar along a window stretched far
    // past them would touch a page of the buffer for each of its rows. A mask
    // keeps it to the part that can be seen (a control nowhere on a screen
    // keeps one pixel, as a mask of nothing is no mask).
    QWidget* native = view->fData->native;
    QRect area = visible_area(native);
    if (area == native->rect()) {
        if (!native->mask().isEmpty())
            native->clearMask();
        return;
    }
    QRegion mask = area.isEmpty() ? QRegion(0, 0, 1, 1) : QRegion(area);
    if (native->mask() != mask)
        native->setMask(mask);
}

void ViewBridge::_Unshare(BView* view)
{
    ViewData* data = view->fData;
    // The store still lies in the buffer it was made on, if the platform
    // holds that buffer still: then its pixels are copied out.
    QImage own;
    QPaintDevice* device =
        data->shared && data->widget ? platform_buffer(data->widget->window()) : nullptr;
    if (!data->backing.isNull() && device && device->devType() == QInternal::Image &&
        holds_store(static_cast<QImage*>(device), data)) {
        own = QImage(data->backing.size(), QImage::Format_RGB32);
        if (!own.isNull())
            copy_pixels(data->backing, data->backing.rect(), own, QPoint(0, 0));
    }
    forget_buffer(data);
    data->backing = std::move(own);
    if (data->backing.isNull())
        data->backingArea = QRect();
}

void ViewBridge::_FitShared(BView* view)
{
    ViewData* data = view->fData;
    QWidget* widget = data->widget;
    QImage* buffer = window_buffer(widget);
    QPoint offset = device_rect(widget, data->ratio).topLeft();
    QRect area;
    if (buffer)
        area = device_area(widget, data->ratio) & buffer->rect().translated(-offset);
    bool same = data->shared && !data->backing.isNull() && holds_store(buffer, data) &&
                offset == data->sharedOffset;
    QRect old = same ? data->backingArea : QRect();
    if (same && area == old)
        return;
    data->shared = true;
    data->backing = QImage();
    data->backingArea = QRect();
    data->sharedBits = nullptr;
    if (!same)
        data->unshown = QRegion();
    if (area.isEmpty())
        return;
    // The store is the view's part of the buffer: what is kept of it from
    // the same buffer at the same place holds what the view drew there.
    qsizetype stride = buffer->bytesPerLine();
    uchar* bits = const_cast<uchar*>(buffer->constBits()) +
                  (qsizetype)(offset.y() + area.top()) * stride +
                  (qsizetype)(offset.x() + area.left()) * 4;
    data->backing = QImage(bits, area.width(), area.height(), stride, QImage::Format_RGB32);
    data->backingArea = area;
    data->sharedBits = buffer->constBits();
    data->sharedSize = buffer->size();
    data->sharedStride = stride;
    data->sharedOffset = offset;
    Expose(view, QRegion(area) - QRegion(old & area));
}

void ViewBridge::Expose(BView* view, const QRegion& exposed)
{
    // What comes into view is cleared at once, so that the screen never shows
    // stale memory, and is drawn on the window's strand.
    ViewData* data = view->fData;
    uint32 clear = clear_value(data->viewColor);
    QRegion inStore = exposed & QRegion(data->backingArea);
    PixelMapping map = Mapping(view);
    for (const QRect& part : inStore) {
        fill_pixels(data->backing, part.translated(-data->backingArea.topLeft()), clear);
        Invalidate(view, map.ToView(part));
    }
}

void ViewBridge::_WatchWindow(BView* view, QWidget* window)
{
    QWidget* widget = view->fData->widget;
    window->installEventFilter(widget);
    // A screen that changes its size changes what can be seen of the window.
    auto refresh = [view]() { RefreshBacking(view); };
    auto watch = [widget, refresh](QScreen* screen) {
        QObject::connect(screen, &QScreen::geometryChanged, widget, refresh);
    };
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    QObject::connect(qApp, &QGuiApplication::screenAdded, widget, [watch, refresh](QScreen* s) {
        watch(s);
        refresh();
    });
    QObject::connect(qApp, &QGuiApplication::screenRemoved, widget, refresh);
}

void ViewBridge::Invalidate(BView* view, BRect rect)
{
    ViewData* data = view->fData;
    rect = rect & view->Bounds();
    if (!rect.IsValid())
        return;
    data->dirty = data->hasDirty ? (data->dirty | rect) : rect;
    data->hasDirty = true;
    if (data->window)
        WindowBridge::ScheduleUpdate(data->window);
}

void ViewBridge::SetWindow(BView* view, BWindow* window)
{
    ViewData* data = view->fData;
    if (data->window && data->window != window)
        data->window->RemoveHandler(view);
    data->window = window;
    if (window && view->Looper() != window)
        window->AddHandler(view);
    for (BView* child : data->children)
        SetWindow(child, window);
}

void ViewBridge::CallAttached(BView* view)
{
    view->AttachedToWindow();
    for (BView* child : view->fData->children)
        CallAttached(child);
    view->AllAttached();
    Invalidate(view, view->Bounds());
}

void ViewBridge::CallDetached(BView* view)
{
    view->DetachedFromWindow();
    for (BView* child : view->fData->children)
        CallDetached(child);
    view->AllDetached();
}

void ViewBridge::ParentResized(BView* view, float dw, float dh)
{
    ViewData* data = view->fData;
    uint32 mode = data->resizingMode;
    BRect frame = data->frame;
    auto follow = [](uint32 rule, float delta, uint32 far) -> float {
        if (rule == far)
            return delta;
        if (rule == _VIEW_CENTER_)
            return delta / 2;
        return 0;
    };
    float left = follow((mode >> 12) & 0xf, dw, _VIEW_RIGHT_);
    float right = follow((mode >> 4) & 0xf, dw, _VIEW_RIGHT_);
    float top = follow((mode >> 8) & 0xf, dh, _VIEW_BOTTOM_);
    float bottom = follow(mode & 0xf, dh, _VIEW_BOTTOM_);
    if (left == 0 && right == 0 && top == 0 && bottom == 0)
        return;
    if (left != 0 || top != 0)
        view->MoveTo(frame.left + left, frame.top + top);
    if (right - left != 0 || bottom - top != 0)
        view->ResizeTo(frame.Width() + right - left, frame.Height() + bottom - top);
}

void ViewBridge::RunUpdates(BView* view)
{
    ViewData* data = view->fData;
    if (data->hasDirty && Pixels(view)) {
        BRect dirty = data->dirty & view->Bounds();
        data->hasDirty = false;
        // Only what can be seen is drawn; the rest is drawn when it comes into view.
        PixelMapping map = Mapping(view);
        QRect inWidget = dirty.IsValid() ? map.ToDevice(dirty) & data->backingArea : QRect();
        if (!inWidget.isEmpty()) {
            rgb_color color = data->viewColor;
            if (color != B_TRANSPARENT_32_BIT) {
                fill_pixels(data->backing, inWidget.translated(-data->backingArea.topLeft()),
                            pixel_value(color));
            }
            if (data->flags & B_WILL_DRAW)
                view->Draw(map.ToView(inWidget));
            Show(view, inWidget);
        }
    } else if (data->hasDirty) {
        data->hasDirty = false;
    }
    for (BView* child : data->children)
        RunUpdates(child);
}

void ViewBridge::UpdateNow(BView* view)
{
    ViewData* data = view->fData;
    BWindow* window = data->window;
    if (!data->hasDirty || !window)
        return;
    // Only between messages: a window busy with one (waiting for long work,
    // say) draws when it is done, as it would for any update.
    LooperState& state = LooperPrivate::State(window);
    if (!state.running || state.dispatching || !LooperPrivate::TryLock(window))
        return;
    RunUpdates(view);
    LooperPrivate::Unlock(window);
}

void ViewBridge::RunPulse(BView* view)
{
    ViewData* data = view->fData;
    if (data->hidden)
        return;
    if (data->flags & B_PULSE_NEEDED)
        view->Pulse();
    for (size_t i = 0; i < data->children.size(); i++)
        RunPulse(data->children[i]);
}

BView* ViewBridge::FindView(BView* view, const char* name)
{
    if (view->Name() && name && strcmp(view->Name(), name) == 0)
        return view;
    return view->FindView(name);
}

ViewWidget::ViewWidget(BView* view, QWidget* parent) : QWidget(parent), fView(view)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    fChordTimer.setSingleShot(true);
    fChordTimer.setInterval(kChordInterval);
    QObject::connect(&fChordTimer, &QTimer::timeout, this, [this] { _FlushPress(); });
}

ViewWidget::~ViewWidget()
{
    delete fPendingPress;
    delete fPendingMove;
}

void ViewWidget::dragEnterEvent(QDragEnterEvent* event)
{
    if (DragBridge::CanAccept(event->mimeData()))
        event->acceptProposedAction();
}

void ViewWidget::dragMoveEvent(QDragMoveEvent* event)
{
    if (DragBridge::CanAccept(event->mimeData()))
        event->acceptProposedAction();
}

void ViewWidget::dropEvent(QDropEvent* event)
{
    DragBridge::Drop(fView, event);
}

void ViewWidget::paintEvent(QPaintEvent* event)
{
    ViewData* data = ViewBridge::Data(fView);
    // Checked first: the store may have to be made again, or leave the
    // window's buffer for pixels of its own.
    QImage* pixels = ViewBridge::Pixels(fView);
    if (data->shared) {
        QPaintDevice* device = redirected(nullptr);
        if (pixels && device && device->devType() == QInternal::Image &&
            static_cast<QImage*>(device)->constBits() == data->sharedBits) {
            // The platform paints the window's buffer, where the view draws
            // itself: what it drew and asked to show is there already. Any
            // other part the platform painted over, or lost with an older
            // buffer, and the view draws it again, at once if it can.
            QRegion lost = event->region() - data->unshown;
            data->unshown -= event->region();
            if (!lost.isEmpty()) {
                ViewBridge::Expose(fView, to_device(this, lost, data->ratio));
                ViewBridge::UpdateNow(fView);
            }
            return;
        }
        // Painted anywhere else (a grab), it is copied from the buffer below.
    }
    // Only what can be seen is painted. The window's own buffer is as large as
    // the window, however far it reaches off the screens; pixels of it that
    // are never painted take no memory.
    QPainter painter(this);
    if (!data->backing.isNull()) {
        // The store's device pixels go to the device pixels they belong on.
        const QRect& area = data->backingArea;
        double ratio = data->ratio;
        QPointF corner = device_rect(this, ratio).topLeft();
        QPointF offset = window_offset(this);
        for (const QRect& part : to_device(this, event->region(), ratio)) {
            QRect shown = part & area;
            if (shown.isEmpty())
                continue;
            QRectF target((shown.x() + corner.x()) / ratio - offset.x(),
                          (shown.y() + corner.y()) / ratio - offset.y(), shown.width() / ratio,
                          shown.height() / ratio);
            painter.drawImage(target, data->backing, shown.translated(-area.topLeft()));
        }
    } else if (!data->native) {
        rgb_color color = data->viewColor;
        QRect shown = event->rect() & visible_area(this);
        if (color != B_TRANSPARENT_32_BIT && !shown.isEmpty())
            painter.fillRect(shown, QColor(color.red, color.green, color.blue));
    }
}

bool ViewWidget::event(QEvent* event)
{
    // A view's pixels are its own drawing, whatever the palette: a window
    // that becomes active or inactive does not paint it again.
    if ((event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate) &&
        ViewBridge::Data(fView)->shared)
        return true;
    return QWidget::event(event);
}

bool ViewWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window()) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::ScreenChangeInternal:
            ViewBridge::RefreshBacking(fView);
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ViewWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
}

BMessage* ViewWidget::_MouseMessage(uint32 what, QMouseEvent* event)
{
    // The device pixel under the pointer decides which unit of the view it is on.
    BPoint where = ViewBridge::UnitAt(fView, event->scenePosition());
    BPoint screen = fView->ConvertToScreen(where);

    BMessage* message = new BMessage(what);
    message->AddInt64("when", system_time());
    message->AddPoint("where", where);
    message->AddPoint("be:view_where", where);
    message->AddPoint("screen_where", screen);
    message->AddInt32("buttons", (int32)convert_buttons(event->buttons()));
    message->AddInt32("modifiers", (int32)convert_modifiers(event->modifiers()));
    if (what == B_MOUSE_DOWN)
        message->AddInt32("clicks", event->type() == QEvent::MouseButtonDblClick ? 2 : 1);
    if (what == B_MOUSE_MOVED) {
        bool inside = rect().contains(event->position().toPoint());
        message->AddInt32("be:transit", inside ? B_INSIDE_VIEW : B_OUTSIDE_VIEW);
    }
    return message;
}

void ViewWidget::_Post(BMessage* message)
{
    BWindow* window = fView->Window();
    if (!window) {
        delete message;
        return;
    }
    if (message->what == B_MOUSE_MOVED)
        BPrivate::LooperPrivate::EnqueueCoalesced(window, message, fView->Token());
    else
        BPrivate::LooperPrivate::Enqueue(window, message, fView->Token(), false);
}

void ViewWidget::_FlushPress()
{
    fChordTimer.stop();
    if (!fPendingPress)
        return;
    _Post(fPendingPress);
    fPendingPress = nullptr;
    if (fPendingMove) {
        _Post(fPendingMove);
        fPendingMove = nullptr;
    }
}

void ViewWidget::mousePressEvent(QMouseEvent* event)
{
    PointerState::Update(event->globalPosition(), event->buttons());
    uint32 held = convert_buttons(event->buttons());
    if (fPendingPress) {
        // Pressed together with the first button: one chord.
        fPendingPress->ReplaceInt32("buttons", (int32)held);
        if (fPendingMove)
            fPendingMove->ReplaceInt32("buttons", (int32)held);
        return;
    }
    if ((held & ~convert_buttons(event->button())) != 0) {
        // Another button joins a gesture already under way.
        _Post(_MouseMessage(B_MOUSE_MOVED, event));
        return;
    }
    fPendingPress = _MouseMessage(B_MOUSE_DOWN, event);
    fChordTimer.start();
}

void ViewWidget::mouseReleaseEvent(QMouseEvent* event)
{
    PointerState::Update(event->globalPosition(), event->buttons());
    _FlushPress();
    // The gesture ends with its last button.
    _Post(_MouseMessage(event->buttons() == Qt::NoButton ? B_MOUSE_UP : B_MOUSE_MOVED, event));
}

void ViewWidget::mouseMoveEvent(QMouseEvent* event)
{
    PointerState::Update(event->globalPosition(), event->buttons());
    BMessage* message = _MouseMessage(B_MOUSE_MOVED, event);
    if (fPendingPress) {
        // Held back with the press, so that a chord's buttons arrive first.
        delete fPendingMove;
        fPendingMove = message;
        return;
    }
    _Post(message);
}

void ViewWidget::keyPressEvent(QKeyEvent* event)
{
    if (BMessage* message = key_message(B_KEY_DOWN, event))
        _Post(message);
    event->accept();
}

void ViewWidget::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat())
        return;
    if (BMessage* message = key_message(B_KEY_UP, event))
        _Post(message);
    event->accept();
}

void ViewWidget::wheelEvent(QWheelEvent* event)
{
    event->accept();
    BWindow* window = fView->Window();
    if (!window)
        return;
    // One notch is 120 units of the platform's angle and one unit of the
    // kit's delta; a positive delta scrolls down or to the right.
    QPoint angle = event->angleDelta();
    BMessage* message = new BMessage(B_MOUSE_WHEEL_CHANGED);
    message->AddInt64("when", system_time());
    message->AddFloat("be:wheel_delta_x", -angle.x() / 120.0f);
    message->AddFloat("be:wheel_delta_y", -angle.y() / 120.0f);
    message->AddInt32("modifiers", (int32)convert_modifiers(event->modifiers()));
    BPrivate::LooperPrivate::Enqueue(window, message, fView->Token(), false);
}

} // namespace BPrivate

uint32 modifiers()
{
    // While a mouse message is handled, the keys held when it happened; that
    // is what a quick click meant, whatever the keyboard does by now.
    if (BLooper* looper = BPrivate::LooperPrivate::Current()) {
        BMessage* current = looper->CurrentMessage();
        int32 keys;
        if (current &&
            (current->what == B_MOUSE_DOWN || current->what == B_MOUSE_MOVED ||
             current->what == B_MOUSE_UP || current->what == B_MOUSE_WHEEL_CHANGED) &&
            current->FindInt32("modifiers", &keys) == B_OK)
            return (uint32)keys;
    }
    return BPrivate::convert_modifiers(QGuiApplication::queryKeyboardModifiers());
}
