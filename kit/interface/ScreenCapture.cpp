// The private screen copy. On X11 it first makes sure that the windows this
// program has just hidden are really off the screen: the unmap must have
// reached the server, a window manager must have taken its frame away too,
// and whoever was underneath must have had a moment to repaint.
//
// Where no program may read the screen (a Wayland session, where XWayland's
// root window holds only the X programs' windows), the picture comes from
// the desktop portal instead, once the compositor has taken our windows away.

#include <Bitmap.h>
#include <ColorProfiles.h>
#include <PixelSize.h>
#include <Screen.h>

#include "DesktopPicture.h"
#include "PixelMapping.h"
#include "qt/Portal.h"
#include "qt/Wayland.h"
#include "qt/X11.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <QtGui/qpa/qplatformscreen.h>

#include <wayland-client.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using BPrivate::x11_connection;

namespace {

using Clock = std::chrono::steady_clock;

// How long a window manager may take to withdraw a frame, at most.
const auto kFrameLimit = std::chrono::milliseconds(500);
// Other programs' windows that were under ours repaint on an Expose event;
// the server cannot tell when they are done, so they get this long.
const auto kRepaintGrace = std::chrono::milliseconds(40);
// A compositing manager shows a change on its next frames.
const int kCompositorFrames = 3;

template <typename T>
struct Reply
{
    explicit Reply(T* reply) : p(reply) {}
    ~Reply() { free(p); }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
    T* p;
};

void round_trip(xcb_connection_t* c)
{
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

// The ancestor of window just below the root: a window manager's frame, or
// the window itself when nobody reparented it.
xcb_window_t top_level(xcb_connection_t* c, xcb_window_t window, xcb_window_t* root)
{
    for (int depth = 0; depth < 16; depth++) {
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        if (!tree)
            return window;
        *root = tree->root;
        if (tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE)
            return window;
        window = tree->parent;
    }
    return window;
}

bool viewable(xcb_connection_t* c, xcb_window_t window)
{
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

// Whether a viewable window of another program overlaps one of areas.
bool others_under(xcb_connection_t* c, xcb_window_t root, const std::vector<xcb_window_t>& ours,
                  const std::vector<QRect>& areas)
{
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
    if (!tree)
        return false;
    const xcb_window_t* children = xcb_query_tree_children(tree.p);
    int count = xcb_query_tree_children_length(tree.p);
    std::vector<xcb_get_window_attributes_cookie_t> attributes;
    std::vector<xcb_get_geometry_cookie_t> geometries;
    for (int i = 0; i < count; i++) {
        attributes.push_back(xcb_get_window_attributes(c, children[i]));
        geometries.push_back(xcb_get_geometry(c, children[i]));
    }
    bool found = false;
    for (int i = 0; i < count; i++) {
        Reply<xcb_get_window_attributes_reply_t> a(
            xcb_get_window_attributes_reply(c, attributes[i], nullptr));
        Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, geometries[i], nullptr));
        if (found || !a || !g || a->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        if (std::find(ours.begin(), ours.end(), children[i]) != ours.end())
            continue;
        QRect rect(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
        for (const QRect& area : areas)
            found = found || rect.intersects(area);
    }
    return found;
}

bool compositing(xcb_connection_t* c, xcb_window_t root)
{
    int number = 0;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it)) {
        if (it.data->root == root)
            break;
        number++;
    }
    std::string name = "_NET_WM_CM_S" + std::to_string(number);
    Reply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, name.size(), name.c_str()), nullptr));
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return false;
    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr));
    return owner && owner->owner != XCB_WINDOW_NONE;
}

// XWayland's root window is not the screen: it holds only X programs' windows.
// Recent servers announce themselves with an extension; older ones (before
// 23.1) only by the names of their monitors, XWAYLAND0 and on.
bool xwayland(xcb_connection_t* c)
{
    const char name[] = "XWAYLAND";
    Reply<xcb_query_extension_reply_t> extension(
        xcb_query_extension_reply(c, xcb_query_extension(c, strlen(name), name), nullptr));
    if (extension && extension->present)
        return true;
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen->name().startsWith(QLatin1String(name)))
            return true;
    }
    return false;
}

