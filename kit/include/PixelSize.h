#ifndef _PIXEL_SIZE_H
#define _PIXEL_SIZE_H

#include <Rect.h>

#include <cmath>

// The kit's one rule for how many pixels an extent covers. Edges lie on pixel
// centres, so 0 to 9 covers ten pixels; a fractional extent rounds up, as
// IntegerWidth() does, so a pixel the extent only partly reaches still counts.
// A reversed or non-finite extent covers none; the count stops at INT32_MAX.
inline int32 pixel_span(float low, float high)
{
    double extent = (double)high - (double)low;
    if (!(extent >= 0) || !std::isfinite(extent))
        return 0;
    extent = std::ceil(extent) + 1;
    return extent >= (double)INT32_MAX ? INT32_MAX : (int32)extent;
}

// The pixels a rectangle covers across and down, by the rule above.
inline int32 pixel_width(const BRect& r)
{
    return pixel_span(r.left, r.right);
}

inline int32 pixel_height(const BRect& r)
{
    return pixel_span(r.top, r.bottom);
}

#endif
