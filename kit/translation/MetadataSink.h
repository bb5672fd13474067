#ifndef _TAVRIN_METADATA_SINK_H
#define _TAVRIN_METADATA_SINK_H

// The decoders' side of a picture's metadata: a decoder fills Metadata()
// while it reads the file's headers, and the sink adds it to the
// translation's ioExtension just before the bitmap's header goes out, so a
// reader of the same stream finds it before the first row. Profiles of
// other colour spaces than RGB (a CMYK JPEG's) stay behind: the rows are RGB.

#include <Message.h>
#include <PictureMetadata.h>

#include "BitsRows.h"

namespace BPrivate {

class MetadataSink : public BitsRowSink
{
public:
    MetadataSink(BitsRowSink* target, BMessage* ioExtension)
        : fTarget(target), fExtension(ioExtension), fUpright(false)
    {}

    PictureMetadata* Metadata() { return &fMetadata; }
    // The decoder delivers the rows upright, as the Exif orientation (or the
    // file's own transformations) say: the Exif block then says 1, and loses
    // a thumbnail that it turned.
    void SetUpright(bool upright) { fUpright = upright; }

    status_t Start(uint32 width, uint32 height, bool alpha) override;
    status_t PutRows(const uint8* rows, uint32 count) override
    {
        return fTarget->PutRows(rows, count);
    }

private:
    BitsRowSink* fTarget;
    BMessage* fExtension;
    PictureMetadata fMetadata;
    bool fUpright;
};

// True when an ICC profile describes RGB data (the header's colour space).
bool is_rgb_profile(const std::string& icc);

} // namespace BPrivate

#endif
