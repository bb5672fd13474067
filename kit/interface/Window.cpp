#include <Window.h>

#include <AppDefs.h>
#include <Application.h>
#include <Message.h>
#include <PixelSize.h>
#include <Screen.h>
#include <View.h>

#include "ViewPrivate.h"
#include "WindowPrivate.h"
#include "app/LooperPrivate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMoveEvent>
#include <QResizeEvent>

#include <algorithm>
#include <cstring>

using BPrivate::ViewBridge;
using BPrivate::WindowBridge;
using BPrivate::WindowData;
using BPrivate::WindowWidget;

BWindow::BWindow(BRect frame, const char* title, window_type type, uint32 flags, uint32 workspace)
    : BLooper(title), fWinData(new WindowData)
{
    fWinData->frame = frame;
    fWinData->title = title ? title : "";
    fWinData->type = type;
    fWinData->flags = flags;

    WindowWidget* widget = new WindowWidget(this);
    fWinData->widget = widget;
    widget->setWindowTitle(QString::fromUtf8(fWinData->title.c_str()));
    widget->setGeometry((int)frame.left, (int)frame.top, pixel_span(0, frame.Width()),
                        pixel_span(0, frame.Height()));
    WindowBridge::ProgramResized(this, pixel_span(0, frame.Width()), pixel_span(0, frame.Height()));
    Qt::WindowFlags windowFlags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
    if (!(flags & B_NOT_CLOSABLE))
        windowFlags |= Qt::WindowCloseButtonHint;
    if (!(flags & B_NOT_MINIMIZABLE))
        windowFlags |= Qt::WindowMinimizeButtonHint;
    if (!(flags & B_NOT_ZOOMABLE) && !(flags & B_NOT_RESIZABLE))
        windowFlags |= Qt::WindowMaximizeButtonHint;
    if (type == B_MODAL_WINDOW)
        widget->setWindowModality(Qt::ApplicationModal);
    widget->setWindowFlags(windowFlags);
    WindowBridge::ApplyLimits(this);

    fWinData->pulseTimer = new QTimer(widget);
    QObject::connect(fWinData->pulseTimer, &QTimer::timeout, widget, [this]() {
        if (fWinData->pulsePending)
            return;
        fWinData->pulsePending = true;
        PostMessage(B_PULSE);
    });

    if (be_app)
        be_app->_RegisterWindow(this);
}

BWindow::~BWindow()
{
    if (be_app)
        be_app->_UnregisterWindow(this);
    while (!fWinData->children.empty()) {
        BView* child = fWinData->children.back();
        RemoveChild(child);
        delete child;
    }
    if (fWinData->widget) {
        fWinData->widget->Detach();
        fWinData->widget->hide();
        delete fWinData->widget.data();
    }
    delete fWinData;
}

void BWindow::Quit()
{
    if (fWinData->quitting)
        return;
    fWinData->quitting = true;
    if (fWinData->widget)
        fWinData->widget->hide();
    if (fWinData->pulseTimer)
        fWinData->pulseTimer->stop();
    BLooper::Quit();
}

void BWindow::AddChild(BView* child, BView* before)
{
    BPrivate::ViewData* data = ViewBridge::Data(child);
    if (!child || data->parent || data->window || data->bitmapHost)
        return;
    auto& children = fWinData->children;
    auto position = children.end();
    for (auto it = children.begin(); it != children.end(); ++it) {
        if (*it == before) {
            position = it;
            break;
        }
    }
    children.insert(position, child);
    ViewBridge::Realize(child, fWinData->widget);
    ViewBridge::SetWindow(child, this);
    ViewBridge::CallAttached(child);
}

bool BWindow::RemoveChild(BView* child)
{
    auto& children = fWinData->children;
    for (auto it = children.begin(); it != children.end(); ++it) {
        if (*it == child) {
            ViewBridge::CallDetached(child);
            children.erase(it);
            ViewBridge::SetWindow(child, nullptr);
            ViewBridge::Unrealize(child);
            return true;
        }
    }
    return false;
}

int32 BWindow::CountChildren() const
{
    return (int32)fWinData->children.size();
}

BView* BWindow::ChildAt(int32 index) const
{
    if (index < 0 || index >= (int32)fWinData->children.size())
        return nullptr;
    return fWinData->children[index];
}

void BWindow::_DispatchQueued(BMessage* message, BHandler* handler)
{
    DispatchMessage(message, handler);
}

