#ifndef _POINT_H
#define _POINT_H

#include <SupportDefs.h>

class BRect;

// A point in a coordinate space of floats.
class BPoint
{
public:
    float x;
    float y;

    constexpr BPoint() : x(0), y(0) {}
    constexpr BPoint(float X, float Y) : x(X), y(Y) {}

    void Set(float X, float Y)
    {
        x = X;
        y = Y;
    }
    void ConstrainTo(BRect rect);
    void PrintToStream() const;

    BPoint operator-() const { return BPoint(-x, -y); }
    BPoint operator+(const BPoint& p) const { return BPoint(x + p.x, y + p.y); }
    BPoint operator-(const BPoint& p) const { return BPoint(x - p.x, y - p.y); }
    BPoint& operator+=(const BPoint& p)
    {
        x += p.x;
        y += p.y;
        return *this;
    }
    BPoint& operator-=(const BPoint& p)
    {
        x -= p.x;
        y -= p.y;
        return *this;
    }
    bool operator==(const BPoint& p) const { return x == p.x && y == p.y; }
    bool operator!=(const BPoint& p) const { return !(*this == p); }
};

extern const BPoint B_ORIGIN;

#endif
