// The region and window pickers: the desktop, taken once, shown frozen on
// one full-screen window per monitor. Every position is in the picture's
// pixels (the X server's device pixels, or the portal's), so the picture
// cropped to the choice is exact at every scale.

#include <Bitmap.h>
#include <ScreenPicker.h>

#include "DesktopPicture.h"
#include "qt/X11Windows.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace BPrivate {

namespace {

// Pixels across the magnifier, and device pixels per magnified pixel.
const int kLoupePixels = 15;
const int kLoupeZoom = 8;
const QColor kDim(0, 0, 0, 120);
const QColor kMark(255, 255, 255, 160);
const QColor kEdge(40, 140, 255);

class Overlay;

// One pick: the frozen desktop, the choice so far, the nested loop.
class Picker
{
public:
    DesktopPicture desktop;
    screen_pick mode = B_PICK_REGION;
    bool frame = false;
    std::vector<TopWindow> windows;
    std::vector<Overlay*> overlays;

    // The selection, in the picture's pixels, on one monitor; empty: none.
    QRect selection;
    int selectionMonitor = -1;
    QPoint anchor;
    bool dragging = false;
    bool moved = false;
    // The pixel under the pointer, and its monitor (-1: not seen yet).
    QPoint pointer;
    int pointerMonitor = -1;
    // The highlighted window, an index into windows (-1: none).
    int hovered = -1;

    QEventLoop loop;
    QRect result;
    bool canceled = false;

    QRect Highlight() const
    {
        if (hovered < 0)
            return QRect();
        const TopWindow& window = windows[hovered];
        return (frame ? window.frame : window.client) & desktop.image.rect();
    }

    void Press(int monitor, QPoint at, Qt::MouseButton button);
    void Move(int monitor, QPoint at);
    void Release(int monitor, QPoint at, Qt::MouseButton button);
    void Key(QKeyEvent* event);
    void Finish(QRect rect)
    {
        result = rect;
        loop.quit();
    }
    void Cancel()
    {
        canceled = true;
        loop.quit();
    }
    void Update();

private:
    int _WindowAt(QPoint at) const
    {
        for (size_t i = 0; i < windows.size(); i++) {
            if (windows[i].frame.contains(at))
                return (int)i;
        }
        return -1;
    }
    QPoint _Clamp(int monitor, QPoint at) const
    {
        const QRect& area = desktop.monitors[monitor];
        return QPoint(std::clamp(at.x(), area.left(), area.right()),
                      std::clamp(at.y(), area.top(), area.bottom()));
    }
};

// A full-screen window showing one monitor's part of the frozen picture.
class Overlay : public QWidget
{
public:
    Overlay(Picker* picker, int monitor) : fPicker(picker), fMonitor(monitor)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setProperty("tavrin:own-overlay", true);
        setMouseTracking(true);
        setCursor(Qt::CrossCursor);
        setFocusPolicy(Qt::StrongFocus);
    }

    // The picture's pixels per logical unit of this window, across and down:
    // the device pixel ratio where the picture has the monitor's device
    // pixels (the window's logical size is rounded, the ratio is exact),
    // else what the portal's picture gives the monitor.
    QPointF Scale() const
    {
        const QRect& area = fPicker->desktop.monitors[fMonitor];
        double ratio = devicePixelRatioF();
        QPointF scale(area.width() / (double)std::max(1, width()),
                      area.height() / (double)std::max(1, height()));
        if (std::fabs(width() * ratio - area.width()) <= 1 &&
            std::fabs(height() * ratio - area.height()) <= 1)
            scale = QPointF(ratio, ratio);
        return scale;
    }

    // The picture's pixel under a point of this window.
    QPoint PixelAt(QPointF local) const
    {
        const QRect& area = fPicker->desktop.monitors[fMonitor];
        QPointF scale = Scale();
        // A pointer on a pixel's edge counts as on that pixel, whatever the
        // rounding of its logical position.
        int x = (int)std::floor(local.x() * scale.x() + 0.01);
        int y = (int)std::floor(local.y() * scale.y() + 0.01);
        return area.topLeft() +
               QPoint(std::clamp(x, 0, area.width() - 1), std::clamp(y, 0, area.height() - 1));
    }

protected:
    void paintEvent(QPaintEvent*) override;