void BWindow::DispatchMessage(BMessage* message, BHandler* handler)
{
    BView* view = dynamic_cast<BView*>(handler);
    switch (message->what) {
    case B_MOUSE_DOWN:
    case B_MOUSE_UP:
    case B_MOUSE_MOVED: {
        if (!view)
            break;
        BPoint where;
        message->FindPoint("where", &where);
        if (message->what == B_MOUSE_DOWN) {
            view->MouseDown(where);
        } else if (message->what == B_MOUSE_UP) {
            view->MouseUp(where);
            view->SetMouseEventMask(0, 0);
        } else {
            int32 transit = B_INSIDE_VIEW;
            message->FindInt32("be:transit", &transit);
            view->MouseMoved(where, (uint32)transit, nullptr);
        }
        break;
    }
    case B_KEY_DOWN:
    case B_KEY_UP: {
        const char* bytes = nullptr;
        if (!view || message->FindString("bytes", &bytes) != B_OK)
            break;
        if (message->what == B_KEY_DOWN)
            view->KeyDown(bytes, (int32)strlen(bytes));
        else
            view->KeyUp(bytes, (int32)strlen(bytes));
        break;
    }
    case B_PULSE:
        fWinData->pulsePending = false;
        for (size_t i = 0; i < fWinData->children.size(); i++)
            ViewBridge::RunPulse(fWinData->children[i]);
        break;
    case _UPDATE_:
        fWinData->updatePending = false;
        UpdateIfNeeded();
        break;
    case B_WINDOW_RESIZED: {
        float width = 0, height = 0;
        message->FindFloat("width", &width);
        message->FindFloat("height", &height);
        FrameResized(width, height);
        break;
    }
    case B_WINDOW_MOVED: {
        BPoint where;
        message->FindPoint("where", &where);
        FrameMoved(where);
        break;
    }
    case B_VIEW_RESIZED:
        if (view)
            view->FrameResized(view->Bounds().Width(), view->Bounds().Height());
        break;
    case B_VIEW_MOVED:
        if (view)
            view->FrameMoved(view->Frame().LeftTop());
        break;
    case B_WINDOW_ACTIVATED: {
        bool active = false;
        message->FindBool("active", &active);
        WindowActivated(active);
        break;
    }
    case B_ZOOM:
        Zoom();
        break;
    case B_SCREEN_CHANGED: {
        BRect frame;
        int32 space = B_NO_COLOR_SPACE;
        message->FindRect("frame", &frame);
        message->FindInt32("mode", &space);
        ScreenChanged(frame, (color_space)space);
        break;
    }
    default:
        BLooper::DispatchMessage(message, handler);
        break;
    }
}

void BWindow::MessageReceived(BMessage* message)
{
    BLooper::MessageReceived(message);
}

void BWindow::FrameMoved(BPoint newPosition) {}
void BWindow::FrameResized(float newWidth, float newHeight) {}
void BWindow::Minimize(bool minimize)
{
    if (!fWinData->widget)
        return;
    if (minimize)
        fWinData->widget->showMinimized();
    else
        fWinData->widget->showNormal();
}
void BWindow::WindowActivated(bool active) {}

void BWindow::ScreenChanged(BRect screenFrame, color_space depth) {}
void BWindow::MenusBeginning() {}
void BWindow::MenusEnded() {}

bool BWindow::QuitRequested()
{
    return true;
}

thread_id BWindow::Run()
{
    return BLooper::Run();
}

void BWindow::Zoom(BPoint origin, float width, float height)
{
    MoveTo(origin);
    ResizeTo(width, height);
}

void BWindow::Zoom()
{
    // Zooming makes the window as large as its zoom limits and size limits
    // allow, and its screen.
    float width = std::min(fWinData->zoomWidth, fWinData->maxWidth);
    float height = std::min(fWinData->zoomHeight, fWinData->maxHeight);
    BRect fit = _FitOnScreen(width, height);
    Zoom(fit.LeftTop(), fit.Width(), fit.Height());
}

void BWindow::SetSizeLimits(float minWidth, float maxWidth, float minHeight, float maxHeight)
{
    fWinData->minWidth = minWidth;
    fWinData->maxWidth = std::max(minWidth, maxWidth);
    fWinData->minHeight = minHeight;
    fWinData->maxHeight = std::max(minHeight, maxHeight);
    WindowBridge::ApplyLimits(this);
    // The window keeps within its new limits.
    BRect frame = fWinData->frame;
    float width = std::clamp(frame.Width(), fWinData->minWidth, fWinData->maxWidth);
    float height = std::clamp(frame.Height(), fWinData->minHeight, fWinData->maxHeight);
    if (width != frame.Width() || height != frame.Height())
        ResizeTo(width, height);
}