// A compositor shows a change on one of its next frames.
void compositor_frames(QScreen* screen)
{
    double rate = screen->refreshRate() > 1 ? screen->refreshRate() : 60;
    std::this_thread::sleep_for(
        std::chrono::microseconds((int64_t)(kCompositorFrames * 1e6 / rate)));
}

void wait_until_hidden_windows_left(xcb_connection_t* c, QScreen* screen)
{
    std::vector<xcb_window_t> ids;
    std::vector<QRect> areas;
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->isVisible() || !window->handle())
            continue;
        ids.push_back((xcb_window_t)window->winId());
        areas.push_back(window->frameGeometry());
    }
    // Once the server has answered, it has carried out every request made
    // before, the unmaps included, and painted the backgrounds they uncovered.
    xcb_flush(c);
    round_trip(c);
    if (ids.empty())
        return;

    xcb_window_t root = XCB_WINDOW_NONE;
    std::vector<xcb_window_t> ours = ids;
    auto deadline = Clock::now() + kFrameLimit;
    for (xcb_window_t id : ids) {
        xcb_window_t frame = top_level(c, id, &root);
        if (frame == id)
            continue;
        ours.push_back(frame);
        while (viewable(c, frame) && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (root == XCB_WINDOW_NONE)
        return;
    if (others_under(c, root, ours, areas))
        std::this_thread::sleep_for(kRepaintGrace);
    if (compositing(c, root))
        compositor_frames(screen);
}

void sync_done(void* data, wl_callback*, uint32_t)
{
    *static_cast<bool*>(data) = true;
}

const wl_callback_listener kSyncListener = {sync_done};

// Once the compositor has answered, it has carried out every request made
// before: the surfaces of the windows just hidden are gone, and its next
// frame, the one a screenshot waits for, is drawn without them. The answer
// is read on a queue of our own so that none of Qt's events run here.
void wait_for_compositor()
{
    wl_display* display = BPrivate::wayland_display();
    if (!display)
        return;
    wl_event_queue* queue = wl_display_create_queue(display);
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    wl_callback* callback = wl_display_sync(wrapper);
    wl_proxy_wrapper_destroy(wrapper);
    bool done = false;
    wl_callback_add_listener(callback, &kSyncListener, &done);
    while (!done && wl_display_dispatch_queue(display, queue) >= 0) {
    }
    wl_callback_destroy(callback);
    wl_event_queue_destroy(queue);
}

// The portal's picture covers the whole desktop, every monitor at its place,
// in device pixels where monitors are scaled: area's part of it.
// The visual of the root window, when its pixels are 32-bit words of
// 0xXXRRGGBB in this machine's byte order, as the bitmap's are.
bool root_pixels_are_words(xcb_connection_t* c, const xcb_screen_t* screen)
{
    const xcb_setup_t* setup = xcb_get_setup(c);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST || screen->root_depth < 24)
        return false;
    bool words = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == screen->root_depth)
            words = f.data->bits_per_pixel == 32 && f.data->scanline_pad == 32;
    }
    if (!words)
        return false;
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == screen->root_visual)
                return v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                       v.data->red_mask == 0xff0000 && v.data->green_mask == 0xff00 &&
                       v.data->blue_mask == 0xff;
        }
    }
    return false;
}

