#ifndef _VIEW_H
#define _VIEW_H

#include <Font.h>
#include <Handler.h>
#include <InterfaceDefs.h>

class BBitmap;
class BMessage;
class BScrollBar;
class BWindow;

namespace BPrivate {
struct ViewData;
class ViewBridge;
} // namespace BPrivate

// Resizing modes: which edges of its parent a view's edges follow.
#define _VIEW_TOP_ 1UL
#define _VIEW_LEFT_ 2UL
#define _VIEW_BOTTOM_ 3UL
#define _VIEW_RIGHT_ 4UL
#define _VIEW_CENTER_ 5UL
#define _rule_(l, t, r, b) (((l) << 12) | ((t) << 8) | ((r) << 4) | (b))

#define B_FOLLOW_NONE 0
#define B_FOLLOW_ALL_SIDES _rule_(_VIEW_LEFT_, _VIEW_TOP_, _VIEW_RIGHT_, _VIEW_BOTTOM_)
#define B_FOLLOW_ALL B_FOLLOW_ALL_SIDES
#define B_FOLLOW_LEFT _rule_(_VIEW_LEFT_, 0, _VIEW_LEFT_, 0)
#define B_FOLLOW_RIGHT _rule_(_VIEW_RIGHT_, 0, _VIEW_RIGHT_, 0)
#define B_FOLLOW_LEFT_RIGHT _rule_(_VIEW_LEFT_, 0, _VIEW_RIGHT_, 0)
#define B_FOLLOW_H_CENTER _rule_(_VIEW_CENTER_, 0, _VIEW_CENTER_, 0)
#define B_FOLLOW_TOP _rule_(0, _VIEW_TOP_, 0, _VIEW_TOP_)
#define B_FOLLOW_BOTTOM _rule_(0, _VIEW_BOTTOM_, 0, _VIEW_BOTTOM_)
#define B_FOLLOW_TOP_BOTTOM _rule_(0, _VIEW_TOP_, 0, _VIEW_BOTTOM_)
#define B_FOLLOW_V_CENTER _rule_(0, _VIEW_CENTER_, 0, _VIEW_CENTER_)

enum {
    B_FULL_UPDATE_ON_RESIZE = 0x80000000UL,
    _B_RESERVED1_ = 0x40000000UL,
    B_WILL_DRAW = 0x20000000UL,
    B_PULSE_NEEDED = 0x10000000UL,
    B_NAVIGABLE_JUMP = 0x08000000UL,
    B_FRAME_EVENTS = 0x04000000UL,
    B_NAVIGABLE = 0x02000000UL,
    B_SUBPIXEL_PRECISE = 0x01000000UL,
    B_DRAW_ON_CHILDREN = 0x00800000UL,
    B_INPUT_METHOD_AWARE = 0x00400000UL
};

// Event masks for SetMouseEventMask.
enum { B_POINTER_EVENTS = 0x00000001, B_KEYBOARD_EVENTS = 0x00000002 };

enum {
    B_LOCK_WINDOW_FOCUS = 0x00000001,
    B_SUSPEND_VIEW_FOCUS = 0x00000002,
    B_NO_POINTER_HISTORY = 0x00000004,
    B_FULL_POINTER_HISTORY = 0x00000008
};

// Transit codes of MouseMoved.
enum { B_ENTERED_VIEW = 0, B_INSIDE_VIEW, B_EXITED_VIEW, B_OUTSIDE_VIEW };

// A rectangle of a window (or of a bitmap that accepts views) that draws and
// takes mouse input. Drawing calls paint at once, inside Draw or not; the
// platform calls Draw for the areas it needs repainted.
class BView : public BHandler
{
public:
    BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
    virtual ~BView();

    virtual void AttachedToWindow();
    virtual void AllAttached();
    virtual void DetachedFromWindow();
    virtual void AllDetached();

    virtual void MessageReceived(BMessage* message);

