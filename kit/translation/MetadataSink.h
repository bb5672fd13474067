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
        : fTarget(target), fExtension(ioExtension), fTurned(false), fOrientation(nullptr)
    {}

    PictureMetadata* Metadata() { return &fMetadata; }
    // The decoder turns the rows upright from an orientation other than 1.
    void SetTurnedUpright(bool turned) { fTurned = turned; }
    // For a decoder that learns the orientation it applies as it reads: the
    // rows were turned when it is other than 1 at the start.
    void WatchOrientation(const int32* orientation) { fOrientation = orientation; }

    status_t Start(uint32 width, uint32 height, bool alpha) override;
    status_t PutRows(const uint8* rows, uint32 count) override
    {
        return fTarget->PutRows(rows, count);
    }

private:
    BitsRowSink* fTarget;
    BMessage* fExtension;
    PictureMetadata fMetadata;
    bool fTurned;
    const int32* fOrientation;
};

// True when an ICC profile describes RGB data (the header's colour space).
bool is_rgb_profile(const std::string& icc);

} // namespace BPrivate

#endif
