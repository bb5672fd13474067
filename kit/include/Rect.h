#ifndef _RECT_H
#define _RECT_H

#include <Point.h>
#include <cmath>

// A rectangle of floats whose edges both belong to it: a rectangle from 0 to w
// covers w + 1 pixels. (0, 0, -1, -1) is the empty rectangle.
class BRect
{
public:
    float left;
    float top;
    float right;
    float bottom;

    constexpr BRect() : left(0), top(0), right(-1), bottom(-1) {}
    constexpr BRect(float l, float t, float r, float b) : left(l), top(t), right(r), bottom(b) {}
    constexpr BRect(BPoint leftTop, BPoint rightBottom)
        : left(leftTop.x), top(leftTop.y), right(rightBottom.x), bottom(rightBottom.y)
    {}

    void Set(float l, float t, float r, float b)
    {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    void PrintToStream() const;

    BPoint LeftTop() const { return BPoint(left, top); }
    BPoint RightBottom() const { return BPoint(right, bottom); }
    BPoint LeftBottom() const { return BPoint(left, bottom); }
    BPoint RightTop() const { return BPoint(right, top); }

    void SetLeftTop(BPoint p)
    {
        left = p.x;
        top = p.y;
    }
    void SetRightBottom(BPoint p)
    {
        right = p.x;
        bottom = p.y;
    }
    void SetLeftBottom(BPoint p)
    {
        left = p.x;
        bottom = p.y;
    }
    void SetRightTop(BPoint p)
    {
        right = p.x;
        top = p.y;
    }

    void InsetBy(float dx, float dy);
    void InsetBy(BPoint p) { InsetBy(p.x, p.y); }
    void OffsetBy(float dx, float dy);
    void OffsetBy(BPoint p) { OffsetBy(p.x, p.y); }
    void OffsetTo(float x, float y);
    void OffsetTo(BPoint p) { OffsetTo(p.x, p.y); }
    BRect& InsetBySelf(float dx, float dy);
    BRect InsetByCopy(float dx, float dy) const;
    BRect& OffsetBySelf(float dx, float dy);
    BRect OffsetByCopy(float dx, float dy) const;
    BRect& OffsetToSelf(float x, float y);
    BRect OffsetToCopy(float x, float y) const;
    BRect OffsetToCopy(BPoint p) const { return OffsetToCopy(p.x, p.y); }

    bool operator==(BRect r) const;
    bool operator!=(BRect r) const { return !(*this == r); }

    // Intersection and union.
    BRect operator&(BRect r) const;
    BRect operator|(BRect r) const;

    bool IsValid() const { return left <= right && top <= bottom; }
    float Width() const { return right - left; }
    int32 IntegerWidth() const { return (int32)std::ceil(right - left); }
    float Height() const { return bottom - top; }
    int32 IntegerHeight() const { return (int32)std::ceil(bottom - top); }

    bool Intersects(BRect r) const;
    bool Contains(BPoint p) const;
    bool Contains(BRect r) const;
};

#endif
