#ifndef _VIEW_PRIVATE_H
#define _VIEW_PRIVATE_H

#include <Font.h>
#include <View.h>

#include "BitmapScaling.h"
#include "PixelMapping.h"

#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

class QPainter;

class QKeyEvent;

namespace BPrivate {

// Where a view's drawing calls land: the view's backing store in its window,
// the pixels of a bitmap it is attached to, or a printer.
struct DrawTarget
{
    QImage* image = nullptr;
    QPainter* painter = nullptr;
    // View units become device pixels of the view's area through map; device
    // pixel (x, y) of the area is pixel (x + dx, y + dy) of image.
    PixelMapping map;
    int dx = 0;
    int dy = 0;
    // The view's visible area on the image.
    QRect clip;
    // Patterns repeat every 8 of these device pixels: one for a view that
    // counts device pixels, so that its frames are one device pixel fine;
    // the view's unit otherwise.
    double patternUnit = 1;
    // The view counts device pixels (it has a pixel scale).
    bool devicePixels = false;
};

struct ViewData
{
    BRect frame;
    BPoint origin;
    // Device pixels per unit of the view's own coordinates, or 0 when it
    // counts its parent's units (BView::SetPixelScale).
    float pixelScale = 0;
    // Device pixels per logical unit of the window the view stands in, as
    // of the last look at its screen.
    double ratio = 1;
    uint32 resizingMode = 0;
    uint32 flags = 0;

    BView* parent = nullptr;
    BWindow* window = nullptr;
    BBitmap* bitmapHost = nullptr;
    std::vector<BView*> children;

    rgb_color viewColor = {255, 255, 255, 255};
    rgb_color highColor = {0, 0, 0, 255};
    rgb_color lowColor = {255, 255, 255, 255};
    drawing_mode drawingMode = B_OP_COPY;
    float penSize = 1;
    BPoint penLocation;
    BFont font;
    bool hidden = false;

    // The platform widget while the view is in a window. The backing store
    // holds what the view drew on the part of the widget that can be seen
    // (backingArea, in the widget's own device pixels): the widget clipped by its
    // parents, its window and the screens. Its pixel (0, 0) is the area's
    // top-left corner; the image may be larger than the area, so that a store
    // that shrinks keeps its memory instead of copying.
    QPointer<QWidget> widget;
    QImage backing;
    QRect backingArea;
    // A view without children in a window whose platform buffer is plain
    // 32-bit memory keeps no pixels of its own: its backing store is a window
    // onto that buffer, at the widget's place in it. The platform replaces the
    // buffer when the window changes size; the memory, size and row length
    // recorded here tell when that has happened, and the store is made again
    // before anything touches it (ViewBridge::Pixels).
    bool shared = false;
    const uchar* sharedBits = nullptr;
    QSize sharedSize;
    qsizetype sharedStride = 0;
    QPoint sharedOffset;
    // What the view drew into the shared buffer and asked the platform to
    // show, in the widget's logical units, as the platform's paint events
    // count. Whatever else of the view the platform paints, it painted over
    // or never had: the view draws that again.
    QRegion unshown;
    // A reduced copy of the last bitmap drawn below one device pixel a pixel,
    // kept while the same bitmap is drawn at the same scale and unchanged.
    ReducedCache reduced;
    // Subclasses built on a Qt control put it inside the view's widget.
    std::function<QWidget*(QWidget* parent)> makeNative;
    QPointer<QWidget> native;

    uint32 eventMask = 0;
    uint32 eventOptions = 0;
    BScrollBar* horizontalBar = nullptr;
    BScrollBar* verticalBar = nullptr;

    // Printing: the job points drawing at its painter.
    QPainter* printPainter = nullptr;
    BRect printSource;

    BRect dirty;
    bool hasDirty = false;
};

// The kit's private access to views and windows, for the Qt glue.
class ViewBridge
{
public:
    static ViewData* Data(BView* view) { return view->fData; }
    static QWidget* Widget(BView* view) { return view->fData->widget; }
    static bool MakeTarget(BView* view, DrawTarget* target);
    static void Touched(BView* view, const QRect& imageRect);
    // Asks the platform to show what the view drew in part of its widget
    // (device pixels).
    static void Show(BView* view, const QRect& deviceRect);

