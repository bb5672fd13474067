#ifndef TAVRIN_SELECTION_H
#define TAVRIN_SELECTION_H

#include <Rect.h>

// The rubber-band selection: shown (and in force) or not, and its rectangle
// in image pixel coordinates.
struct s_sel
{
    bool visible;
    BRect rect;
};

#endif
