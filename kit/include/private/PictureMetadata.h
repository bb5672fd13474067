#ifndef _TAVRIN_PICTURE_METADATA_H
#define _TAVRIN_PICTURE_METADATA_H

// What a picture carries besides its pixels: the colour profile its numbers
// are in, and the Exif and XMP blocks a camera or a program wrote. A decoder
// fills one from its file and hands it on in the ioExtension message of the
// translation (before it writes the 'bits' header, so that an encoder
// reading the same stream as it is written finds it in time); an encoder
// takes it from there. A BBitmap keeps one for as long as it lives, so the
// program carries it through a save, a crop and a drag.
//
// The blocks are bytes from files, never trusted: every edit below checks
// each offset against the block and leaves a broken block as it is.

#include <SupportDefs.h>

#include <string>

class BMessage;

namespace BPrivate {

// A colour description by code points (ITU-T H.273), as HEIF, AVIF and JPEG XL
// files may give it instead of a profile. Primaries 0 means none.
struct ColorCodePoints
{
    uint16 primaries = 0;
    uint16 transfer = 0;
    uint16 matrix = 0;
    bool fullRange = true;

    bool IsSet() const { return primaries != 0; }
    // sRGB primaries with the sRGB curve: what an untagged picture already is.
    bool IsSRGB() const { return primaries == 1 && transfer == 13; }
};

struct PictureMetadata
{
    std::string icc;  // an ICC profile, whole
    std::string exif; // a TIFF-structured block, without the "Exif\0\0" prefix
    std::string xmp;  // an XMP packet (UTF-8 XML)
    ColorCodePoints cicp;

    bool IsEmpty() const { return icc.empty() && exif.empty() && xmp.empty() && !cicp.IsSet(); }
    bool HasColorDescription() const { return !icc.empty() || cicp.IsSet(); }

    // Puts the blocks into the message as the B_TRANSLATOR_EXT_* fields,
    // replacing any there; empty blocks remove theirs.
    void AddTo(BMessage* ioExtension) const;
    // Takes whatever of those fields the message has (nothing when NULL).
    void SetFrom(const BMessage* ioExtension);

    // Sets an Exif block from bytes as files hold them, with or without the
    // "Exif\0\0" prefix JPEG and WebP put before it; a block that is not
    // TIFF-structured is dropped.
    void SetExif(const void* data, size_t size);
    // What the pixels became after a decoder turned them upright: the
    // Orientation tags say 1 and the Exif thumbnail, turned the old way,
    // goes.
    void MarkTurnedUpright();
    // The picture is now width x height pixels: the sizes the Exif block
    // states follow, and its thumbnail goes when the picture it shows is not
    // this one any more.
    void FitTo(uint32 width, uint32 height);
    // The picture is no longer the one the Exif thumbnail shows (a part of
    // it was cut out): the thumbnail goes.
    void DropThumbnail();
    // Removes the GPS position (Exif GPS directory, XMP exif:GPS...).
    void RemoveLocation();
    // Removes what names the camera, the lens and their owner (make, model,
    // serial numbers, maker notes), in Exif and XMP.
    void RemoveCamera();
};

// An encoder's view of the metadata of one translation: the blocks in
// ioExtension after the caller's and the translator's choices are applied.
// B_TRANSLATOR_EXT_STRIP_METADATA drops Exif and XMP, removeLocationAndCamera
// (the translator's setting) drops what names a place or a camera, and the
// Exif sizes follow width x height. A format that cannot store code points
// (canHoldCodePoints false) gets a profile made from them instead.
PictureMetadata metadata_for_encoding(const BMessage* ioExtension, uint32 width, uint32 height,
                                      bool removeLocationAndCamera, bool canHoldCodePoints);

// The Exif block's Orientation (0x0112) as it would be read, or 0.
int32 exif_orientation_of(const std::string& exif);
// The value of a SHORT or LONG tag of the first directory or, for the tags
// of the Exif directory (0x8769), of that one; false when there is none.
bool exif_find_number(const std::string& exif, uint16 tag, uint32* value);
// Whether the block has a GPS directory with at least one entry.
bool exif_has_location(const std::string& exif);
// Whether the block has a thumbnail directory after the first.
bool exif_has_thumbnail(const std::string& exif);

} // namespace BPrivate

#endif
