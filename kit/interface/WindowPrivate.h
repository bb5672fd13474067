#ifndef _WINDOW_PRIVATE_H
#define _WINDOW_PRIVATE_H

#include <GraphicsDefs.h>
#include <Window.h>

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <string>
#include <vector>

namespace BPrivate {

class WindowWidget;

// The background of a window where no view covers it, and of settings panels.
const rgb_color kPanelBackground = {216, 216, 216, 255};

struct WindowData
{
    BRect frame;
    std::string title;
    window_type type;
    uint32 flags;
    float minWidth = 0, maxWidth = 32768, minHeight = 0, maxHeight = 32768;
    float zoomWidth = 32768, zoomHeight = 32768;
    std::vector<BView*> children;
    QPointer<WindowWidget> widget;
    int32 showLevel = 1;    // hidden while above zero
    bool shownOnce = false; // mapped once
    bool running = false;   // the strand has started
    bigtime_t pulseRate = 500000;
    QTimer* pulseTimer = nullptr;
    bool pulsePending = false;
    bool updatePending = false;
    BMenuBar* keyMenuBar = nullptr;
    bool quitting = false;
    // Sizes asked of the platform and not yet confirmed, oldest first.
    std::vector<std::pair<int, int>> requestedSizes;
    // Sizes the program gave the window since the platform last chose one
    // of its own, the latest last; and how often the kit has asked again for
    // the latest since the window's state last changed.
    std::vector<std::pair<int, int>> programSizes;
    int sizeRequestsRepeated = 0;
};

// The top-level widget of a window.
class WindowWidget : public QWidget
{
public:
    WindowWidget(BWindow* window);
    void Detach() { fWindow = nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    BWindow* fWindow;
};

// The frame a window takes to lie within area with its border: wanted (the
// size it asks for, at its top-left corner) made no larger than area leaves
// room for right of and below that corner. The window stays where it stands
// unless its corner, border included, lies outside area, or lies so near
// area's far edges that not even minWidth by minHeight would fit: then it
// moves just as far as it must. The border's widths are those between
// current, the window's frame now, and decorator, the same with the window
// manager's border. An invalid area changes nothing.
BRect fit_frame(BRect wanted, BRect current, BRect decorator, BRect area, float minWidth,
                float minHeight);

class WindowBridge
{
public:
    static WindowData* Data(BWindow* window) { return window->fWinData; }
    // Shows the window on the platform at its frame, unless it is hidden.
    static void Map(BWindow* window);
    static void PostViewEvent(BWindow* window, BView* view, uint32 what);
    static void ScheduleUpdate(BWindow* window);
    // The platform changed the window's size or place (the user, the window manager).
    static void PlatformResized(BWindow* window, int width, int height);
    // The program chose a size for the window.
    static void ProgramResized(BWindow* window, int width, int height);
    // Asks the platform again for the kit's size, which it answered with an
    // older one.
    static void RepeatSizeRequest(BWindow* window);
    static void PlatformMoved(BWindow* window, int x, int y);
    // Tells the window, on its strand, that its screen changed.
    static void ScreenChanged(BWindow* window);
    static void ApplyLimits(BWindow* window);
};

} // namespace BPrivate

#endif
