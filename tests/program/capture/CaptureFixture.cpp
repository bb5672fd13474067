#include "CaptureFixture.h"

#include <Messenger.h>
#include <TranslatorRoster.h>

#include "TestApp.h"
#include "app/tavrin.h"
#include "interface/WindowPrivate.h"
#include "view/tavrinview.h"
#include "window/tavrinwindow.h"

#include <QWindow>

#include <cstdlib>

TestXServer* CaptureTest::sServer = nullptr;

void CaptureTest::StartServer(int width, int height, const std::vector<TestMonitor>& monitors)
{
    if (sServer)
        return;
    sServer = new TestXServer;
    // The server and its folder go with the process; nothing talks to the
    // display any more by then.
    std::atexit([]() {
        delete sServer;
        sServer = nullptr;
    });
    std::string problem;
    ASSERT_TRUE(sServer->Start(width, height, &problem)) << problem;
    ASSERT_TRUE(sServer->PaintPattern(&problem)) << problem;
    if (!monitors.empty()) {
        ASSERT_TRUE(sServer->SetMonitors(monitors, &problem)) << problem;
    }
    // The rest of the suite runs on the offscreen platform; these tests need
    // a real screen.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    test_app();
    if (!tr)
        tr = BTranslatorRoster::Default();
}

void CaptureTest::TearDown()
{
    if (!window)
        return;
    BMessenger messenger(window);
    window->Lock();
    // The window's quit hook releases the catalogue, as closing it does.
    window->QuitRequested();
    window->Quit();
    run_until([&] { return !messenger.IsValid(); });
}

void CaptureTest::OpenWindow(float x, float y)
{
    pic.Set(0, 0, -1, -1);
    window = new tavrinwindow(BRect(x, y, x + 200, y + 150));
    QWidget* widget = BPrivate::WindowBridge::Data(window)->widget;
    ASSERT_TRUE(run_until(
        [widget]() { return widget->windowHandle() && widget->windowHandle()->isExposed(); }));
    // The empty view is black, which the pattern is nowhere near its corner.
    ASSERT_TRUE(ScreenShows((int)x + 5, (int)y + 20 + 5, 0x000000));
}

std::vector<uint32_t> CaptureTest::Screen(int x, int y, int width, int height)
{
    return sServer->ReadRoot(x, y, width, height);
}

bool CaptureTest::ScreenShows(int x, int y, uint32_t rgb)
{
    return run_until([&] {
        std::vector<uint32_t> shown = Screen(x, y, 1, 1);
        return !shown.empty() && (shown[0] & 0xffffff) == rgb;
    });
}

void CaptureTest::Capture()
{
    window->Lock();
    window->view->capture();
    window->Unlock();
}

int pattern_mismatches(const BBitmap* bitmap, int left, int top, std::string* where)
{
    int width = bitmap->Bounds().IntegerWidth() + 1;
    int height = bitmap->Bounds().IntegerHeight() + 1;
    const uint8* bits = static_cast<const uint8*>(bitmap->Bits());
    int mismatches = 0;
    for (int y = 0; y < height; y++) {
        const uint32* row = reinterpret_cast<const uint32*>(bits + y * bitmap->BytesPerRow());
        for (int x = 0; x < width; x++) {
            uint32_t expected = pattern_pixel(left + x, top + y);
            if (row[x] == expected)
                continue;
            if (mismatches++ == 0) {
                char text[96];
                snprintf(text, sizeof(text), "pixel (%d, %d) is %08x, not %08x", x, y, row[x],
                         expected);
                *where = text;
            }
        }
    }
    return mismatches;
}
