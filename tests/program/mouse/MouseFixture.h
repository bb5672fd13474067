#ifndef TAVRIN_MOUSE_FIXTURE_H
#define TAVRIN_MOUSE_FIXTURE_H

#include <AppDefs.h>
#include <InterfaceDefs.h>
#include <Message.h>
#include <Messenger.h>
#include <TranslatorRoster.h>

#include "MainWindow.h"
#include "Pixels.h"
#include "TestApp.h"
#include "app/tavrin.h"
#include "interface/ViewPrivate.h"
#include "qt/DragBridge.h"
#include "view/tavrinview.h"
#include "window/tavrinwindow.h"

#include <gtest/gtest.h>

#include <vector>

// A main window with an image whose pixels say where they are, and a mouse
// that speaks to it as the platform does: messages on the window's strand.
class MouseTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = open_main_window();
        view = window->view;
        BPrivate::DragBridge::SetObserver([this](const BMessage& offer, BRect rect) {
            drags.push_back(offer);
            dragRects.push_back(rect);
        });
        Settle();
    }

    void TearDown() override
    {
        BPrivate::DragBridge::SetObserver(nullptr);
        BMessenger messenger(window);
        window->QuitRequested();
        window->Quit();
        run_until([&] { return !messenger.IsValid(); });
    }

    void Settle() { settle_window(window); }

    static uint32 Colour(int x, int y) { return 0xff000000u | (x << 12) | (y & 0xfff); }

    void GiveImage(int w, int h)
    {
        delete view->image;
        view->image = new BBitmap(BRect(0, 0, w - 1, h - 1), B_RGB32);
        uint32* bits = static_cast<uint32*>(view->image->Bits());
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++)
                bits[y * w + x] = Colour(x, y);
        }
        strcpy(view->title, "pattern");
        view->redraw(true);
        Settle();
    }

    void Mouse(uint32 what, BPoint where, uint32 buttons, uint32 keys = 0)
    {
        BPoint screen = view->ConvertToScreen(where);
        Qt::MouseButtons qt = Qt::NoButton;
        if (buttons & B_PRIMARY_MOUSE_BUTTON)
            qt |= Qt::LeftButton;
        if (buttons & B_SECONDARY_MOUSE_BUTTON)
            qt |= Qt::RightButton;
        if (buttons & B_TERTIARY_MOUSE_BUTTON)
            qt |= Qt::MiddleButton;
        BPrivate::PointerState::Update(QPointF(screen.x, screen.y), qt);
        BMessage message(what);
        message.AddPoint("where", where);
        message.AddPoint("screen_where", screen);
        message.AddInt32("buttons", (int32)buttons);
        message.AddInt32("modifiers", (int32)keys);
        window->PostMessage(&message, view);
        Settle();
    }

    void Click(BPoint where, uint32 buttons, uint32 keys = 0)
    {
        Mouse(B_MOUSE_DOWN, where, buttons, keys);
        Mouse(B_MOUSE_UP, where, 0, keys);
    }

    void Drag(BPoint from, BPoint to, uint32 buttons, uint32 keys = 0)
    {
        Mouse(B_MOUSE_DOWN, from, buttons, keys);
        Mouse(B_MOUSE_MOVED, to, buttons, keys);
        Mouse(B_MOUSE_UP, to, 0, keys);
    }

    void Pulse()
    {
        window->PostMessage(B_PULSE);
        Settle();
    }

    // What the view shows at a view point.
    uint32 Shown(int x, int y)
    {
        QImage image = grab_view(view);
        BRect bounds = view->Bounds();
        return image.pixel(x - (int)bounds.left, y - (int)bounds.top);
    }

    tavrinwindow* window = nullptr;
    tavrinview* view = nullptr;
    std::vector<BMessage> drags;
    std::vector<BRect> dragRects;
};

#endif
