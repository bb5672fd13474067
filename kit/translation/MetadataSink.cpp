#include "MetadataSink.h"

namespace BPrivate {

bool is_rgb_profile(const std::string& icc)
{
    // The data colour space is bytes 16 to 19 of the 128-byte header.
    return icc.size() >= 128 && icc.compare(16, 4, "RGB ") == 0;
}

status_t MetadataSink::Start(uint32 width, uint32 height, bool alpha)
{
    if (!is_rgb_profile(fMetadata.icc))
        fMetadata.icc.clear();
    if (fUpright && exif_orientation_of(fMetadata.exif) > 1)
        fMetadata.MarkTurnedUpright();
    if (fExtension != nullptr)
        fMetadata.AddTo(fExtension);
    return fTarget->Start(width, height, alpha);
}

} // namespace BPrivate
