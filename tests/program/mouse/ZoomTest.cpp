// The picture at two device pixels a point (run with QT_SCALE_FACTOR=2) and
// at several zooms: the pointer's device pixel decides the picture pixel, so
// a crop takes exactly the pixels under the press and the release, and the
// view shows them one for one at 100 %.

#include "MouseFixture.h"

#include <PixelSize.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

#include <cmath>

namespace {

class ZoomTest : public MouseTest
{
protected:
    // A button event at a device pixel of the view, as the platform sends it.
    void Send(QEvent::Type type, QPoint device, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QWidget* widget = BPrivate::ViewBridge::Widget(view);
        QPointF local(device.x() / 2.0, device.y() / 2.0);
        QPointF scene = local + QPointF(widget->mapTo(widget->window(), QPoint(0, 0)));
        QMouseEvent event(type, local, scene, widget->mapToGlobal(local), button, held,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &event);
    }

    void CropGesture(QPoint from, QPoint to)
    {
        Send(QEvent::MouseButtonPress, from, Qt::RightButton, Qt::RightButton);
        Send(QEvent::MouseMove, to, Qt::NoButton, Qt::RightButton);
        Send(QEvent::MouseButtonRelease, to, Qt::RightButton, Qt::NoButton);
        run_until([&] {
            return view->mousemode == kGestureNone && view->image &&
                   pixel_width(view->image->Bounds()) != 600;
        });
        Settle();
    }
};

TEST_F(ZoomTest, CropsTakeThePixelsUnderThePointer)
{
    struct Case
    {
        float zoom;
        QPoint from, to; // device pixels of the view
    };
    const Case cases[] = {
        {1, QPoint(301, 203), QPoint(340, 231)}, {1, QPoint(300, 202), QPoint(301, 203)},
        {2, QPoint(301, 203), QPoint(340, 231)}, {3, QPoint(10, 11), QPoint(100, 50)},
        {1.5f, QPoint(31, 17), QPoint(151, 99)}, {0.5f, QPoint(7, 9), QPoint(120, 80)},
        {1 / 3.f, QPoint(5, 5), QPoint(60, 40)}, {2, QPoint(340, 231), QPoint(301, 203)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "zoom " << c.zoom << " from " << c.from.x() << ","
                                        << c.from.y() << " to " << c.to.x() << "," << c.to.y());
        GiveImage(600, 400);
        window->Lock();
        view->setzoom(c.zoom, BPoint(0, 0));
        window->Unlock();
        Settle();
        ASSERT_EQ(view->zoom(), c.zoom);
        CropGesture(c.from, c.to);
        auto unit = [&](int device) { return (int)std::floor(device / c.zoom + 1e-6); };
        int left = unit(std::min(c.from.x(), c.to.x())),
            right = unit(std::max(c.from.x(), c.to.x()));
        int top = unit(std::min(c.from.y(), c.to.y())),
            bottom = unit(std::max(c.from.y(), c.to.y()));
        ASSERT_NE(view->image, nullptr);
        BRect bounds = view->image->Bounds();
        ASSERT_EQ(pixel_width(bounds), right - left + 1);
        ASSERT_EQ(pixel_height(bounds), bottom - top + 1);
        const uint32* bits = static_cast<const uint32*>(view->image->Bits());
        EXPECT_EQ(bits[0], Colour(left, top));
        EXPECT_EQ(bits[view->image->BitsLength() / 4 - 1], Colour(right, bottom));
        // A crop keeps the zoom, and the title says it.
        EXPECT_EQ(view->zoom(), c.zoom);
    }
}

// The wheel moves the picture as far on the screen at every zoom: a small
// step is ten of the window's units, two device pixels each here.
TEST_F(ZoomTest, ScrollStepsFollowTheZoom)
{
    GiveImage(600, 400);
    // At 100 % the window holds the picture's 400 rows of device pixels:
    // half as many of its own units, plus the menu bar and the bar.
    EXPECT_EQ(view->Bounds().Height(), 399);
    EXPECT_EQ(window->Frame().Height(), 200 - 1 + 34);
    for (float zoom : {0.25f, 0.5f, 1.f, 2.f, 8.f}) {
        window->Lock();
        view->setzoom(zoom, BPoint(0, 0));
        window->Unlock();
        Settle();
        float small, large;
        window->scrollv->GetSteps(&small, &large);
        EXPECT_FLOAT_EQ(small, 20 / zoom) << zoom;
        window->scrollh->GetSteps(&small, &large);
        EXPECT_FLOAT_EQ(small, 20 / zoom) << zoom;
    }
    EXPECT_STREQ(window->Title(), "pattern[600x400] 800%");
}

} // namespace