    // Device pixels per unit of the view's coordinates.
    static double UnitScale(BView* view);
    // The view's units on its device pixels, as of now.
    static PixelMapping Mapping(BView* view);
    // The view's size in device pixels.
    static QSize DeviceSize(BView* view);
    // The unit of the view under a point of its window (logical units, as
    // the platform reports the pointer): the one its device pixel shows.
    static BPoint UnitAt(BView* view, QPointF inWindow);
    // Looks again at the screen the view's window stands on: true when its
    // device pixel ratio changed.
    static bool UpdateRatio(BView* view);

    // Builds the widgets of a view subtree inside parent.
    static void Realize(BView* view, QWidget* parent);
    static void Unrealize(BView* view);
    static void SyncGeometry(BView* view);
    static void ResizeBacking(BView* view, BRect oldBounds);
    // The view's backing store, checked against the window's buffer when it
    // shares that: null when the view has no pixels now.
    static QImage* Pixels(BView* view);
    // Children came or went: a view with children keeps pixels of its own.
    static void ChildrenChanged(BView* view);
    // Whether views may share their window's buffer (on by default where the
    // platform allows it); tests of the stores of the views' own turn it off.
    static void SetSharing(bool on);
    static bool Shares(BView* view) { return view->fData->shared; }
    // Fits the backing stores of a view subtree to what can be seen now.
    static void RefreshBacking(BView* view);
    // The backing store's place in the widget and its memory, for tests.
    static QRect BackingArea(BView* view) { return view->fData->backingArea; }
    static qsizetype BackingBytes(BView* view) { return view->fData->backing.sizeInBytes(); }
    static void Invalidate(BView* view, BRect rect);
    static void SetWindow(BView* view, BWindow* window);
    static void ParentResized(BView* view, float dw, float dh);
    static void CallAttached(BView* view);
    static void CallDetached(BView* view);
    static void RunUpdates(BView* view);
    // Clears what came into view, in the widget's device pixels, and asks
    // for it to be drawn.
    static void Expose(BView* view, const QRegion& exposed);
    // Draws what the view has waiting now, if its window's strand is free.
    static void UpdateNow(BView* view);
    static void RunPulse(BView* view);
    static BView* FindView(BView* view, const char* name);

private:
    static void _FitBacking(BView* view);
    static void _FitShared(BView* view);
    // Keeps a view's platform control to what can be seen of it.
    static void _ClipNative(BView* view);
    // Gives the view pixels of its own, with what it shows, if it can.
    static void _Unshare(BView* view);
    static void _WatchWindow(BView* view, QWidget* window);
};

// Moves a rectangle of pixels to another place in the same image; the two may overlap.
void move_pixels(QImage& image, QRect source, QPoint target);

// The widget behind a view: paints the backing store, turns mouse input into messages.
//
// A gesture is one B_MOUSE_DOWN and one B_MOUSE_UP, as on BeOS: a button
// pressed or released while another is held is a B_MOUSE_MOVED whose
// "buttons" say what is held now. X reports buttons one at a time, so a
// first press waits up to kChordInterval for buttons pressed with it; they
// arrive as one B_MOUSE_DOWN, as from a mouse that reports them together.
class ViewWidget : public QWidget
{
public:
    ViewWidget(BView* view, QWidget* parent);
    ~ViewWidget() override;

    BView* View() const { return fView; }

    static const int kChordInterval = 50;

protected:
    // Watches the window: moves, resizes and screens change what can be seen.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    BMessage* _MouseMessage(uint32 what, QMouseEvent* event);
    void _Post(BMessage* message);
    void _FlushPress();

    BView* fView;
    // A first press waiting for its partners, and the latest motion meanwhile.
    BMessage* fPendingPress = nullptr;
    BMessage* fPendingMove = nullptr;
    QTimer fChordTimer;
};

// Tracked from input events: the pointer and its buttons as last seen.
struct PointerState
{
    static void Update(const QPointF& global, Qt::MouseButtons buttons);
    static BPoint Position();
    static uint32 Buttons();
};

uint32 convert_buttons(Qt::MouseButtons buttons);
uint32 convert_modifiers(Qt::KeyboardModifiers modifiers);
// A key event as the B_KEY_DOWN or B_KEY_UP message that BeOS sends: "bytes"
// (the UTF-8 character, or B_LEFT_ARROW, B_FUNCTION_KEY, ...), "byte",
// "raw_char", "key" (the BeOS keyboard's code for the keys that are no
// character; B_F1_KEY ... for function keys; 0 for others) and "modifiers".
// Null for a modifier key alone.
BMessage* key_message(uint32 what, const QKeyEvent* event);
QColor to_qcolor(rgb_color color);
QFont to_qfont(const BFont& font);
QRect to_qrect(BRect rect);

} // namespace BPrivate

#endif