    // Positions come in the window's own logical units (its scene), which
    // the platform divides from the device position without rounding.
    void mousePressEvent(QMouseEvent* event) override
    {
        int monitor = fMonitor;
        QPoint at = _Over(event->scenePosition(), &monitor);
        fPicker->Press(monitor, at, event->button());
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        int monitor = fMonitor;
        QPoint at = _Over(event->scenePosition(), &monitor);
        fPicker->Move(monitor, at);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        int monitor = fMonitor;
        QPoint at = _Over(event->scenePosition(), &monitor);
        fPicker->Release(monitor, at, event->button());
    }
    void keyPressEvent(QKeyEvent* event) override { fPicker->Key(event); }

private:
    // The monitor and pixel under a position of this window: during a drag
    // the pressed window gets the moves over the other monitors too.
    QPoint _Over(QPointF local, int* monitor) const
    {
        *monitor = fMonitor;
        if (rect().contains(local.toPoint()))
            return PixelAt(local);
        QPointF global = local + QPointF(geometry().topLeft());
        for (Overlay* overlay : fPicker->overlays) {
            if (overlay != this && overlay->geometry().contains(global.toPoint())) {
                *monitor = overlay->fMonitor;
                return overlay->PixelAt(global - QPointF(overlay->geometry().topLeft()));
            }
        }
        return PixelAt(local);
    }

    Picker* fPicker;
    int fMonitor;
};

void Picker::Press(int monitor, QPoint at, Qt::MouseButton button)
{
    if (button == Qt::RightButton) {
        // The second button drops the gesture or the selection, or, with
        // neither, the pick.
        if (dragging || !selection.isEmpty()) {
            dragging = false;
            selection = QRect();
            Update();
        } else {
            Cancel();
        }
        return;
    }
    if (button != Qt::LeftButton)
        return;
    pointer = at;
    pointerMonitor = monitor;
    if (mode == B_PICK_WINDOW) {
        hovered = _WindowAt(at);
        if (!Highlight().isEmpty())
            Finish(Highlight());
        return;
    }
    dragging = true;
    moved = false;
    anchor = at;
    selectionMonitor = monitor;
    selection = QRect(at, at);
    Update();
}

void Picker::Move(int monitor, QPoint at)
{
    if (at == pointer && monitor == pointerMonitor)
        return;
    pointer = at;
    pointerMonitor = monitor;
    if (mode == B_PICK_WINDOW)
        hovered = _WindowAt(at);
    else if (dragging) {
        // The selection stays on the monitor it started on.
        QPoint end = _Clamp(selectionMonitor, at);
        selection = QRect(anchor, end).normalized();
        moved = moved || end != anchor;
    }
    Update();
}

void Picker::Release(int monitor, QPoint at, Qt::MouseButton button)
{
    if (button != Qt::LeftButton || !dragging)
        return;
    Move(monitor, at);
    dragging = false;
    // A click without a drag leaves one pixel chosen, for the keys to move
    // and size; a drag is taken as it is released.
    if (moved)
        Finish(selection);
}

void Picker::Key(QKeyEvent* event)
{
    int key = event->key();
    if (key == Qt::Key_Escape) {
        Cancel();
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (mode == B_PICK_WINDOW) {
            if (!Highlight().isEmpty())
                Finish(Highlight());
        } else if (!selection.isEmpty()) {
            Finish(selection);
        } else if (pointerMonitor >= 0) {
            Finish(desktop.monitors[pointerMonitor]);
        }
        return;
    }
    int dx = key == Qt::Key_Left ? -1 : key == Qt::Key_Right ? 1 : 0;
    int dy = key == Qt::Key_Up ? -1 : key == Qt::Key_Down ? 1 : 0;
    if (mode != B_PICK_REGION || (dx == 0 && dy == 0) || dragging)
        return;
    if (selection.isEmpty()) {
        if (pointerMonitor < 0)
            return;
        selectionMonitor = pointerMonitor;
        selection = QRect(pointer, pointer);
    }
    const QRect& area = desktop.monitors[selectionMonitor];
    if (event->modifiers() & Qt::ShiftModifier) {
        selection.setWidth(
            std::clamp(selection.width() + dx, 1, area.right() - selection.left() + 1));
        selection.setHeight(
            std::clamp(selection.height() + dy, 1, area.bottom() - selection.top() + 1));
    } else {
        QPoint corner = selection.topLeft() + QPoint(dx, dy);
        corner.setX(std::clamp(corner.x(), area.left(), area.right() - selection.width() + 1));
        corner.setY(std::clamp(corner.y(), area.top(), area.bottom() - selection.height() + 1));
        selection.moveTopLeft(corner);
    }
    Update();
}

void Picker::Update()
{
    for (Overlay* overlay : overlays)
        overlay->update();
}

