// The drawing calls of BView. They paint at once into the view's target (its
// backing store, the bitmap it is attached to, or a printer) and schedule a
// flush of what they touched. Shapes are pixel exact, never anti-aliased.

#include <Bitmap.h>
#include <Checkerboard.h>
#include <PixelSize.h>
#include <View.h>

#include "BitmapScaling.h"
#include "ViewPrivate.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

using BPrivate::DrawTarget;
using BPrivate::PixelMapping;
using BPrivate::to_qrect;
using BPrivate::ViewBridge;
using BPrivate::ViewData;

namespace {

inline uint32 pixel_of(rgb_color c)
{
    return 0xff000000u | ((uint32)c.red << 16) | ((uint32)c.green << 8) | c.blue;
}

inline bool is_solid(const pattern& p, uint8 value)
{
    for (uint8 row : p.data) {
        if (row != value)
            return false;
    }
    return true;
}

// A device pixel of the view's space, counted in the pattern's cells.
inline int pattern_coordinate(const DrawTarget& target, int device)
{
    if (target.patternUnit == 1)
        return device;
    return (int)std::floor((device + 1e-7) / target.patternUnit);
}

// Fills a rectangle of image pixels with a pattern aligned to view coordinates.
void fill_pattern(DrawTarget& target, QRect area, const pattern& p, uint32 high, uint32 low)
{
    area &= target.clip;
    if (area.isEmpty())
        return;
    QImage& image = *target.image;
    bool solidHigh = is_solid(p, 0xff);
    bool solidLow = is_solid(p, 0x00);
    for (int y = area.top(); y <= area.bottom(); y++) {
        uint32* row = reinterpret_cast<uint32*>(image.scanLine(y));
        if (solidHigh || solidLow) {
            uint32 value = solidHigh ? high : low;
            std::fill(row + area.left(), row + area.right() + 1, value);
            continue;
        }
        // Pattern bit for pixel (x, y) of the view: row y mod 8, bit x mod 8,
        // leftmost first.
        int viewY = pattern_coordinate(target, y - target.dy + target.map.origin.y());
        uint8 bits = p.data[((viewY % 8) + 8) % 8];
        for (int x = area.left(); x <= area.right(); x++) {
            int viewX = pattern_coordinate(target, x - target.dx + target.map.origin.x());
            bool set = bits & (0x80 >> (((viewX % 8) + 8) % 8));
            row[x] = set ? high : low;
        }
    }
}

QBrush pattern_brush(const pattern& p, rgb_color high, rgb_color low)
{
    QImage tile(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; y++) {
        for (int x = 0; x < 8; x++)
            tile.setPixel(x, y, (p.data[y] & (0x80 >> x)) ? pixel_of(high) : pixel_of(low));
    }
    return QBrush(tile);
}

QRect to_image(const DrawTarget& target, BRect rect)
{
    return target.map.ToDevice(rect).translated(target.dx, target.dy);
}

// A painter on the target's image that takes view units.
void begin_units(QPainter& painter, const DrawTarget& target)
{
    painter.begin(target.image);
    painter.setClipRect(target.clip);
    painter.translate(target.dx - target.map.origin.x(), target.dy - target.map.origin.y());
    painter.scale(target.map.scale, target.map.scale);
}

QImage wrap_bitmap(const BBitmap* bitmap, bool alpha)
{
    BRect bounds = bitmap->Bounds();
    // Copying ignores the alpha channel, as the platform's B_OP_COPY does;
    // B_OP_ALPHA lays the pixels over what is there by it.
    return QImage((const uchar*)bitmap->Bits(), pixel_width(bounds), pixel_height(bounds),
                  bitmap->BytesPerRow(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

// A premultiplied pixel laid over an opaque one.
inline uint32 over(uint32 pixel, uint32 under)
{
    uint32 keep = 255 - (pixel >> 24);
    if (keep == 0)
        return pixel;
    uint32 result = 0xff000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32 top = (pixel >> shift) & 0xff;
        uint32 bottom = (under >> shift) & 0xff;
        result |= std::min(255u, top + (bottom * keep + 127) / 255) << shift;
    }
    return result;
}

// Lays a premultiplied layer over the image from at on.
void lay_over(const QImage& layer, QImage& image, QPoint at)
{
    for (int y = 0; y < layer.height(); y++) {
        const uint32* in = reinterpret_cast<const uint32*>(layer.constScanLine(y));
        uint32* out = reinterpret_cast<uint32*>(image.scanLine(at.y() + y)) + at.x();
        for (int x = 0; x < layer.width(); x++)
            out[x] = over(in[x], out[x]);
    }
}

} // namespace

void BView::FillRect(BRect rect, const pattern& p)
{
    DrawTarget target;
    if (!ViewBridge::MakeTarget(this, &target))
        return;
    if (target.painter) {
        QRectF area(rect.left, rect.top, rect.Width() + 1, rect.Height() + 1);
        target.painter->fillRect(area, pattern_brush(p, fData->highColor, fData->lowColor));
        return;
    }
    QRect area = to_image(target, rect) & target.clip;
    fill_pattern(target, area, p, pixel_of(fData->highColor), pixel_of(fData->lowColor));
    ViewBridge::Touched(this, area);
}

void BView::StrokeRect(BRect rect, const pattern& p)
{
    if (!rect.IsValid())
        return;
    DrawTarget target;
    if (fData->pixelScale > 0 && fData->pixelScale != 1 && ViewBridge::MakeTarget(this, &target) &&
        !target.painter) {
        // A view that counts device pixels gets a frame one device pixel
        // wide around the device pixels of the rectangle, at any scale.
        QRect outline = to_image(target, rect);
        uint32 high = pixel_of(fData->highColor);
        uint32 low = pixel_of(fData->lowColor);
        QRect edges[] = {QRect(outline.left(), outline.top(), outline.width(), 1),
                         QRect(outline.left(), outline.bottom(), outline.width(), 1),
                         QRect(outline.left(), outline.top(), 1, outline.height()),
                         QRect(outline.right(), outline.top(), 1, outline.height())};
        for (const QRect& edge : edges) {
            QRect area = edge & target.clip;
            fill_pattern(target, area, p, high, low);
            ViewBridge::Touched(this, area);
        }
        return;
    }
    FillRect(BRect(rect.left, rect.top, rect.right, rect.top), p);
    FillRect(BRect(rect.left, rect.bottom, rect.right, rect.bottom), p);
    FillRect(BRect(rect.left, rect.top, rect.left, rect.bottom), p);
    FillRect(BRect(rect.right, rect.top, rect.right, rect.bottom), p);
}

void BView::StrokeLine(BPoint toPoint, const pattern& p)
{
    StrokeLine(fData->penLocation, toPoint, p);
}

void BView::StrokeLine(BPoint start, BPoint end, const pattern& p)
{
    fData->penLocation = end;
    if (start.x == end.x || start.y == end.y) {
        FillRect(BRect(std::min(start.x, end.x), std::min(start.y, end.y), std::max(start.x, end.x),
                       std::max(start.y, end.y)),
                 p);
        return;
    }
    DrawTarget target;
    if (!ViewBridge::MakeTarget(this, &target))
        return;
    QPainter* painter = target.painter;
    QPainter local;
    if (!painter) {
        begin_units(local, target);
        painter = &local;
    }
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(pattern_brush(p, fData->highColor, fData->lowColor), fData->penSize));
    painter->drawLine(QPointF(start.x, start.y), QPointF(end.x, end.y));
    if (!target.painter) {
        local.end();
        ViewBridge::Touched(this,
                            to_image(target, BRect(std::min(start.x, end.x) - fData->penSize,
                                                   std::min(start.y, end.y) - fData->penSize,
                                                   std::max(start.x, end.x) + fData->penSize,
                                                   std::max(start.y, end.y) + fData->penSize)));
    }
}

void BView::DrawBitmap(const BBitmap* bitmap, BRect srcRect, BRect dstRect)
{
    if (!bitmap || !bitmap->Bits())
        return;
    color_space space = bitmap->ColorSpace();
    if (space != B_RGB32 && space != B_RGBA32)
        return;
    DrawTarget target;
    if (!ViewBridge::MakeTarget(this, &target))
        return;

    // Only the part of the source that lies on the bitmap is drawn.
    BRect bounds = bitmap->Bounds();
    BRect src = srcRect & bounds;
    if (!src.IsValid() || !dstRect.IsValid())
        return;
    float scaleX = (dstRect.Width() + 1) / (srcRect.Width() + 1);
    float scaleY = (dstRect.Height() + 1) / (srcRect.Height() + 1);
    BRect dst(dstRect.left + (src.left - srcRect.left) * scaleX,
              dstRect.top + (src.top - srcRect.top) * scaleY,
              dstRect.left + (src.right + 1 - srcRect.left) * scaleX - 1,
              dstRect.top + (src.bottom + 1 - srcRect.top) * scaleY - 1);

    // With B_OP_ALPHA a picture with alpha goes over what the view shows.
    bool blend = fData->drawingMode == B_OP_ALPHA && space == B_RGBA32;
    QImage source = wrap_bitmap(bitmap, blend);
    QRect sourceRect = to_qrect(src).translated(-(int)bounds.left, -(int)bounds.top);

    if (target.painter) {
        target.painter->drawImage(QRectF(dst.left, dst.top, dst.Width() + 1, dst.Height() + 1),
                                  source, sourceRect);
        return;
    }

    QRect destRect = to_image(target, dst);
    bool unitForUnit = srcRect.Width() == dstRect.Width() && srcRect.Height() == dstRect.Height();
    if (unitForUnit && target.map.scale != 1) {
        // Each pixel of the bitmap is one unit of the view: the device
        // pixels show the unit under them (above one device pixel a unit),
        // or the average of the units they cover (below).
        QRect area = destRect & target.clip;
        if (area.isEmpty())
            return;
        // Device pixel (0, 0) of the view's space, in the bitmap's pixels.
        QPointF unitsAtZero(src.left - dst.left - bounds.left, src.top - dst.top - bounds.top);
        QRect inSpace = area.translated(target.map.origin - QPoint(target.dx, target.dy));
        // Blended pixels are made in a layer of their own first.
        QImage layer;
        if (blend) {
            layer = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
            if (layer.isNull())
                return;
        }
        QImage& into = blend ? layer : *target.image;
        QPoint at = blend ? QPoint(0, 0) : area.topLeft();
        if (target.map.scale > 1) {
            BPrivate::enlarge(source, target.map.scale, unitsAtZero, inSpace, into, at);
        } else {
            // Views that show pictures keep a reduced copy between drawings.
            BPrivate::ReducedCache* cache = fData->pixelScale > 0 ? &fData->reduced : nullptr;
            BPrivate::reduce(source, bitmap->Generation(), target.map.scale, unitsAtZero, inSpace,
                             into, at, cache);
        }
        if (blend)
            lay_over(layer, *target.image, area.topLeft());
        ViewBridge::Touched(this, area);
        return;
    }
    if (destRect.size() == sourceRect.size()) {
        // Unscaled: a straight copy of the rows, alpha made opaque.
        QRect area = destRect & target.clip;
        if (area.isEmpty())
            return;
        int sx = sourceRect.left() + (area.left() - destRect.left());
        int sy = sourceRect.top() + (area.top() - destRect.top());
        QImage& image = *target.image;
        int count = area.width();
        for (int y = 0; y < area.height(); y++) {
            const uint32* in = reinterpret_cast<const uint32*>(source.constScanLine(sy + y)) + sx;
            uint32* out = reinterpret_cast<uint32*>(image.scanLine(area.top() + y)) + area.left();
            if (blend) {
                for (int x = 0; x < count; x++)
                    out[x] = over(BPrivate::premultiply(in[x]), out[x]);
            } else {
                for (int x = 0; x < count; x++)
                    out[x] = in[x] | 0xff000000u;
            }
        }
        ViewBridge::Touched(this, area);
        return;
    }

    QPainter painter(target.image);
    painter.setClipRect(target.clip);
    painter.setCompositionMode(blend ? QPainter::CompositionMode_SourceOver
                                     : QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRectF(destRect), source, QRectF(sourceRect));
    painter.end();
    ViewBridge::Touched(this, destRect & target.clip);
}

void BView::DrawBitmap(const BBitmap* bitmap, BRect dstRect)
{
    if (bitmap)
        DrawBitmap(bitmap, bitmap->Bounds(), dstRect);
}

void BView::DrawBitmap(const BBitmap* bitmap, BPoint where)
{
    if (bitmap)
        DrawBitmap(bitmap, bitmap->Bounds(), bitmap->Bounds().OffsetToCopy(where));
}

void BView::DrawBitmap(const BBitmap* bitmap)
{
    DrawBitmap(bitmap, fData->penLocation);
}

void BView::DrawBitmapAsync(const BBitmap* bitmap, BRect srcRect, BRect dstRect)
{
    DrawBitmap(bitmap, srcRect, dstRect);
}

void BView::DrawString(const char* string, BPoint location)
{
    if (string)
        DrawString(string, (int32)strlen(string), location);
}

void BView::DrawString(const char* string)
{
    DrawString(string, fData->penLocation);
}

void BView::DrawString(const char* string, int32 length, BPoint location)
{
    if (!string || length <= 0)
        return;
    DrawTarget target;
    float width = fData->font.StringWidth(string, length);
    fData->penLocation.Set(location.x + width, location.y);
    if (!ViewBridge::MakeTarget(this, &target))
        return;

    QString text = QString::fromUtf8(string, length);
    QFont font = BPrivate::to_qfont(fData->font);
    QPainter* painter = target.painter;
    QPainter local;
    if (!painter) {
        begin_units(local, target);
        painter = &local;
    }
    painter->save();
    painter->setFont(font);
    painter->setPen(BPrivate::to_qcolor(fData->highColor));
    painter->drawText(QPointF(location.x, location.y), text);
    painter->restore();
    if (!target.painter) {
        local.end();
        font_height height;
        fData->font.GetHeight(&height);
        BRect touched(location.x - 2, location.y - height.ascent - 2, location.x + width + 2,
                      location.y + height.descent + 2);
        ViewBridge::Touched(this, to_image(target, touched) & target.clip);
    }
}

namespace BPrivate {

void fill_checkerboard(BView* view, BRect rect)
{
    const uint32 kLight = 0xffcccccc, kDark = 0xff999999;
    const int kSquare = 8;
    DrawTarget target;
    if (view == nullptr || !ViewBridge::MakeTarget(view, &target) || target.painter)
        return;
    QRect area = to_image(target, rect) & target.clip;
    QImage& image = *target.image;
    for (int y = area.top(); y <= area.bottom(); y++) {
        // Squares are counted in device pixels of the view's own space, so
        // that they move with the picture when it scrolls.
        int row = y - target.dy + target.map.origin.y();
        bool oddRow = ((row >= 0 ? row : row - kSquare + 1) / kSquare) & 1;
        uint32* out = reinterpret_cast<uint32*>(image.scanLine(y));
        for (int x = area.left(); x <= area.right(); x++) {
            int column = x - target.dx + target.map.origin.x();
            bool oddColumn = ((column >= 0 ? column : column - kSquare + 1) / kSquare) & 1;
            out[x] = oddRow != oddColumn ? kDark : kLight;
        }
    }
    ViewBridge::Touched(view, area);
}

} // namespace BPrivate
