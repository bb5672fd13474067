// The conversion between a view's units and the display's device pixels, at
// the scale factors desktops use and at zooms in and out.

#include "interface/PixelMapping.h"

#include <gtest/gtest.h>

namespace {

using BPrivate::PixelMapping;

struct Scene
{
    double scale;
    double ratio;
    BPoint origin;
};

const Scene kScenes[] = {
    {1, 1, BPoint(0, 0)},          {1, 2, BPoint(0, 0)},      {1, 1.25, BPoint(37, 5)},
    {1, 1.5, BPoint(3, 11)},       {2, 2, BPoint(10, 4)},     {1.25, 1.25, BPoint(0, 0)},
    {3, 1, BPoint(7, 0)},          {0.25, 1, BPoint(400, 8)}, {1 / 3.0, 2, BPoint(99, 0)},
    {2 / 3.0, 1.5, BPoint(0, 33)}, {64, 1, BPoint(2, 2)},     {1 / 64.0, 1, BPoint(640, 0)},
};

// Every device pixel shows the unit whose device pixels hold it, and the
// pointer over a device pixel (in logical units, as the platform reports
// it) finds that device pixel.
TEST(PixelMappingTest, DevicePixelsAndUnitsAgree)
{
    for (const Scene& scene : kScenes) {
        PixelMapping map = PixelMapping::Make(scene.scale, scene.ratio, scene.origin);
        SCOPED_TRACE(testing::Message() << "scale " << scene.scale << " ratio " << scene.ratio
                                        << " origin " << scene.origin.x << "," << scene.origin.y);
        for (int d = 0; d < 700; d++) {
            BPoint unit = map.Hit(d, d);
            QRect covering = map.ToDevice(BRect(unit.x, unit.y, unit.x, unit.y));
            ASSERT_TRUE(covering.contains(d, d)) << "device " << d << " unit " << unit.x;
            ASSERT_EQ(map.DeviceAt(QPointF(d / scene.ratio, d / scene.ratio)), QPoint(d, d));
        }
        // Enlarged, units side by side cover the device pixels without gap
        // or overlap; reduced, a device pixel shows every unit it reaches.
        for (int u = -3; u < 60; u++) {
            QRect a = map.ToDevice(BRect(u, 0, u, 0));
            if (scene.scale >= 1) {
                QRect b = map.ToDevice(BRect(u + 1, 0, u + 1, 0));
                ASSERT_EQ(a.right() + 1, b.left()) << "unit " << u;
                ASSERT_EQ(map.ToView(a), BRect(u, 0, u, 0));
            } else {
                ASSERT_TRUE(map.ToView(a).Contains(BPoint(u, 0))) << "unit " << u;
            }
        }
    }
}

TEST(PixelMappingTest, KnownPlaces)
{
    struct Case
    {
        Scene scene;
        QPoint device;
        BPoint unit;
        BRect rect;
        QRect onDevice;
    };
    const Case cases[] = {
        // One device pixel a unit: the identity, less the scroll origin.
        {{1, 2, BPoint(0, 0)},
         QPoint(301, 203),
         BPoint(301, 203),
         BRect(150, 101, 160, 110),
         QRect(QPoint(150, 101), QPoint(160, 110))},
        {{1, 1, BPoint(20, 30)},
         QPoint(0, 0),
         BPoint(20, 30),
         BRect(20, 30, 20, 30),
         QRect(0, 0, 1, 1)},
        // Zoomed in twice: device (301, 203) is on unit (150, 101).
        {{2, 2, BPoint(0, 0)},
         QPoint(301, 203),
         BPoint(150, 101),
         BRect(150, 101, 150, 101),
         QRect(300, 202, 2, 2)},
        // Four units to the device pixel: a unit rectangle covers the
        // device pixels it reaches into.
        {{0.25, 1, BPoint(0, 0)},
         QPoint(10, 10),
         BPoint(40, 40),
         BRect(41, 41, 44, 44),
         QRect(10, 10, 2, 2)},
        // A zoom of a third, scrolled by 99 units: the origin is on device pixel 33.
        {{1 / 3.0, 1, BPoint(99, 0)},
         QPoint(0, 0),
         BPoint(99, 0),
         BRect(99, 0, 101, 2),
         QRect(0, 0, 1, 1)},
    };
    for (const Case& c : cases) {
        PixelMapping map = PixelMapping::Make(c.scene.scale, c.scene.ratio, c.scene.origin);
        EXPECT_EQ(map.Hit(c.device.x(), c.device.y()), c.unit) << c.scene.scale;
        EXPECT_EQ(map.ToDevice(c.rect), c.onDevice) << c.scene.scale;
    }
}

// A widget's logical rectangle lands on whole device pixels as the platform
// places it, and the logical rectangle back holds all of them.
TEST(PixelMappingTest, LogicalAndDevicePixels)
{
    struct Case
    {
        QRect logical;
        double ratio;
        QRect device;
    };
    const Case cases[] = {
        {QRect(0, 20, 187, 117), 1, QRect(0, 20, 187, 117)},
        {QRect(0, 20, 187, 117), 2, QRect(0, 40, 374, 234)},
        {QRect(0, 20, 187, 117), 1.25, QRect(0, 25, 234, 146)},
        {QRect(21, 21, 10, 10), 1.25, QRect(26, 26, 13, 13)},
        {QRect(3, 7, 100, 50), 1.5, QRect(5, 11, 150, 75)},
    };
    for (const Case& c : cases) {
        QRect device = PixelMapping::LogicalToDevice(c.logical, c.ratio);
        EXPECT_EQ(device, c.device) << c.ratio;
        EXPECT_TRUE(PixelMapping::DeviceToLogical(device, c.ratio).contains(c.logical)) << c.ratio;
        EXPECT_TRUE(
            PixelMapping::LogicalToDevice(PixelMapping::DeviceToLogical(device, c.ratio), c.ratio)
                .contains(device))
            << c.ratio;
    }
}

} // namespace