void Overlay::paintEvent(QPaintEvent*)
{
    const QRect& area = fPicker->desktop.monitors[fMonitor];
    QPainter painter(this);
    // Everything but the text is drawn in the picture's pixels, which are
    // the monitor's device pixels: one for one.
    double ratio = devicePixelRatioF();
    // Device pixels per picture pixel: 1 where the picture is the monitor's.
    double sx = ratio / Scale().x();
    double sy = ratio / Scale().y();
    painter.save();
    painter.scale(sx / ratio, sy / ratio);
    painter.translate(-area.topLeft());
    painter.drawImage(area.topLeft(), fPicker->desktop.image, area);

    QRect chosen = fPicker->mode == B_PICK_WINDOW ? fPicker->Highlight() : fPicker->selection;
    if (fPicker->mode == B_PICK_REGION && fPicker->selectionMonitor != fMonitor)
        chosen = QRect();
    chosen &= area;
    QRegion dimmed = QRegion(area).subtracted(QRegion(chosen));
    for (const QRect& part : dimmed)
        painter.fillRect(part, kDim);
    if (!chosen.isEmpty()) {
        // Around the chosen pixels, not on them: thicker round a window,
        // which is found by eye across the screen.
        double edge = fPicker->mode == B_PICK_WINDOW ? 3 : 1;
        painter.setPen(QPen(kEdge, edge));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(chosen).adjusted(-edge / 2, -edge / 2, edge / 2, edge / 2));
    }

    bool here = fPicker->pointerMonitor == fMonitor;
    QPoint at = fPicker->pointer;
    QRect loupe;
    if (here) {
        // The crosshair, through the pixel under the pointer.
        painter.fillRect(QRect(area.left(), at.y(), area.width(), 1), kMark);
        painter.fillRect(QRect(at.x(), area.top(), 1, area.height()), kMark);
        // The magnifier, beside the pointer and inside the monitor.
        int side = kLoupePixels * kLoupeZoom;
        QPoint corner = at + QPoint(24, 24);
        if (corner.x() + side > area.right())
            corner.setX(at.x() - 24 - side);
        if (corner.y() + side + 40 > area.bottom())
            corner.setY(at.y() - 24 - side);
        loupe = QRect(corner, QSize(side, side));
        QRect source(at - QPoint(kLoupePixels / 2, kLoupePixels / 2),
                     QSize(kLoupePixels, kLoupePixels));
        painter.fillRect(loupe, Qt::black);
        QRect inside = source & fPicker->desktop.image.rect();
        QRect target(loupe.topLeft() + (inside.topLeft() - source.topLeft()) * kLoupeZoom,
                     inside.size() * kLoupeZoom);
        painter.drawImage(target, fPicker->desktop.image, inside);
        QRect centre(loupe.topLeft() + QPoint(kLoupePixels / 2, kLoupePixels / 2) * kLoupeZoom,
                     QSize(kLoupeZoom, kLoupeZoom));
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(QRectF(centre).adjusted(-0.5, -0.5, 0.5, 0.5));
        painter.setPen(QPen(kEdge, 1));
        painter.drawRect(QRectF(loupe).adjusted(-0.5, -0.5, 0.5, 0.5));
    }
    painter.restore();

    if (!here)
        return;
    // The size beside the pointer, and under the magnifier where the
    // pointer is, in the monitor's pixels.
    auto logical = [&](QPoint p) {
        return QPointF((p.x() - area.left()) * sx, (p.y() - area.top()) * sy) / ratio;
    };
    QString size;
    if (fPicker->mode == B_PICK_REGION && !fPicker->selection.isEmpty())
        size = QString("%1 × %2").arg(fPicker->selection.width()).arg(fPicker->selection.height());
    else if (fPicker->mode == B_PICK_WINDOW && !fPicker->Highlight().isEmpty())
        size =
            QString("%1 × %2").arg(fPicker->Highlight().width()).arg(fPicker->Highlight().height());
    QString place = QString("%1, %2").arg(at.x() - area.left()).arg(at.y() - area.top());
    QFontMetrics metrics(font());
    auto label = [&](QPointF where, const QString& text) {
        QRectF box(where, QSizeF(metrics.horizontalAdvance(text) + 8, metrics.height() + 4));
        box.moveLeft(std::clamp(box.left(), 0.0, std::max(0.0, width() - box.width())));
        box.moveTop(std::clamp(box.top(), 0.0, std::max(0.0, height() - box.height())));
        painter.fillRect(box, QColor(0, 0, 0, 200));
        painter.setPen(Qt::white);
        painter.drawText(box, Qt::AlignCenter, text);
    };
    if (!size.isEmpty())
        label(logical(at) + QPointF(12, -metrics.height() - 12), size);
    label(logical(loupe.bottomLeft() + QPoint(0, 2)), place);
}

