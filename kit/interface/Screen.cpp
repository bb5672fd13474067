#include <Screen.h>

#include <Window.h>

#include "WindowPrivate.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

using BPrivate::WindowBridge;

const screen_id B_MAIN_SCREEN_ID = {0};

namespace {

// Screen ids count the primary screen first, then the others in Qt's order.
QList<QScreen*> ordered_screens()
{
    QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary && screens.removeOne(primary))
        screens.prepend(primary);
    return screens;
}

color_space space_for_depth(int depth)
{
    switch (depth) {
    case 8:
        return B_CMAP8;
    case 15:
        return B_RGB15;
    case 16:
        return B_RGB16;
    case 24:
    case 32:
        return B_RGB32;
    default:
        return B_NO_COLOR_SPACE;
    }
}

BRect to_brect(const QRect& rect)
{
    return BRect(rect.left(), rect.top(), rect.right(), rect.bottom());
}

} // namespace

BScreen::BScreen(screen_id id)
    : fIndex(-1), fFrame(0, 0, -1, -1), fAvailable(0, 0, -1, -1), fColorSpace(B_NO_COLOR_SPACE)
{
    _SetTo(id.id);
}

BScreen::BScreen(BWindow* window)
    : fIndex(-1), fFrame(0, 0, -1, -1), fAvailable(0, 0, -1, -1), fColorSpace(B_NO_COLOR_SPACE)
{
    QScreen* screen = nullptr;
    if (window && qApp) {
        QWidget* widget = WindowBridge::Data(window)->widget;
        if (widget)
            screen = widget->windowHandle() ? widget->windowHandle()->screen() : widget->screen();
    }
    int32 index = ordered_screens().indexOf(screen);
    _SetTo(index >= 0 ? index : 0);
}

BScreen::~BScreen() {}

bool BScreen::IsValid()
{
    return fIndex >= 0;
}

status_t BScreen::SetToNext()
{
    if (fIndex < 0)
        return B_NO_INIT;
    int32 next = fIndex + 1;
    if (next >= (int32)ordered_screens().size())
        return B_ERROR;
    _SetTo(next);
    return B_OK;
}

screen_id BScreen::ID()
{
    return screen_id{fIndex >= 0 ? fIndex : 0};
}

BRect BScreen::Frame()
{
    return fFrame;
}

BRect BScreen::AvailableFrame()
{
    return fAvailable;
}

color_space BScreen::ColorSpace()
{
    return fColorSpace;
}

void BScreen::_SetTo(int32 index)
{
    fIndex = -1;
    fFrame.Set(0, 0, -1, -1);
    fAvailable.Set(0, 0, -1, -1);
    fColorSpace = B_NO_COLOR_SPACE;
    if (!qApp)
        return;
    QList<QScreen*> screens = ordered_screens();
    if (index < 0 || index >= (int32)screens.size())
        return;
    QRect geometry = screens[index]->geometry();
    QRect available = screens[index]->availableGeometry();
    fIndex = index;
    fFrame = to_brect(geometry);
    fAvailable = available.isValid() ? to_brect(available & geometry) : fFrame;
    fColorSpace = space_for_depth(screens[index]->depth());
}