void BWindow::GetSizeLimits(float* minWidth, float* maxWidth, float* minHeight,
                            float* maxHeight) const
{
    if (minWidth)
        *minWidth = fWinData->minWidth;
    if (maxWidth)
        *maxWidth = fWinData->maxWidth;
    if (minHeight)
        *minHeight = fWinData->minHeight;
    if (maxHeight)
        *maxHeight = fWinData->maxHeight;
}

void BWindow::SetZoomLimits(float maxWidth, float maxHeight)
{
    fWinData->zoomWidth = maxWidth;
    fWinData->zoomHeight = maxHeight;
}

void BWindow::GetZoomLimits(float* maxWidth, float* maxHeight) const
{
    if (maxWidth)
        *maxWidth = fWinData->zoomWidth;
    if (maxHeight)
        *maxHeight = fWinData->zoomHeight;
}

void BWindow::MoveBy(float dx, float dy)
{
    MoveTo(fWinData->frame.left + dx, fWinData->frame.top + dy);
}

void BWindow::MoveTo(BPoint where)
{
    MoveTo(where.x, where.y);
}

void BWindow::MoveTo(float x, float y)
{
    if (x == fWinData->frame.left && y == fWinData->frame.top)
        return;
    fWinData->frame.OffsetTo(x, y);
    if (fWinData->widget)
        fWinData->widget->move((int)x, (int)y);
    BMessage moved(B_WINDOW_MOVED);
    moved.AddPoint("where", BPoint(x, y));
    PostMessage(&moved);
}

void BWindow::ResizeBy(float dx, float dy)
{
    ResizeTo(fWinData->frame.Width() + dx, fWinData->frame.Height() + dy);
}

void BWindow::ResizeTo(float width, float height)
{
    width = std::clamp(width, fWinData->minWidth, fWinData->maxWidth);
    height = std::clamp(height, fWinData->minHeight, fWinData->maxHeight);
    BRect& frame = fWinData->frame;
    float dw = width - frame.Width();
    float dh = height - frame.Height();
    if (dw == 0 && dh == 0)
        return;
    frame.right = frame.left + width;
    frame.bottom = frame.top + height;
    WindowBridge::ProgramResized(this, pixel_span(0, width), pixel_span(0, height));
    WindowBridge::ApplyLimits(this);
    if (fWinData->widget) {
        fWinData->requestedSizes.emplace_back(pixel_span(0, width), pixel_span(0, height));
        fWinData->widget->resize(pixel_span(0, width), pixel_span(0, height));
    }
    for (size_t i = 0; i < fWinData->children.size(); i++)
        ViewBridge::ParentResized(fWinData->children[i], dw, dh);
    BMessage resized(B_WINDOW_RESIZED);
    resized.AddFloat("width", width);
    resized.AddFloat("height", height);
    PostMessage(&resized);
}

void BWindow::ResizeOnScreen(float width, float height)
{
    BRect fit = _FitOnScreen(width, height);
    MoveTo(fit.LeftTop());
    ResizeTo(fit.Width(), fit.Height());
}

BRect BWindow::_FitOnScreen(float width, float height) const
{
    BRect current = fWinData->frame;
    BRect wanted(current.left, current.top, current.left + width, current.top + height);
    BScreen screen(const_cast<BWindow*>(this));
    return BPrivate::fit_frame(wanted, current, DecoratorFrame(), screen.AvailableFrame(),
                               fWinData->minWidth, fWinData->minHeight);
}

void BWindow::Show()
{
    // The first Show starts the strand even when an earlier Hide keeps the
    // window off the screen: a window may work unseen.
    if (!fWinData->running) {
        fWinData->running = true;
        Run();
        if (fWinData->pulseRate > 0)
            SetPulseRate(fWinData->pulseRate);
    }
    if (--fWinData->showLevel > 0)
        return;
    bool first = !fWinData->shownOnce;
    fWinData->shownOnce = true;
    for (BView* child : fWinData->children)
        ViewBridge::Invalidate(child, child->Bounds());
    // A Wayland compositor places a window by the size it first shows with,
    // and the program cannot move it afterwards: the first showing waits
    // until the window has handled what it was sent before the event loop
    // reached it (the command line's pictures), and so has its own size.
    if (first && QGuiApplication::platformName() == QLatin1String("wayland")) {
        BPrivate::LooperPrivate::WhenIdle(this, [this]() { WindowBridge::Map(this); });
        return;
    }
    WindowBridge::Map(this);
}

