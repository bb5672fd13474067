#ifndef _TAVRIN_IMAGE_ORIENTATION_H
#define _TAVRIN_IMAGE_ORIENTATION_H

// Turning pictures upright: cameras store rows as the sensor reads them and
// record in an Exif (TIFF-structured) block which way up the picture goes.
// The values are TIFF's Orientation tag, 1 to 8:
//
//   1 as stored           2 mirrored left-right   3 turned 180 degrees
//   4 mirrored top-bottom 5 transposed            6 turned 90 degrees clockwise
//   7 transversed         8 turned 90 degrees anticlockwise
//
// The parser reads untrusted bytes and never looks outside them; the sink
// lets a decoder that delivers rows in stored order deliver them upright.

#include <SupportDefs.h>

#include <cstddef>

#include "BitsRows.h"

namespace BPrivate {

const int32 kOrientationNormal = 1;

// The Orientation (tag 0x0112) of the first directory of an Exif block, which
// may start with the "Exif\0\0" prefix JPEG and WebP files put before it: 1
// to 8, or 0 when there is none, its value is out of range or the block is
// broken.
int32 exif_orientation(const uint8* data, size_t size);

// True for orientations 5 to 8, which swap the picture's width and height.
inline bool orientation_swaps_sides(int32 orientation)
{
    return orientation >= 5 && orientation <= 8;
}

// Passes rows to another sink with the orientation applied. Orientations 1
// and 2 go through a block at a time; the others need the whole picture,
// which is held here until its last row arrives and then sent on upright.
// Any other value is taken as 1.
class OrientingSink : public BitsRowSink
{
public:
    OrientingSink(BitsRowSink* target, int32 orientation);
    ~OrientingSink() override;

    // For a decoder that learns the orientation after making the sink;
    // before Start() only.
    void SetOrientation(int32 orientation);

    status_t Start(uint32 width, uint32 height, bool alpha) override;
    status_t PutRows(const uint8* rows, uint32 count) override;

private:
    OrientingSink(const OrientingSink&) = delete;
    OrientingSink& operator=(const OrientingSink&) = delete;

    status_t _SendUpright();

    BitsRowSink* fTarget;
    int32 fOrientation;
    uint32 fWidth;
    uint32 fHeight;
    uint32 fRowsIn;
    uint8* fPicture; // the whole stored picture, for orientations 3 to 8
    uint8* fBlock;   // a block of rows on their way out
};

// Sends a whole picture that the caller holds, in stored order, to the sink
// upright: Start() with the upright size, then every row.
status_t put_upright_picture(BitsRowSink* target, const uint8* pixels, uint32 width, uint32 height,
                             bool alpha, int32 orientation);

} // namespace BPrivate

#endif
