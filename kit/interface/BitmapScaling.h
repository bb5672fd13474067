#ifndef _BITMAP_SCALING_H
#define _BITMAP_SCALING_H

#include <SupportDefs.h>

#include <QImage>
#include <QPointF>
#include <QRect>

namespace BPrivate {

// A bitmap shown at a scale: device pixel D of the view's space shows the
// bitmap's pixels from D / scale + unitsAtZero to (D + 1) / scale +
// unitsAtZero (the bitmap's pixel coordinates, its first pixel at 0).

// A reduced copy of a whole bitmap, kept between drawings while the bitmap
// (its generation), the scale and its place stay the same.
struct ReducedCache
{
    QImage image;
    // The device pixel of the view's space at the image's top-left corner.
    QPoint first;
    uint64 generation = 0;
    double scale = 0;
    QPointF unitsAtZero;

    void Clear() { *this = ReducedCache(); }
};

// A source image with an alpha channel (Format_ARGB32) comes out
// premultiplied, with its alpha, for the caller to lay over what is there;
// one without comes out opaque.

// An 0xAARRGGBB pixel with its colour multiplied by its alpha.
uint32 premultiply(uint32 pixel);

// Above one device pixel a pixel: each device pixel of area (in the view's
// space) gets the pixel under it, drawn into to from at on, opaque.
void enlarge(const QImage& source, double scale, QPointF unitsAtZero, QRect area, QImage& to,
             QPoint at);

// Below one device pixel a pixel: each device pixel of area gets the average
// of the pixels it covers, each weighted by how much of it lies there, so
// that fine detail (a one-pixel checker) turns to its mean instead of
// aliasing. With a cache and a scale below a half, the whole bitmap is
// reduced once and later drawings copy from the copy; it costs a quarter of
// the bitmap's memory at most.
void reduce(const QImage& source, uint64 generation, double scale, QPointF unitsAtZero, QRect area,
            QImage& to, QPoint at, ReducedCache* cache);

} // namespace BPrivate

#endif