// Reads the area of the root window straight into the bitmap, a strip of
// rows at a time, so that no second copy of the screen is held on the way.
// B_NOT_SUPPORTED where the screen's pixels are not the bitmap's words (the
// caller takes another road), B_NOT_ALLOWED where the server lets no program
// read it, B_ERROR for an answer that is too short.
status_t read_root(xcb_connection_t* c, const QRect& area, uint8* bits, int32 bytesPerRow)
{
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen || !root_pixels_are_words(c, screen))
        return B_NOT_SUPPORTED;
    const int width = area.width();
    // Strips of about 4 MB; the next strip is asked for before this one is
    // copied.
    const int rows = std::max(1, (4 << 20) / (width * 4));
    auto ask = [&](int top) {
        return xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, area.x(), area.y() + top,
                             width, std::min(rows, area.height() - top), ~0u);
    };
    xcb_get_image_cookie_t cookie = ask(0);
    for (int top = 0; top < area.height(); top += rows) {
        const int count = std::min(rows, area.height() - top);
        xcb_generic_error_t* error = nullptr;
        Reply<xcb_get_image_reply_t> strip(xcb_get_image_reply(c, cookie, &error));
        if (top + count < area.height())
            cookie = ask(top + count);
        if (error || !strip) {
            free(error);
            // Throw away the answer to the strip already asked for.
            if (top + count < area.height())
                xcb_discard_reply(c, cookie.sequence);
            return B_NOT_ALLOWED;
        }
        if ((size_t)xcb_get_image_data_length(strip.p) < (size_t)width * 4 * count) {
            if (top + count < area.height())
                xcb_discard_reply(c, cookie.sequence);
            return B_ERROR;
        }
        const uint32* in = reinterpret_cast<const uint32*>(xcb_get_image_data(strip.p));
        for (int y = 0; y < count; y++) {
            uint32* out = reinterpret_cast<uint32*>(bits + (size_t)(top + y) * bytesPerRow);
            const uint32* row = in + (size_t)y * width;
            for (int x = 0; x < width; x++)
                out[x] = row[x] | 0xff000000u;
        }
    }
    return B_OK;
}

QRect part_of_desktop_size(QSize desktop, const QRect& area)
{
    QRect whole;
    for (QScreen* screen : QGuiApplication::screens())
        whole |= screen->geometry();
    if (whole.isEmpty())
        return QRect();
    double sx = desktop.width() / (double)whole.width();
    double sy = desktop.height() / (double)whole.height();
    return QRect((int)std::lround((area.x() - whole.x()) * sx),
                 (int)std::lround((area.y() - whole.y()) * sy), (int)std::lround(area.width() * sx),
                 (int)std::lround(area.height() * sy));
}

QImage part_of_desktop(const QImage& desktop, const QRect& area)
{
    QRect part = part_of_desktop_size(desktop.size(), area);
    if (part.isEmpty())
        return QImage();
    if (part == desktop.rect())
        return desktop;
    return desktop.copy(part);
}

// The monitor whose screen coordinates hold area, or null.
QScreen* screen_holding(const QRect& area)
{
    for (QScreen* candidate : QGuiApplication::screens()) {
        if (candidate->geometry().contains(area))
            return candidate;
    }
    return nullptr;
}

// The device pixels of a monitor that an area of its screen coordinates
// covers. Qt keeps each monitor's corner where the display server puts it
// and divides its size by the monitor's scale.
QRect device_area(QScreen* screen, const QRect& area)
{
    using BPrivate::PixelMapping;
    QRect logical = screen->geometry();
    double ratio = screen->devicePixelRatio();
    // Where Qt scales an X server's pixels itself, the platform's geometry
    // is the monitor's own, exact. Where the platform scales (Wayland), it
    // is the logical one, and only the size counts: there is no root to read.
    QRect whole = screen->handle() ? screen->handle()->geometry() : logical;
    if (whole.size() == logical.size())
        whole.setSize(PixelMapping::LogicalToDevice(QRect(QPoint(), logical.size()), ratio).size());
    QRect inside = area.translated(-logical.topLeft());
    return PixelMapping::LogicalToDevice(inside, ratio).translated(whole.topLeft()) & whole;
}

// A picture whose every pixel the compositor drew as a k by k block (a
// monitor of a lower scale beside one of a higher) back at one pixel each;
// any other size is reduced smoothly.
QImage fit_picture(const QImage& image, QSize size)
{
    if (image.size() == size)
        return image;
    int kx = image.width() / std::max(1, size.width());
    int ky = image.height() / std::max(1, size.height());
    if (kx >= 1 && kx == ky && image.width() == kx * size.width() &&
        image.height() == ky * size.height()) {
        QImage picked(size, QImage::Format_RGB32);
        if (picked.isNull())
            return picked;
        QImage source = image.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < size.height(); y++) {
            const uint32* in =
                reinterpret_cast<const uint32*>(source.constScanLine(y * ky + ky - 1));
            uint32* out = reinterpret_cast<uint32*>(picked.scanLine(y));
            for (int x = 0; x < size.width(); x++)
                out[x] = in[x * kx + kx - 1];
        }
        return picked;
    }
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

