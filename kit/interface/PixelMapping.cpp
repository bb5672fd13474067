#include "PixelMapping.h"

#include <cmath>

namespace BPrivate {

namespace {

// Products of a scale and a whole number land a hair off whole numbers
// (30 * 0.1 is 3.0000000000000004, and a zoom of a third held in a float
// puts device pixel 5 on unit 14.9999996); within this they count as whole.
const double kSlack = 1e-4;

int floor_of(double value)
{
    return (int)std::floor(value + kSlack);
}

int ceil_of(double value)
{
    return (int)std::ceil(value - kSlack);
}

int round_of(double value)
{
    return (int)std::lround(value);
}

} // namespace

PixelMapping PixelMapping::Make(double scale, double ratio, BPoint origin)
{
    PixelMapping mapping;
    mapping.scale = scale > 0 && std::isfinite(scale) ? scale : 1;
    mapping.ratio = ratio > 0 && std::isfinite(ratio) ? ratio : 1;
    mapping.origin = QPoint(round_of(origin.x * mapping.scale), round_of(origin.y * mapping.scale));
    return mapping;
}

BPoint PixelMapping::Hit(int x, int y) const
{
    return BPoint((float)floor_of((x + origin.x()) / scale),
                  (float)floor_of((y + origin.y()) / scale));
}

QPoint PixelMapping::DeviceAt(QPointF logical) const
{
    // The platform divides the device position by the ratio; multiplying
    // back may fall just short of the pixel it came from.
    const double kEdge = 1e-3;
    return QPoint((int)std::floor(logical.x() * ratio + kEdge),
                  (int)std::floor(logical.y() * ratio + kEdge));
}

QRect PixelMapping::ToDevice(BRect rect) const
{
    // The rectangle's pixels, as the kit counts them everywhere (to_qrect).
    double left = std::floor(rect.left);
    double top = std::floor(rect.top);
    double right = std::floor(rect.right);
    double bottom = std::floor(rect.bottom);
    if (scale == 1)
        return QRect(QPoint((int)left - origin.x(), (int)top - origin.y()),
                     QPoint((int)right - origin.x(), (int)bottom - origin.y()));
    // Above one device pixel a unit, those that show the units (the hit
    // rule); below, every one the units reach into, each showing several.
    auto first = [this](double unit) {
        return scale >= 1 ? ceil_of(unit * scale) : floor_of(unit * scale);
    };
    return QRect(QPoint(first(left) - origin.x(), first(top) - origin.y()),
                 QPoint(ceil_of((right + 1) * scale) - 1 - origin.x(),
                        ceil_of((bottom + 1) * scale) - 1 - origin.y()));
}

BRect PixelMapping::ToView(QRect device) const
{
    auto last = [this](int pixel) {
        return scale >= 1 ? floor_of(pixel / scale) : ceil_of((pixel + 1) / scale) - 1;
    };
    return BRect((float)floor_of((device.left() + origin.x()) / scale),
                 (float)floor_of((device.top() + origin.y()) / scale),
                 (float)last(device.right() + origin.x()),
                 (float)last(device.bottom() + origin.y()));
}

QPointF PixelMapping::ToDevicePoint(BPoint point) const
{
    return QPointF(point.x * scale - origin.x(), point.y * scale - origin.y());
}

QRect PixelMapping::LogicalToDevice(QRect logical, double ratio)
{
    if (ratio == 1)
        return logical;
    int left = round_of(logical.x() * ratio);
    int top = round_of(logical.y() * ratio);
    int right = round_of((logical.x() + logical.width()) * ratio);
    int bottom = round_of((logical.y() + logical.height()) * ratio);
    return QRect(left, top, right - left, bottom - top);
}

QRect PixelMapping::DeviceToLogical(QRect device, double ratio)
{
    if (ratio == 1)
        return device;
    int left = floor_of(device.x() / ratio);
    int top = floor_of(device.y() / ratio);
    int right = ceil_of((device.x() + device.width()) / ratio);
    int bottom = ceil_of((device.y() + device.height()) / ratio);
    return QRect(left, top, right - left, bottom - top);
}

} // namespace BPrivate