bool sPicking = false;

status_t crop(const QImage& image, QRect rect, BBitmap** bitmap)
{
    rect &= image.rect();
    if (rect.isEmpty())
        return B_BAD_VALUE;
    BBitmap* picture = new BBitmap(BRect(0, 0, rect.width() - 1, rect.height() - 1), B_RGB32);
    if (picture->InitCheck() != B_OK) {
        delete picture;
        return B_NO_MEMORY;
    }
    uint8* bits = static_cast<uint8*>(picture->Bits());
    for (int y = 0; y < rect.height(); y++) {
        const uint32* in =
            reinterpret_cast<const uint32*>(image.constScanLine(rect.top() + y)) + rect.left();
        uint32* out = reinterpret_cast<uint32*>(bits + (size_t)y * picture->BytesPerRow());
        for (int x = 0; x < rect.width(); x++)
            out[x] = in[x] | 0xff000000u;
    }
    *bitmap = picture;
    return B_OK;
}

// Shows the overlays, one per monitor, and waits for the choice.
void run_overlays(Picker& picker)
{
    bool wayland = QGuiApplication::platformName() == QLatin1String("wayland");
    for (int i = 0; i < (int)picker.desktop.screens.size(); i++) {
        Overlay* overlay = new Overlay(&picker, i);
        QScreen* screen = picker.desktop.screens[i];
        if (wayland) {
            overlay->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
            overlay->winId();
            overlay->windowHandle()->setScreen(screen);
            overlay->setGeometry(screen->geometry());
            overlay->showFullScreen();
        } else {
            // Past the window manager: exactly over the monitor, above all.
            overlay->setWindowFlags(Qt::Window | Qt::FramelessWindowHint |
                                    Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint);
            overlay->setGeometry(screen->geometry());
            overlay->show();
        }
        picker.overlays.push_back(overlay);
    }
    // The keys come to the overlay under the pointer; the others share its
    // choice.
    QPoint cursor = QCursor::pos();
    for (int i = 0; i < (int)picker.overlays.size(); i++) {
        Overlay* overlay = picker.overlays[i];
        if (!picker.desktop.screens[i]->geometry().contains(cursor) && i != 0)
            continue;
        overlay->activateWindow();
        overlay->setFocus();
        if (!wayland)
            overlay->grabKeyboard();
        QPointF local = overlay->mapFromGlobal(QPointF(cursor));
        if (overlay->rect().contains(local.toPoint())) {
            picker.pointerMonitor = i;
            picker.pointer = overlay->PixelAt(local);
        }
    }
    picker.loop.exec();
    for (Overlay* overlay : picker.overlays) {
        overlay->releaseKeyboard();
        overlay->hide();
        delete overlay;
    }
    picker.overlays.clear();
}

} // namespace

status_t pick_screen_area(screen_pick what, bool windowFrame, BBitmap** bitmap)
{
    if (!bitmap)
        return B_BAD_VALUE;
    *bitmap = nullptr;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return B_NO_INIT;
    if (sPicking)
        return B_BUSY;
    sPicking = true;
    Picker picker;
    picker.mode = what;
    picker.frame = windowFrame;

    // Our own windows stay away until the choice is made.
    OwnWindowsAway away;
    bool interactive = false;
    if (what == B_PICK_WINDOW && !desktop_windows_known()) {
        if (portal_offers_window_choice()) {
            interactive = true;
        } else {
            fprintf(stderr, "tavrin: this desktop does not let programs pick a window; "
                            "choose the window's region instead\n");
            picker.mode = B_PICK_REGION;
        }
    }
    status_t status = take_desktop(&picker.desktop, interactive);
    if (status == B_OK && picker.mode == B_PICK_WINDOW && !interactive) {
        xcb_window_t active;
        picker.windows = x11_windows(&active);
        for (size_t i = 0; i < picker.windows.size(); i++) {
            if (picker.windows[i].clientId == active)
                picker.hovered = (int)i;
        }
    }
    if (status == B_OK && interactive) {
        status = crop(picker.desktop.image, picker.desktop.image.rect(), bitmap);
    } else if (status == B_OK) {
        run_overlays(picker);
        status = picker.canceled ? B_CANCELED : crop(picker.desktop.image, picker.result, bitmap);
    }
    sPicking = false;
    return status;
}

} // namespace BPrivate