status_t portal_picture(const QRect& area, QImage* image)
{
    QImage desktop;
    status_t status = BPrivate::ScreenshotPortal::Take(&desktop);
    if (status != B_OK)
        return status;
    *image = part_of_desktop(desktop, area);
    return image->isNull() ? B_NO_MEMORY : B_OK;
}

} // namespace

status_t BScreen::GetDeviceSize(BRect frame, int32* width, int32* height)
{
    if (!qGuiApp || !frame.IsValid() || !width || !height)
        return B_BAD_VALUE;
    QRect area((int)std::floor(frame.left), (int)std::floor(frame.top), pixel_width(frame),
               pixel_height(frame));
    QScreen* screen = screen_holding(area);
    if (!screen)
        return B_BAD_VALUE;
    QRect device = device_area(screen, area);
    *width = device.width();
    *height = device.height();
    return device.isEmpty() ? B_BAD_VALUE : B_OK;
}

status_t BScreen::GetBitmap(BBitmap** bitmap, bool drawCursor, BRect* frame)
{
    if (!bitmap)
        return B_BAD_VALUE;
    *bitmap = nullptr;
    BRect area = frame ? *frame : Frame();
    int32 width, height;
    status_t status = GetDeviceSize(area, &width, &height);
    if (status != B_OK)
        return status;
    BBitmap* shot = new BBitmap(BRect(0, 0, width - 1, height - 1), B_RGB32);
    status = shot->InitCheck();
    if (status == B_OK)
        status = _get_screen_bitmap_(shot, area, drawCursor);
    if (status != B_OK) {
        delete shot;
        return status;
    }
    // The pixels are in the display's colours: a display with a profile of
    // its own tags the capture with it, so that it shows and saves right.
    BPrivate::PictureMetadata metadata;
    metadata.icc = BPrivate::display_profile();
    if (!metadata.icc.empty())
        shot->SetMetadata(metadata);
    *bitmap = shot;
    return B_OK;
}

status_t _get_screen_bitmap_(BBitmap* bitmap, BRect frame, bool drawCursor)
{
    if (!bitmap || bitmap->InitCheck() != B_OK || !frame.IsValid())
        return B_BAD_VALUE;
    if (drawCursor)
        return B_NOT_SUPPORTED;
    color_space space = bitmap->ColorSpace();
    if (space != B_RGB32 && space != B_RGBA32)
        return B_BAD_VALUE;
    if (!qGuiApp)
        return B_NO_INIT;
    int width = pixel_width(frame);
    int height = pixel_height(frame);
    QRect area((int)std::floor(frame.left), (int)std::floor(frame.top), width, height);
    QScreen* screen = screen_holding(area);
    if (!screen)
        return B_BAD_VALUE;
    // The bitmap takes the monitor's own pixels, or, the size of the frame
    // in screen units, the picture reduced to that.
    QRect device = device_area(screen, area);
    BRect bounds = bitmap->Bounds();
    QSize wanted(pixel_width(bounds), pixel_height(bounds));
    bool exact = wanted == device.size();
    if (!exact && wanted != area.size())
        return B_BAD_VALUE;

    BPrivate::OwnWindowsAway away;
    QImage image;
    status_t status = B_NOT_SUPPORTED;
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        wait_for_compositor();
        status = portal_picture(area, &image);
    } else if (xcb_connection_t* c = x11_connection(); c && xwayland(c)) {
        // The X programs' windows leave XWayland first, then the compositor's
        // screen on one of its next frames.
        wait_until_hidden_windows_left(c, screen);
        compositor_frames(screen);
        status = portal_picture(area, &image);
    } else {
        if (c)
            wait_until_hidden_windows_left(c, screen);
        // Straight from the server, which counts device pixels.
        if (c && exact &&
            read_root(c, device, static_cast<uint8*>(bitmap->Bits()), bitmap->BytesPerRow()) ==
                B_OK)
            return B_OK;
        // The offset is relative to the monitor's own corner.
        QPoint corner = area.topLeft() - screen->geometry().topLeft();
        QPixmap shot = screen->grabWindow(0, corner.x(), corner.y(), width, height);
        if (!shot.isNull()) {
            image = shot.toImage().convertToFormat(QImage::Format_RGB32);
            status = image.isNull() ? B_NO_MEMORY : B_OK;
        } else if (c) {
            // An X server that lets no program read it may still have a portal.
            status = portal_picture(area, &image);
        }
    }
    if (status != B_OK)
        return status;
    image = fit_picture(image, wanted);
    if (image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
    if (image.size() != wanted)
        return B_NO_MEMORY;

    uint8* bits = static_cast<uint8*>(bitmap->Bits());
    int32 bytesPerRow = bitmap->BytesPerRow();
    for (int y = 0; y < wanted.height(); y++) {
        const uint32* in = reinterpret_cast<const uint32*>(image.constScanLine(y));
        uint32* out = reinterpret_cast<uint32*>(bits + (size_t)y * bytesPerRow);
        for (int x = 0; x < wanted.width(); x++)
            out[x] = in[x] | 0xff000000u;
    }
    return B_OK;
}