void BWindow::Hide()
{
    if (fWinData->showLevel++ > 0)
        return;
    if (fWinData->widget)
        fWinData->widget->hide();
}

bool BWindow::IsHidden() const
{
    return fWinData->showLevel > 0;
}

bool BWindow::IsMinimized() const
{
    return fWinData->widget && fWinData->widget->isMinimized();
}

void BWindow::Flush() const
{
    if (fWinData->widget)
        fWinData->widget->update();
}

void BWindow::Sync() const
{
    if (fWinData->widget)
        fWinData->widget->repaint();
}

void BWindow::Activate(bool active)
{
    if (fWinData->widget && active) {
        fWinData->widget->raise();
        fWinData->widget->activateWindow();
    }
}

bool BWindow::IsActive() const
{
    return fWinData->widget && fWinData->widget->isActiveWindow();
}

BRect BWindow::Bounds() const
{
    return BRect(0, 0, fWinData->frame.Width(), fWinData->frame.Height());
}

BRect BWindow::Frame() const
{
    return fWinData->frame;
}

BRect BWindow::DecoratorFrame() const
{
    BRect frame = fWinData->frame;
    QWidget* widget = fWinData->widget;
    if (!widget)
        return frame;
    // The border's widths, as the window manager last gave them, around the
    // kit's frame, which may be ahead of what the platform shows yet.
    QRect outer = widget->frameGeometry();
    QRect inner = widget->geometry();
    float left = std::max(0, inner.left() - outer.left());
    float top = std::max(0, inner.top() - outer.top());
    float right = std::max(0, outer.right() - inner.right());
    float bottom = std::max(0, outer.bottom() - inner.bottom());
    return BRect(frame.left - left, frame.top - top, frame.right + right, frame.bottom + bottom);
}

const char* BWindow::Title() const
{
    return fWinData->title.c_str();
}

void BWindow::SetTitle(const char* title)
{
    fWinData->title = title ? title : "";
    SetName(fWinData->title.c_str());
    if (fWinData->widget)
        fWinData->widget->setWindowTitle(QString::fromUtf8(fWinData->title.c_str()));
}

window_type BWindow::Type() const
{
    return fWinData->type;
}

uint32 BWindow::Flags() const
{
    return fWinData->flags;
}

status_t BWindow::SetFlags(uint32 flags)
{
    fWinData->flags = flags;
    WindowBridge::ApplyLimits(this);
    return B_OK;
}

uint32 BWindow::Workspaces() const
{
    return B_CURRENT_WORKSPACE;
}

void BWindow::SetPulseRate(bigtime_t rate)
{
    fWinData->pulseRate = rate;
    if (!fWinData->pulseTimer)
        return;
    if (rate <= 0) {
        fWinData->pulseTimer->stop();
        return;
    }
    fWinData->pulseTimer->start((int)std::max<bigtime_t>(1, rate / 1000));
}

bigtime_t BWindow::PulseRate() const
{
    return fWinData->pulseRate;
}

BView* BWindow::FindView(const char* viewName) const
{
    for (BView* child : fWinData->children) {
        if (BView* found = ViewBridge::FindView(child, viewName))
            return found;
    }
    return nullptr;
}

BView* BWindow::FindView(BPoint point) const
{
    for (auto it = fWinData->children.rbegin(); it != fWinData->children.rend(); ++it) {
        if (!(*it)->IsHidden() && (*it)->Frame().Contains(point))
            return *it;
    }
    return nullptr;
}

BView* BWindow::CurrentFocus() const
{
    if (!fWinData->widget)
        return nullptr;
    auto* focus = dynamic_cast<BPrivate::ViewWidget*>(fWinData->widget->focusWidget());
    return focus ? focus->View() : nullptr;
}

BMenuBar* BWindow::KeyMenuBar() const
{
    return fWinData->keyMenuBar;
}

void BWindow::SetKeyMenuBar(BMenuBar* bar)
{
    fWinData->keyMenuBar = bar;
}

void BWindow::ConvertToScreen(BPoint* point) const
{
    point->x += fWinData->frame.left;
    point->y += fWinData->frame.top;
}

BPoint BWindow::ConvertToScreen(BPoint point) const
{
    ConvertToScreen(&point);
    return point;
}

