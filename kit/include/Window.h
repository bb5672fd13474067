#ifndef _WINDOW_H
#define _WINDOW_H

#include <InterfaceDefs.h>
#include <Looper.h>

class BMenuBar;
class BView;

namespace BPrivate {
struct WindowData;
class ViewBridge;
class WindowBridge;
} // namespace BPrivate

enum window_type {
    B_UNTYPED_WINDOW = 0,
    B_TITLED_WINDOW = 1,
    B_MODAL_WINDOW = 3,
    B_DOCUMENT_WINDOW = 11,
    B_BORDERED_WINDOW = 20,
    B_FLOATING_WINDOW = 21
};

enum {
    B_NOT_MOVABLE = 0x00000001,
    B_NOT_CLOSABLE = 0x00000020,
    B_NOT_ZOOMABLE = 0x00000040,
    B_NOT_MINIMIZABLE = 0x00004000,
    B_NOT_RESIZABLE = 0x00000002,
    B_NOT_H_RESIZABLE = 0x00008000,
    B_NOT_V_RESIZABLE = 0x00010000,
    B_AVOID_FRONT = 0x00000080,
    B_AVOID_FOCUS = 0x00002000,
    B_WILL_ACCEPT_FIRST_CLICK = 0x00000010,
    B_OUTLINE_RESIZE = 0x00001000,
    B_NO_WORKSPACE_ACTIVATION = 0x00000100,
    B_NOT_ANCHORED_ON_ACTIVATE = 0x00020000,
    B_ASYNCHRONOUS_CONTROLS = 0x00080000,
    B_QUIT_ON_WINDOW_CLOSE = 0x00100000
};

// A window on the screen. Its frame is the content area in screen coordinates
// with both edges included: a frame 200 wide shows 201 pixels. The window is a
// looper; its strand starts with the first Show().
class BWindow : public BLooper
{
public:
    BWindow(BRect frame, const char* title, window_type type, uint32 flags,
            uint32 workspace = B_CURRENT_WORKSPACE);
    virtual ~BWindow();

    void Quit() override;
    void Close() { Quit(); }

    void AddChild(BView* child, BView* before = nullptr);
    bool RemoveChild(BView* child);
    int32 CountChildren() const;
    BView* ChildAt(int32 index) const;

    void DispatchMessage(BMessage* message, BHandler* handler) override;
    void MessageReceived(BMessage* message) override;
    virtual void FrameMoved(BPoint newPosition);
    virtual void FrameResized(float newWidth, float newHeight);
    virtual void Zoom(BPoint origin, float width, float height);
    void Zoom();
    virtual void Minimize(bool minimize);
    virtual void WindowActivated(bool active);
    // The window came to a screen of another size, depth or scale factor.
    virtual void ScreenChanged(BRect screenFrame, color_space depth);
    virtual void MenusBeginning();
    virtual void MenusEnded();
    bool QuitRequested() override;
    thread_id Run() override;

    void SetSizeLimits(float minWidth, float maxWidth, float minHeight, float maxHeight);
    void GetSizeLimits(float* minWidth, float* maxWidth, float* minHeight, float* maxHeight) const;
    void SetZoomLimits(float maxWidth, float maxHeight);
    void GetZoomLimits(float* maxWidth, float* maxHeight) const;

    void MoveBy(float dx, float dy);
    void MoveTo(BPoint where);
    void MoveTo(float x, float y);
    void ResizeBy(float dx, float dy);
    void ResizeTo(float width, float height);
    // Resizes the window as ResizeTo does, but to no more than fits, border
    // and title bar included, in the part of its screen that the desktop's
    // panels leave free, right of and below its top-left corner. The window
    // stays where it stands unless that corner lies outside this part of the
    // screen, or too near its far edges for the smallest size the limits
    // allow: then it moves just as far as it must.
    void ResizeOnScreen(float width, float height);

    virtual void Show();
    virtual void Hide();
    bool IsHidden() const;
    bool IsMinimized() const;

    void Flush() const;
    void Sync() const;
    void Activate(bool active = true);
    bool IsActive() const;

    BRect Bounds() const;
    BRect Frame() const;
    // The frame with the window manager's border and title bar around it, in
    // screen coordinates; the frame itself while the platform has not said
    // how large they are (before the window is first shown, or with no
    // window manager).
    BRect DecoratorFrame() const;
    const char* Title() const;
    void SetTitle(const char* title);
    window_type Type() const;
    uint32 Flags() const;
    status_t SetFlags(uint32 flags);
    uint32 Workspaces() const;

    void SetPulseRate(bigtime_t rate);
    bigtime_t PulseRate() const;

    BView* FindView(const char* viewName) const;
    BView* FindView(BPoint point) const;
    BView* CurrentFocus() const;
    BMenuBar* KeyMenuBar() const;
    void SetKeyMenuBar(BMenuBar* bar);

    void ConvertToScreen(BPoint* point) const;
    BPoint ConvertToScreen(BPoint point) const;
    void ConvertFromScreen(BPoint* point) const;
    BPoint ConvertFromScreen(BPoint point) const;
    void ConvertToScreen(BRect* rect) const;
    BRect ConvertToScreen(BRect rect) const;
    void ConvertFromScreen(BRect* rect) const;
    BRect ConvertFromScreen(BRect rect) const;

    void UpdateIfNeeded();
    bool NeedsUpdate() const;

private:
    BWindow(const BWindow&) = delete;
    BWindow& operator=(const BWindow&) = delete;

    friend class BView;
    friend class BApplication;
    friend class BPrivate::ViewBridge;
    friend class BPrivate::WindowBridge;

    void _DispatchQueued(BMessage* message, BHandler* handler) override;
    BRect _FitOnScreen(float width, float height) const;

    BPrivate::WindowData* fWinData;
};

#endif
