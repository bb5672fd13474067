#ifndef _TAVRIN_COLOR_PROFILES_H
#define _TAVRIN_COLOR_PROFILES_H

// Colour management with Little CMS: pictures tagged with a profile (or with
// code points) are shown converted into the display's colours. The display's
// profile is the one the X server's root window carries in _ICC_PROFILE (as
// colour managers set it); without one the display is taken to be sRGB,
// which is also what an untagged picture is taken to be.

#include <PictureMetadata.h>
#include <SupportDefs.h>

#include <memory>
#include <string>

class BBitmap;

namespace BPrivate {

// An ICC profile that describes the colours of the code points (their
// primaries, white and transfer curve), or empty for those it cannot
// describe (HDR transfers, unknown values).
std::string profile_for_code_points(const ColorCodePoints& points);

// True when the profile is sRGB in effect: its primaries, white point and
// curves are sRGB's. Converting from it into sRGB would change nothing.
bool is_srgb_profile(const std::string& icc);

// The display's profile, read anew at each call; empty when it is sRGB or
// has none.
std::string display_profile();

// Converts the 32-bit pixels of source, whose colours the metadata describes,
// into the colours of the profile to (empty: sRGB), into target, which has
// the same size and space; alpha is kept. Bands of rows go to every
// processor. B_BAD_VALUE for bitmaps that do not match, B_NOT_SUPPORTED
// when a profile is broken or not an RGB one.
status_t convert_colors(const BBitmap* source, const PictureMetadata& from, const std::string& to,
                        BBitmap* target);

// What a view draws for a picture: the picture itself when its colours
// need no conversion for the display (untagged, sRGB shown on an sRGB
// display, a profile the kit cannot use), else a copy converted once and
// kept until the picture, its pixels (its generation) or its metadata
// change. The copy is for the eyes only: crops, drags and saves use the
// picture's own pixels.
class DisplayCopy
{
public:
    DisplayCopy();
    ~DisplayCopy();
    // A copy made off the window's thread (while a picture loads) is handed
    // to the view's own.
    DisplayCopy(DisplayCopy&&) = default;
    DisplayCopy& operator=(DisplayCopy&&) = default;

    const BBitmap* For(const BBitmap* picture);
    void Clear();

private:
    DisplayCopy(const DisplayCopy&) = delete;
    DisplayCopy& operator=(const DisplayCopy&) = delete;

    std::unique_ptr<BBitmap> fCopy;
    // What the copy was made from; a picture that needed none is remembered
    // too, so that it is not looked at again.
    const BBitmap* fSource;
    uint64 fGeneration;
    std::string fProfile;
    bool fNeeded;
};

} // namespace BPrivate

#endif
