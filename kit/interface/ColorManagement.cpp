// Colour management with Little CMS; see <ColorProfiles.h>.

#include <Bitmap.h>
#include <ColorProfiles.h>
#include <PixelSize.h>

#include "qt/X11.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

namespace BPrivate {

namespace {

// A display profile larger than this is not one.
const uint32 kMaxDisplayProfile = 16 * 1024 * 1024;
// Conversions give each processor at least this many pixels.
const size_t kPixelsPerBand = 1 << 20;

struct ProfileCloser
{
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

Profile open_profile(const std::string& icc)
{
    if (icc.empty())
        return Profile(cmsCreate_sRGBProfile());
    return Profile(cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size())));
}

struct Primaries
{
    uint16 code;
    double rx, ry, gx, gy, bx, by, wx, wy;
};

// H.273's colour primaries, with their white points.
const Primaries kPrimaries[] = {
    {1, 0.640, 0.330, 0.300, 0.600, 0.150, 0.060, 0.3127, 0.3290},  // BT.709, sRGB
    {5, 0.640, 0.330, 0.290, 0.600, 0.150, 0.060, 0.3127, 0.3290},  // BT.601 625
    {6, 0.630, 0.340, 0.310, 0.595, 0.155, 0.070, 0.3127, 0.3290},  // BT.601 525
    {9, 0.708, 0.292, 0.170, 0.797, 0.131, 0.046, 0.3127, 0.3290},  // BT.2020
    {11, 0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3140, 0.3510}, // DCI-P3
    {12, 0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290}, // Display P3
};

// The curve from coded values to linear light for an H.273 transfer, or
// NULL for those a profile cannot hold (PQ, HLG) and unknown ones.
cmsToneCurve* curve_for_transfer(uint16 transfer)
{
    switch (transfer) {
    case 13: { // sRGB
        const cmsFloat64Number p[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
        return cmsBuildParametricToneCurve(nullptr, 4, p);
    }
    case 1:
    case 6:
    case 14:
    case 15: { // BT.709, BT.601, BT.2020: the inverse of their camera curve
        const cmsFloat64Number p[5] = {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081};
        return cmsBuildParametricToneCurve(nullptr, 4, p);
    }
    case 4:
        return cmsBuildGamma(nullptr, 2.2);
    case 5:
        return cmsBuildGamma(nullptr, 2.8);
    case 8:
        return cmsBuildGamma(nullptr, 1.0);
    default:
        return nullptr;
    }
}

std::string save_profile(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(profile, nullptr, &size) || size == 0)
        return std::string();
    std::string bytes(size, '\0');
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size))
        return std::string();
    bytes.resize(size);
    return bytes;
}

bool close_to(const cmsCIEXYZ* a, const cmsCIEXYZ* b)
{
    const double kSlack = 0.002;
    return a != nullptr && b != nullptr && std::fabs(a->X - b->X) < kSlack &&
           std::fabs(a->Y - b->Y) < kSlack && std::fabs(a->Z - b->Z) < kSlack;
}

bool same_curve(const cmsToneCurve* a, const cmsToneCurve* b)
{
    if (a == nullptr || b == nullptr)
        return false;
    for (float x : {0.02f, 0.1f, 0.3f, 0.5f, 0.8f, 1.0f}) {
        if (std::fabs(cmsEvalToneCurveFloat(a, x) - cmsEvalToneCurveFloat(b, x)) > 0.002f)
            return false;
    }
    return true;
}

bool is_rgb(cmsHPROFILE profile)
{
    return profile != nullptr && cmsGetColorSpace(profile) == cmsSigRgbData;
}

Profile source_profile(const PictureMetadata& from)
{
    if (!from.icc.empty())
        return open_profile(from.icc);
    std::string made = profile_for_code_points(from.cicp);
    return made.empty() ? Profile() : open_profile(made);
}

} // namespace

std::string profile_for_code_points(const ColorCodePoints& points)
{
    const Primaries* primaries = nullptr;
    for (const Primaries& p : kPrimaries) {
        if (p.code == points.primaries)
            primaries = &p;
    }
    cmsToneCurve* curve = curve_for_transfer(points.transfer);
    if (primaries == nullptr || curve == nullptr) {
        if (curve != nullptr)
            cmsFreeToneCurve(curve);
        return std::string();
    }
    cmsCIExyY white = {primaries->wx, primaries->wy, 1.0};
    cmsCIExyYTRIPLE triple = {{primaries->rx, primaries->ry, 1.0},
                              {primaries->gx, primaries->gy, 1.0},
                              {primaries->bx, primaries->by, 1.0}};
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &triple, curves);
    cmsFreeToneCurve(curve);
    if (profile == nullptr)
        return std::string();
    std::string bytes = save_profile(profile);
    cmsCloseProfile(profile);
    return bytes;
}

bool is_srgb_profile(const std::string& icc)
{
    Profile profile = open_profile(icc);
    if (!is_rgb(profile.get()))
        return false;
    if (icc.empty())
        return true;
    Profile srgb(cmsCreate_sRGBProfile());
    const cmsTagSignature colorants[] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                         cmsSigBlueColorantTag};
    const cmsTagSignature curves[] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (int i = 0; i < 3; i++) {
        if (!close_to(static_cast<const cmsCIEXYZ*>(cmsReadTag(profile.get(), colorants[i])),
                      static_cast<const cmsCIEXYZ*>(cmsReadTag(srgb.get(), colorants[i]))))
            return false;
        if (!same_curve(static_cast<const cmsToneCurve*>(cmsReadTag(profile.get(), curves[i])),
                        static_cast<const cmsToneCurve*>(cmsReadTag(srgb.get(), curves[i]))))
            return false;
    }
    return true;
}

