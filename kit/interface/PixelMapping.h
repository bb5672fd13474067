#ifndef _PIXEL_MAPPING_H
#define _PIXEL_MAPPING_H

#include <Point.h>
#include <Rect.h>

#include <QPointF>
#include <QRect>

namespace BPrivate {

// How a view's coordinates meet the display's device pixels: the one place
// where the kit converts between them.
//
// A window stands in the desktop's logical units (Qt's), which are device
// pixels divided by the window's device pixel ratio. A view counts its own
// units: by default its parent's logical ones, or, once it has a pixel scale
// (BView::SetPixelScale), device pixels times that scale, whatever the
// desktop's scale factor. So a picture drawn at pixel scale 1 is shown pixel
// for pixel on every screen.
//
// Device pixels are counted from the view's own origin. The pointer on
// device pixel D is on view unit floor(D / scale). Above one device pixel a
// unit, D shows that unit, and unit x covers the device pixels from
// ceil(x * scale) to ceil((x + 1) * scale) - 1; below, D shows the units
// from D / scale to (D + 1) / scale, reduced. The view's scroll origin lies
// on a whole device pixel. At scale 1 all of this is the identity.
struct PixelMapping
{
    // Device pixels per view unit.
    double scale = 1;
    // Device pixels per logical unit of the window.
    double ratio = 1;
    // The device pixel of the view's own space at its top-left corner.
    QPoint origin;

    // The mapping of a view whose scroll origin is at view point origin.
    static PixelMapping Make(double scale, double ratio, BPoint origin);

    // The view unit shown at device pixel (x, y) of the view's area.
    BPoint Hit(int x, int y) const;
    // The device pixel of the view's area under a point given in its logical
    // units (as the platform reports the pointer). A pointer on a device
    // pixel's edge counts as on that pixel, whatever the rounding of the
    // logical position.
    QPoint DeviceAt(QPointF logical) const;
    // The device pixels that show the whole units a rectangle reaches into
    // (its pixels, as the kit counts them), in the view's area.
    QRect ToDevice(BRect rect) const;
    // The units shown on a rectangle of device pixels of the view's area.
    BRect ToView(QRect device) const;
    // A point in view units, in device pixels of the view's area.
    QPointF ToDevicePoint(BPoint point) const;
    // View units across n device pixels.
    double Units(double devicePixels) const { return devicePixels / scale; }

    // Device pixels of a window that a rectangle of its logical units
    // covers, edges rounded to the nearest device pixel (as the platform
    // places a widget); and back, to the logical units that hold them.
    static QRect LogicalToDevice(QRect logical, double ratio);
    static QRect DeviceToLogical(QRect device, double ratio);
};

} // namespace BPrivate

#endif
