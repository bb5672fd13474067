#include <Point.h>
#include <Rect.h>

#include <cstdio>

void BPoint::ConstrainTo(BRect rect)
{
    if (x > rect.right)
        x = rect.right;
    if (x < rect.left)
        x = rect.left;
    if (y > rect.bottom)
        y = rect.bottom;
    if (y < rect.top)
        y = rect.top;
}

void BPoint::PrintToStream() const
{
    printf("BPoint(x:%.1f, y:%.1f)\n", x, y);
}