std::string display_profile()
{
    xcb_connection_t* c = x11_connection();
    if (c == nullptr)
        return std::string();
    xcb_atom_t atom = intern_atom(c, "_ICC_PROFILE");
    const xcb_setup_t* setup = xcb_get_setup(c);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (atom == XCB_ATOM_NONE || screens.rem == 0)
        return std::string();
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c,
        xcb_get_property(c, 0, screens.data->root, atom, XCB_GET_PROPERTY_TYPE_ANY, 0,
                         kMaxDisplayProfile / 4),
        nullptr);
    std::string profile;
    if (reply != nullptr && reply->format == 8 && reply->bytes_after == 0) {
        int length = xcb_get_property_value_length(reply);
        if (length > 0)
            profile.assign(static_cast<const char*>(xcb_get_property_value(reply)), length);
    }
    free(reply);
    if (!profile.empty() && is_srgb_profile(profile))
        profile.clear();
    return profile;
}

status_t convert_colors(const BBitmap* source, const PictureMetadata& from, const std::string& to,
                        BBitmap* target)
{
    if (source == nullptr || target == nullptr || source->Bounds() != target->Bounds() ||
        source->ColorSpace() != target->ColorSpace() ||
        (source->ColorSpace() != B_RGB32 && source->ColorSpace() != B_RGBA32))
        return B_BAD_VALUE;
    Profile input = source_profile(from);
    Profile output = open_profile(to);
    if (!is_rgb(input.get()) || !is_rgb(output.get()))
        return B_NOT_SUPPORTED;
    // Without a cache of the last pixel one transform serves every thread.
    // Alpha is copied only where there is any: copying it costs as much as
    // the conversion itself, and B_RGB32 ignores the byte.
    cmsUInt32Number flags = cmsFLAGS_NOCACHE;
    if (source->ColorSpace() == B_RGBA32)
        flags |= cmsFLAGS_COPY_ALPHA;
    cmsHTRANSFORM transform = cmsCreateTransform(input.get(), TYPE_BGRA_8, output.get(),
                                                 TYPE_BGRA_8, INTENT_PERCEPTUAL, flags);
    if (transform == nullptr)
        return B_NOT_SUPPORTED;
    int32 width = pixel_width(source->Bounds());
    int32 height = pixel_height(source->Bounds());
    const uint8* in = static_cast<const uint8*>(source->Bits());
    uint8* out = static_cast<uint8*>(target->Bits());
    int32 inRow = source->BytesPerRow(), outRow = target->BytesPerRow();
    auto convert = [&](int32 first, int32 last) {
        for (int32 y = first; y < last; y++)
            cmsDoTransform(transform, in + size_t(y) * inRow, out + size_t(y) * outRow,
                           cmsUInt32Number(width));
    };
    size_t pixels = size_t(width) * height;
    int32 bands = int32(std::clamp<size_t>(pixels / kPixelsPerBand, 1,
                                           std::max(1u, std::thread::hardware_concurrency())));
    std::vector<std::thread> helpers;
    for (int32 b = 1; b < bands; b++)
        helpers.emplace_back(convert, height * b / bands, height * (b + 1) / bands);
    convert(0, height / bands);
    for (std::thread& helper : helpers)
        helper.join();
    cmsDeleteTransform(transform);
    target->UnlockBits();
    return B_OK;
}

DisplayCopy::DisplayCopy() : fSource(nullptr), fGeneration(0), fNeeded(false) {}

DisplayCopy::~DisplayCopy() {}

void DisplayCopy::Clear()
{
    fCopy.reset();
    fSource = nullptr;
    fGeneration = 0;
    fProfile.clear();
    fNeeded = false;
}

const BBitmap* DisplayCopy::For(const BBitmap* picture)
{
    if (picture == nullptr) {
        Clear();
        return nullptr;
    }
    const PictureMetadata& metadata = picture->Metadata();
    std::string described = metadata.icc;
    if (described.empty() && metadata.cicp.IsSet())
        described =
            std::string("cicp") + char(metadata.cicp.primaries) + char(metadata.cicp.transfer);
    if (picture == fSource && picture->Generation() == fGeneration && described == fProfile)
        return fNeeded ? fCopy.get() : picture;

    Clear();
    fSource = picture;
    fGeneration = picture->Generation();
    fProfile = described;
    if (described.empty() || (metadata.cicp.IsSRGB() && metadata.icc.empty()))
        return picture;
    std::string display = display_profile();
    if (metadata.icc == display ||
        (display.empty() && !metadata.icc.empty() && is_srgb_profile(metadata.icc)))
        return picture;
    std::unique_ptr<BBitmap> copy(new BBitmap(picture->Bounds(), picture->ColorSpace()));
    if (!copy->IsValid() || convert_colors(picture, metadata, display, copy.get()) != B_OK)
        return picture;
    fCopy = std::move(copy);
    fNeeded = true;
    return fCopy.get();
}

} // namespace BPrivate