void BWindow::ConvertFromScreen(BPoint* point) const
{
    point->x -= fWinData->frame.left;
    point->y -= fWinData->frame.top;
}

BPoint BWindow::ConvertFromScreen(BPoint point) const
{
    ConvertFromScreen(&point);
    return point;
}

void BWindow::ConvertToScreen(BRect* rect) const
{
    rect->OffsetBy(fWinData->frame.left, fWinData->frame.top);
}

BRect BWindow::ConvertToScreen(BRect rect) const
{
    ConvertToScreen(&rect);
    return rect;
}

void BWindow::ConvertFromScreen(BRect* rect) const
{
    rect->OffsetBy(-fWinData->frame.left, -fWinData->frame.top);
}

BRect BWindow::ConvertFromScreen(BRect rect) const
{
    ConvertFromScreen(&rect);
    return rect;
}

void BWindow::UpdateIfNeeded()
{
    for (size_t i = 0; i < fWinData->children.size(); i++)
        ViewBridge::RunUpdates(fWinData->children[i]);
}

bool BWindow::NeedsUpdate() const
{
    return fWinData->updatePending;
}

namespace BPrivate {

// How many sizes of the program's the kit remembers; and how many times in
// a row, with no change of the window's state between, it asks again for a
// size the platform answered with an older one.
const size_t kProgramSizesKept = 8;
const int kSizeRequestRepeats = 3;

BRect fit_frame(BRect wanted, BRect current, BRect decorator, BRect area, float minWidth,
                float minHeight)
{
    if (!area.IsValid())
        return wanted;
    float left = current.left - decorator.left;
    float top = current.top - decorator.top;
    float right = decorator.right - current.right;
    float bottom = decorator.bottom - current.bottom;
    // The corner moves only to come inside the area, or as far back as the
    // smallest size the window may take needs.
    float x = std::min(wanted.left, area.right - right - minWidth);
    float y = std::min(wanted.top, area.bottom - bottom - minHeight);
    x = std::max(x, area.left + left);
    y = std::max(y, area.top + top);
    float width = std::max(0.0f, std::min(wanted.Width(), area.right - right - x));
    float height = std::max(0.0f, std::min(wanted.Height(), area.bottom - bottom - y));
    return BRect(x, y, x + width, y + height);
}

WindowWidget::WindowWidget(BWindow* window) : QWidget(nullptr), fWindow(window)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, BPrivate::to_qcolor(kPanelBackground));
    setPalette(pal);
    setAutoFillBackground(true);
}

void WindowWidget::closeEvent(QCloseEvent* event)
{
    // Closing asks the window, on its own strand, whether it agrees.
    event->ignore();
    if (fWindow)
        fWindow->PostMessage(B_QUIT_REQUESTED);
}

void WindowWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The widget's own size, not the event's: when the platform takes back
    // a size the program has just asked for, Qt may hand on an event with the
    // asked-for size while it has already given the widget the platform's.
    if (fWindow)
        WindowBridge::PlatformResized(fWindow, width(), height());
}

void WindowWidget::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (fWindow)
        WindowBridge::PlatformMoved(fWindow, geometry().x(), geometry().y());
}

void WindowWidget::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // The platform's next answer with an older size comes from a new state.
    if (fWindow &&
        (event->type() == QEvent::ActivationChange || event->type() == QEvent::WindowStateChange))
        WindowBridge::Data(fWindow)->sizeRequestsRepeated = 0;
    if (fWindow && event->type() == QEvent::ActivationChange) {
        BMessage activated(B_WINDOW_ACTIVATED);
        activated.AddBool("active", isActiveWindow());
        fWindow->PostMessage(&activated);
    }
}

void WindowBridge::Map(BWindow* window)
{
    WindowData* data = window->fWinData;
    if (!data->widget || window->IsHidden())
        return;
    BRect frame = data->frame;
    data->widget->setGeometry((int)frame.left, (int)frame.top, pixel_span(0, frame.Width()),
                              pixel_span(0, frame.Height()));
    data->widget->show();
}

void WindowBridge::PostViewEvent(BWindow* window, BView* view, uint32 what)
{
    window->PostMessage(what, view);
}

void WindowBridge::ScreenChanged(BWindow* window)
{
    BScreen screen(window);
    BMessage changed(B_SCREEN_CHANGED);
    changed.AddRect("frame", screen.Frame());
    changed.AddInt32("mode", (int32)screen.ColorSpace());
    window->PostMessage(&changed);
}