namespace BPrivate {

OwnWindowsAway::OwnWindowsAway()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->isVisible() || widget->property("tavrin:own-overlay").toBool())
            continue;
        widget->hide();
        // A popup (a menu, a tooltip) closes for good when hidden.
        Qt::WindowType type = widget->windowType();
        if (type != Qt::Popup && type != Qt::ToolTip)
            fHidden.emplace_back(widget);
    }
}

OwnWindowsAway::~OwnWindowsAway()
{
    for (QPointer<QWidget>& widget : fHidden) {
        if (widget)
            widget->show();
    }
}

bool desktop_windows_known()
{
    xcb_connection_t* c = x11_connection();
    return c && QGuiApplication::platformName() != QLatin1String("wayland") && !xwayland(c);
}

bool portal_offers_window_choice()
{
    // GNOME's and KDE's portals let the user pick a window; the wlroots
    // portal and others take the whole screen whatever is asked.
    QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP").toUpper();
    return desktop.contains("GNOME") || desktop.contains("KDE");
}

status_t take_desktop(DesktopPicture* picture, bool interactive)
{
    if (!qGuiApp || !picture)
        return B_NO_INIT;
    OwnWindowsAway away;
    picture->screens = QGuiApplication::screens();
    picture->monitors.clear();
    picture->x11 = false;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (picture->screens.isEmpty() || !primary)
        return B_BAD_VALUE;

    xcb_connection_t* c = x11_connection();
    bool wayland = QGuiApplication::platformName() == QLatin1String("wayland");
    if (!wayland && c && !xwayland(c)) {
        wait_until_hidden_windows_left(c, primary);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        if (!screen)
            return B_ERROR;
        QRect root(0, 0, screen->width_in_pixels, screen->height_in_pixels);
        picture->image = QImage(root.size(), QImage::Format_RGB32);
        if (picture->image.isNull())
            return B_NO_MEMORY;
        status_t status =
            read_root(c, root, picture->image.bits(), (int32)picture->image.bytesPerLine());
        if (status != B_OK)
            return status;
        for (QScreen* s : picture->screens)
            picture->monitors.append(device_area(s, s->geometry()));
        picture->x11 = true;
        return B_OK;
    }

    if (wayland)
        wait_for_compositor();
    else if (c) {
        wait_until_hidden_windows_left(c, primary);
        compositor_frames(primary);
    }
    status_t status = ScreenshotPortal::Take(&picture->image, interactive);
    if (status != B_OK)
        return status;
    for (QScreen* s : picture->screens) {
        QRect part = interactive ? picture->image.rect()
                                 : part_of_desktop_size(picture->image.size(), s->geometry());
        picture->monitors.append(part & picture->image.rect());
    }
    return B_OK;
}

} // namespace BPrivate
