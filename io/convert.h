#ifndef TAVRIN_CONVERT_H
#define TAVRIN_CONVERT_H

class BBitmap;

// A bitmap every pixel copy of the program can use: 32 bits a pixel, rows of
// exactly width x 4 bytes, bounds from (0, 0). Returns the bitmap itself when
// it already is one, a new B_RGB32 (or B_RGBA32) copy otherwise, or NULL for a
// colour space it cannot read. Either way the caller then owns what it gets,
// and the source is deleted when a copy was made.
BBitmap* make_copyable(BBitmap* source);

#endif