    virtual void Draw(BRect updateRect);
    virtual void MouseDown(BPoint where);
    virtual void MouseUp(BPoint where);
    virtual void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage);
    virtual void KeyDown(const char* bytes, int32 numBytes);
    virtual void KeyUp(const char* bytes, int32 numBytes);
    virtual void Pulse();
    virtual void FrameMoved(BPoint newPosition);
    virtual void FrameResized(float newWidth, float newHeight);
    virtual void WindowActivated(bool active);
    virtual void MakeFocus(bool focus = true);

    void AddChild(BView* child, BView* before = nullptr);
    bool RemoveChild(BView* child);
    int32 CountChildren() const;
    BView* ChildAt(int32 index) const;
    BView* Parent() const;
    BView* FindView(const char* name) const;
    bool RemoveSelf();
    BWindow* Window() const;

    BRect Bounds() const;
    BRect Frame() const;
    void ConvertToScreen(BPoint* point) const;
    BPoint ConvertToScreen(BPoint point) const;
    void ConvertFromScreen(BPoint* point) const;
    BPoint ConvertFromScreen(BPoint point) const;
    void ConvertToScreen(BRect* rect) const;
    BRect ConvertToScreen(BRect rect) const;
    void ConvertFromScreen(BRect* rect) const;
    BRect ConvertFromScreen(BRect rect) const;
    void ConvertToParent(BPoint* point) const;
    BPoint ConvertToParent(BPoint point) const;
    void ConvertFromParent(BPoint* point) const;
    BPoint ConvertFromParent(BPoint point) const;
    void ConvertToParent(BRect* rect) const;
    BRect ConvertToParent(BRect rect) const;
    void ConvertFromParent(BRect* rect) const;
    BRect ConvertFromParent(BRect rect) const;

    void MoveBy(float dx, float dy);
    void MoveTo(BPoint where);
    void MoveTo(float x, float y);
    void ResizeBy(float dw, float dh);
    void ResizeTo(float width, float height);

    // The view's own units in the display's device pixels: with a pixel
    // scale s, one unit covers s by s device pixels whatever the desktop's
    // scale factor, so that at 1 a picture drawn unscaled is shown pixel for
    // pixel; above 1 pixels are drawn as squares, below it reduced. 0, the
    // default, keeps the parent's units (the desktop's logical pixels). The
    // view's frame stays in its parent's units; Bounds(), drawing, the mouse
    // and the conversions to and from its parent and the screen follow the
    // scale. A rectangle converted to the parent becomes the parent's pixels
    // that show the rectangle's pixels, so a window fitted to it shows all
    // of them.
    void SetPixelScale(float scale);
    float PixelScale() const;

    void ScrollBy(float dx, float dy);
    void ScrollTo(float x, float y);
    virtual void ScrollTo(BPoint where);
    BScrollBar* ScrollBar(orientation direction) const;

    uint32 Flags() const;
    void SetFlags(uint32 flags);
    uint32 ResizingMode() const;
    void SetResizingMode(uint32 mode);

    virtual void Hide();
    virtual void Show();
    bool IsHidden() const;
    bool IsHidden(const BView* looking) const;

    void Invalidate(BRect invalRect);
    void Invalidate();

    status_t SetMouseEventMask(uint32 mask, uint32 options = 0);
    // With checkMessageQueue, the state of the mouse message being handled;
    // without, the pointer as it is now.
    void GetMouse(BPoint* location, uint32* buttons, bool checkMessageQueue = true);

    virtual void SetViewColor(rgb_color color);
    void SetViewColor(uint8 r, uint8 g, uint8 b, uint8 a = 255);
    rgb_color ViewColor() const;
    virtual void SetHighColor(rgb_color color);
    void SetHighColor(uint8 r, uint8 g, uint8 b, uint8 a = 255);
    rgb_color HighColor() const;
    virtual void SetLowColor(rgb_color color);
    void SetLowColor(uint8 r, uint8 g, uint8 b, uint8 a = 255);
    rgb_color LowColor() const;
    virtual void SetDrawingMode(drawing_mode mode);
    drawing_mode DrawingMode() const;
    virtual void SetPenSize(float size);
    float PenSize() const;

    virtual void SetFont(const BFont* font, uint32 mask = B_FONT_ALL);
    void GetFont(BFont* font) const;
    void SetFontSize(float size);
    float StringWidth(const char* string) const;
    float StringWidth(const char* string, int32 length) const;
    void GetFontHeight(font_height* height) const;

    void MovePenTo(BPoint pt);
    void MovePenTo(float x, float y);
    void MovePenBy(float x, float y);
    BPoint PenLocation() const;

    void StrokeLine(BPoint toPoint, const pattern& p = B_SOLID_HIGH);
    void StrokeLine(BPoint start, BPoint end, const pattern& p = B_SOLID_HIGH);
    void StrokeRect(BRect rect, const pattern& p = B_SOLID_HIGH);
    void FillRect(BRect rect, const pattern& p = B_SOLID_HIGH);

    void DrawBitmap(const BBitmap* bitmap, BRect srcRect, BRect dstRect);
    void DrawBitmap(const BBitmap* bitmap, BRect dstRect);
    void DrawBitmap(const BBitmap* bitmap, BPoint where);
    void DrawBitmap(const BBitmap* bitmap);
    void DrawBitmapAsync(const BBitmap* bitmap, BRect srcRect, BRect dstRect);

    void DrawString(const char* string, BPoint location);
    void DrawString(const char* string, int32 length, BPoint location);
    void DrawString(const char* string);

    void Sync() const;
    void Flush() const;
    bool IsPrinting() const;

    // Starts a drag of the message once the current handler has returned; the
    // drag shows the rectangle's outline. Replies go to replyTo, or to this view.
    void DragMessage(BMessage* message, BRect dragRect, BHandler* replyTo = nullptr);

private:
    BView(const BView&) = delete;
    BView& operator=(const BView&) = delete;

    // B_MOUSE_WHEEL_CHANGED: false when the view has no scroll bar to move.
    bool _ScrollWithWheel(BMessage* message);

    friend class BWindow;
    friend class BBitmap;
    friend class BPrivate::ViewBridge;

    BPrivate::ViewData* fData;
};

#endif
