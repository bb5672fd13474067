#include <Rect.h>

#include <algorithm>
#include <cstdio>

void BRect::PrintToStream() const
{
    printf("BRect(l:%.1f, t:%.1f, r:%.1f, b:%.1f)\n", left, top, right, bottom);
}

void BRect::InsetBy(float dx, float dy)
{
    left += dx;
    top += dy;
    right -= dx;
    bottom -= dy;
}

void BRect::OffsetBy(float dx, float dy)
{
    left += dx;
    top += dy;
    right += dx;
    bottom += dy;
}

void BRect::OffsetTo(float x, float y)
{
    right = x + (right - left);
    bottom = y + (bottom - top);
    left = x;
    top = y;
}

BRect& BRect::InsetBySelf(float dx, float dy)
{
    InsetBy(dx, dy);
    return *this;
}

BRect BRect::InsetByCopy(float dx, float dy) const
{
    BRect copy(*this);
    copy.InsetBy(dx, dy);
    return copy;
}

BRect& BRect::OffsetBySelf(float dx, float dy)
{
    OffsetBy(dx, dy);
    return *this;
}

BRect BRect::OffsetByCopy(float dx, float dy) const
{
    BRect copy(*this);
    copy.OffsetBy(dx, dy);
    return copy;
}

BRect& BRect::OffsetToSelf(float x, float y)
{
    OffsetTo(x, y);
    return *this;
}

BRect BRect::OffsetToCopy(float x, float y) const
{
    BRect copy(*this);
    copy.OffsetTo(x, y);
    return copy;
}

bool BRect::operator==(BRect r) const
{
    return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
}

// Rectangles that do not meet give an invalid result (left > right or top > bottom).
BRect BRect::operator&(BRect r) const
{
    return BRect(std::max(left, r.left), std::max(top, r.top), std::min(right, r.right),
                 std::min(bottom, r.bottom));
}

BRect BRect::operator|(BRect r) const
{
    return BRect(std::min(left, r.left), std::min(top, r.top), std::max(right, r.right),
                 std::max(bottom, r.bottom));
}

bool BRect::Intersects(BRect r) const
{
    if (!IsValid() || !r.IsValid())
        return false;
    return r.left <= right && r.right >= left && r.top <= bottom && r.bottom >= top;
}

bool BRect::Contains(BPoint p) const
{
    return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
}

bool BRect::Contains(BRect r) const
{
    return IsValid() && r.IsValid() && r.left >= left && r.right <= right && r.top >= top &&
           r.bottom <= bottom;
}
