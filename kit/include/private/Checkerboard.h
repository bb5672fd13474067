#ifndef _TAVRIN_CHECKERBOARD_H
#define _TAVRIN_CHECKERBOARD_H

#include <Rect.h>

class BView;

namespace BPrivate {

// Fills a rectangle of the view (its coordinates) with the light and dark
// grey squares that show where a picture is transparent: each square is 8
// device pixels wide at every zoom and desktop scale, counted from the
// view's own origin, so that the pattern moves with the picture. A picture
// drawn over it with B_OP_ALPHA lets it show through.
void fill_checkerboard(BView* view, BRect rect);

} // namespace BPrivate

#endif
