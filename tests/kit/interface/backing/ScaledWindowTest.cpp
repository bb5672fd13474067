// A window shown at two device pixels a point (run with QT_SCALE_FACTOR=2).
// Views keep their pixels at the device's resolution: one that counts the
// window's units draws each of them as two by two device pixels, one with a
// pixel scale counts the device pixels themselves (times the scale).

#include <Messenger.h>
#include <View.h>
#include <Window.h>

#include "PatternView.h"
#include "Pixels.h"
#include "TestApp.h"
#include "interface/ViewPrivate.h"

#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace {

using BPrivate::ViewBridge;

// The view's widget as the screen shows it, one pixel a device pixel.
QImage device_pixels(BView* view)
{
    QWidget* widget = ViewBridge::Widget(view);
    QImage image(widget->size() * 2, QImage::Format_RGB32);
    image.setDevicePixelRatio(2);
    image.fill(Qt::black);
    widget->render(&image);
    return image;
}

TEST(ScaledWindowTest, ViewsDrawAtTheDevicesResolution)
{
    test_app();
    struct Case
    {
        const char* what;
        float pixelScale;
        // The view's extent in its units, and the device pixel (x, y)'s colour.
        float width;
        std::function<uint32(int x, int y)> expected;
    };
    const Case cases[] = {
        {"the window's units", 0, 199, [](int x, int y) { return pattern_at(x / 2, y / 2); }},
        {"device pixels", 1, 399, [](int x, int y) { return pattern_at(x, y); }},
        {"three device pixels a unit", 3, 133,
         [](int x, int y) { return pattern_at(x / 3, y / 3); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto* window = new BWindow(BRect(50, 50, 249, 149), "scaled", B_TITLED_WINDOW, 0);
        auto* view = new PatternView(window->Bounds());
        view->SetPixelScale(c.pixelScale);
        window->AddChild(view);
        window->Show();
        ASSERT_TRUE(run_until([&]() { return !view->updates.empty(); }));
        settle_window(window);
        ASSERT_EQ(ViewBridge::Widget(view)->devicePixelRatioF(), 2.0);
        window->Lock();
        EXPECT_FLOAT_EQ(view->Bounds().Width(), c.width);
        window->Unlock();

        QImage shown = device_pixels(view);
        int wrong = 0;
        for (int y = 0; y < shown.height(); y++) {
            for (int x = 0; x < shown.width(); x++) {
                if (shown.pixel(x, y) != c.expected(x, y) && wrong++ < 5)
                    ADD_FAILURE() << x << "," << y << " " << std::hex << shown.pixel(x, y) << " "
                                  << c.expected(x, y);
            }
        }
        EXPECT_EQ(wrong, 0);
        // Drawing lands at once, as anywhere, on the device pixels of the units.
        window->Lock();
        view->SetHighColor(3, 2, 1);
        view->FillRect(BRect(10, 10, 19, 19));
        window->Unlock();
        QImage after = device_pixels(view);
        int scale = c.pixelScale == 0 ? 2 : (int)c.pixelScale;
        EXPECT_EQ(after.pixel(10 * scale, 10 * scale), qRgb(3, 2, 1));
        EXPECT_EQ(after.pixel(20 * scale - 1, 20 * scale - 1), qRgb(3, 2, 1));
        EXPECT_EQ(after.pixel(20 * scale, 20 * scale), c.expected(20 * scale, 20 * scale));

        BMessenger messenger(window);
        window->Lock();
        window->Quit();
        run_until([&] { return !messenger.IsValid(); });
    }
}

// Below one device pixel a unit each device pixel shows the average of the
// units it covers: a one-unit checker at a zoom of a half is an even grey,
// not a moiré of black and white.
TEST(ScaledWindowTest, ReducedPicturesAverage)
{
    test_app();
    auto* window = new BWindow(BRect(50, 50, 249, 149), "reduced", B_TITLED_WINDOW, 0);
    auto* view = new BView(window->Bounds(), "checker", B_FOLLOW_ALL_SIDES, B_WILL_DRAW);
    view->SetPixelScale(0.5f);
    window->AddChild(view);
    window->Show();
    settle_window(window);
    BBitmap checker(BRect(0, 0, 799, 399), B_RGB32);
    uint32* bits = static_cast<uint32*>(checker.Bits());
    for (int y = 0; y < 400; y++) {
        for (int x = 0; x < 800; x++)
            bits[y * 800 + x] = (x + y) % 2 ? 0xffffffffu : 0xff000000u;
    }
    window->Lock();
    view->DrawBitmap(&checker, checker.Bounds(), checker.Bounds());
    window->Unlock();
    QImage shown = device_pixels(view);
    int off = 0;
    for (int y = 0; y < shown.height(); y++) {
        for (int x = 0; x < shown.width(); x++)
            off += std::abs(qRed(shown.pixel(x, y)) - 128) > 1;
    }
    EXPECT_EQ(off, 0);

    BMessenger messenger(window);
    window->Lock();
    window->Quit();
    run_until([&] { return !messenger.IsValid(); });
}

} // namespace