void WindowBridge::ScheduleUpdate(BWindow* window)
{
    WindowData* data = window->fWinData;
    if (data->updatePending)
        return;
    data->updatePending = true;
    window->PostMessage(_UPDATE_);
}

void WindowBridge::PlatformResized(BWindow* window, int width, int height)
{
    WindowData* data = window->fWinData;
    // A confirmation of a size the kit asked for earlier says nothing new: the
    // model already moved on.
    auto& requested = data->requestedSizes;
    for (size_t i = 0; i < requested.size(); i++) {
        if (requested[i] == std::make_pair(width, height)) {
            requested.erase(requested.begin(), requested.begin() + i + 1);
            return;
        }
    }
    // A compositor may hand a floating window the size it last set itself
    // long after the program chose another: sway answers the first showing
    // with the size the window had then, even when the program has resized
    // it since, and sends that size again with every change of the window's
    // state (its activation). A size the program chose earlier is such an
    // echo, and the kit asks again for the one it has now, until the
    // platform answers so several times in a row: then it insists, and has
    // its way. A size the program never chose is the platform's own (a
    // tile, the user's resizing), and stands.
    auto& ours = data->programSizes;
    std::pair<int, int> now(pixel_span(0, data->frame.Width()),
                            pixel_span(0, data->frame.Height()));
    std::pair<int, int> given(width, height);
    if (given != now && std::find(ours.begin(), ours.end(), given) != ours.end() &&
        data->sizeRequestsRepeated < kSizeRequestRepeats) {
        data->sizeRequestsRepeated++;
        QMetaObject::invokeMethod(
            data->widget, [window]() { RepeatSizeRequest(window); }, Qt::QueuedConnection);
        return;
    }
    if (given != now)
        ours.clear();
    float w = (float)(width - 1);
    float h = (float)(height - 1);
    BRect& frame = data->frame;
    float dw = w - frame.Width();
    float dh = h - frame.Height();
    if (dw == 0 && dh == 0)
        return;
    frame.right = frame.left + w;
    frame.bottom = frame.top + h;
    for (size_t i = 0; i < data->children.size(); i++)
        ViewBridge::ParentResized(data->children[i], dw, dh);
    BMessage resized(B_WINDOW_RESIZED);
    resized.AddFloat("width", w);
    resized.AddFloat("height", h);
    window->PostMessage(&resized);
}

void WindowBridge::ProgramResized(BWindow* window, int width, int height)
{
    window->fWinData->sizeRequestsRepeated = 0;
    auto& ours = window->fWinData->programSizes;
    std::pair<int, int> size(width, height);
    ours.erase(std::remove(ours.begin(), ours.end(), size), ours.end());
    ours.push_back(size);
    if (ours.size() > kProgramSizesKept)
        ours.erase(ours.begin());
}

void WindowBridge::RepeatSizeRequest(BWindow* window)
{
    WindowData* data = window->fWinData;
    QWidget* widget = data->widget;
    if (!widget)
        return;
    std::pair<int, int> wanted(pixel_span(0, data->frame.Width()),
                               pixel_span(0, data->frame.Height()));
    if (std::make_pair(widget->width(), widget->height()) == wanted)
        return;
    data->requestedSizes.push_back(wanted);
    widget->resize(wanted.first, wanted.second);
}

void WindowBridge::PlatformMoved(BWindow* window, int x, int y)
{
    WindowData* data = window->fWinData;
    if (data->frame.left == x && data->frame.top == y)
        return;
    data->frame.OffsetTo((float)x, (float)y);
    BMessage moved(B_WINDOW_MOVED);
    moved.AddPoint("where", BPoint((float)x, (float)y));
    window->PostMessage(&moved);
}

void WindowBridge::ApplyLimits(BWindow* window)
{
    WindowData* data = window->fWinData;
    if (!data->widget)
        return;
    if (data->flags & B_NOT_RESIZABLE) {
        data->widget->setFixedSize(pixel_span(0, data->frame.Width()),
                                   pixel_span(0, data->frame.Height()));
        return;
    }
    data->widget->setMinimumSize(pixel_span(0, data->minWidth), pixel_span(0, data->minHeight));
    data->widget->setMaximumSize(std::min(QWIDGETSIZE_MAX, pixel_span(0, data->maxWidth)),
                                 std::min(QWIDGETSIZE_MAX, pixel_span(0, data->maxHeight)));
}

} // namespace BPrivate
