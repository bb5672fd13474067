#include <PictureMetadata.h>

#include <ColorProfiles.h>
#include <Message.h>
#include <TranslatorFormats.h>

#include "ExifEditor.h"

#include <cstring>
#include <vector>

namespace BPrivate {

using exif::ExifEditor;

namespace {

const uint16 kTagOrientation = 0x0112;
const uint16 kTagMake = 0x010F;
const uint16 kTagModel = 0x0110;
const uint16 kTagExifDirectory = 0x8769;
const uint16 kTagGPSDirectory = 0x8825;
const uint16 kTagPixelXDimension = 0xA002;
const uint16 kTagPixelYDimension = 0xA003;
const uint16 kTagMakerNote = 0x927C;

// Tags of the first and the Exif directory that name the camera, the lens or
// their owner.
const uint16 kCameraTags[] = {kTagMake,
                              kTagModel,
                              kTagMakerNote,
                              0xA430 /* owner */,
                              0xA431 /* body serial */,
                              0xA432 /* lens range */,
                              0xA433 /* lens make */,
                              0xA434 /* lens model */,
                              0xA435 /* lens serial */,
                              0xC62F /* camera serial (DNG) */};

// The XMP properties whose names start with one of these go with the
// setting that removes them.
const char* const kXMPLocation[] = {"exif:GPS", nullptr};
const char* const kXMPCamera[] = {"tiff:Make",
                                  "tiff:Model",
                                  "aux:SerialNumber",
                                  "aux:Lens",
                                  "aux:OwnerName",
                                  "exifEX:BodySerialNumber",
                                  "exifEX:Lens",
                                  "exifEX:CameraOwnerName",
                                  nullptr};

bool is_name_char(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
           c == '_' || c == '-' || c == '.';
}

// Removes the XMP properties named by the prefixes, in both of XMP's forms:
// an attribute name="value" of a description, and an element
// <name ...>...</name> (its value may nest, as a GPS sequence does). A packet
// that does not read as expected around a match is left as it is there.
void remove_xmp_properties(std::string* xmp, const char* const* prefixes)
{
    std::string& text = *xmp;
    size_t at = 0;
    while (at < text.size()) {
        size_t found = std::string::npos;
        for (int i = 0; prefixes[i] != nullptr; i++) {
            size_t hit = text.find(prefixes[i], at);
            if (hit < found)
                found = hit;
        }
        if (found == std::string::npos)
            return;
        size_t nameEnd = found;
        while (nameEnd < text.size() && is_name_char(text[nameEnd]))
            nameEnd++;
        std::string name = text.substr(found, nameEnd - found);
        bool attribute = found > 0 && (text[found - 1] == ' ' || text[found - 1] == '\n' ||
                                       text[found - 1] == '\t' || text[found - 1] == '\r');
        bool element = found > 0 && text[found - 1] == '<';
        size_t equals = text.find_first_not_of(" \t\r\n", nameEnd);
        if (attribute && equals != std::string::npos && text[equals] == '=') {
            size_t quote = text.find_first_not_of(" \t\r\n", equals + 1);
            if (quote != std::string::npos && (text[quote] == '"' || text[quote] == '\'')) {
                size_t close = text.find(text[quote], quote + 1);
                if (close != std::string::npos) {
                    text.erase(found - 1, close + 1 - (found - 1));
                    at = found - 1;
                    continue;
                }
            }
        } else if (element) {
            size_t tagEnd = text.find('>', nameEnd);
            if (tagEnd != std::string::npos && text[tagEnd - 1] == '/') {
                text.erase(found - 1, tagEnd + 1 - (found - 1));
                at = found - 1;
                continue;
            }
            std::string closing = "</" + name + ">";
            size_t close = tagEnd == std::string::npos ? tagEnd : text.find(closing, tagEnd);
            if (close != std::string::npos) {
                text.erase(found - 1, close + closing.size() - (found - 1));
                at = found - 1;
                continue;
            }
        }
        at = nameEnd;
    }
}

// Sets XMP's tiff:Orientation, in either form, to 1.
void set_xmp_upright(std::string* xmp)
{
    std::string& text = *xmp;
    for (size_t at = text.find("tiff:Orientation"); at != std::string::npos;
         at = text.find("tiff:Orientation", at + 1)) {
        size_t value = text.find_first_of("\"'>", at);
        if (value == std::string::npos)
            return;
        size_t digit = text.find_first_not_of(" \t\r\n", value + 1);
        if (digit != std::string::npos && text[digit] >= '1' && text[digit] <= '8')
            text[digit] = '1';
    }
}

void replace_field(BMessage* message, const char* name, const std::string& bytes)
{
    message->RemoveName(name);
    if (!bytes.empty())
        message->AddData(name, B_RAW_TYPE, bytes.data(), ssize_t(bytes.size()));
}

std::string find_field(const BMessage* message, const char* name)
{
    const void* data = nullptr;
    ssize_t size = 0;
    if (message->FindData(name, B_RAW_TYPE, &data, &size) != B_OK || size <= 0)
        return std::string();
    return std::string(static_cast<const char*>(data), size_t(size));
}

} // namespace

void PictureMetadata::AddTo(BMessage* ioExtension) const
{
    if (ioExtension == nullptr)
        return;
    replace_field(ioExtension, B_TRANSLATOR_EXT_ICC_PROFILE, icc);
    replace_field(ioExtension, B_TRANSLATOR_EXT_EXIF, exif);
    replace_field(ioExtension, B_TRANSLATOR_EXT_XMP, xmp);
    std::string points;
    if (cicp.IsSet()) {
        uint8 bytes[4] = {uint8(cicp.primaries), uint8(cicp.transfer), uint8(cicp.matrix),
                          uint8(cicp.fullRange ? 1 : 0)};
        points.assign(reinterpret_cast<const char*>(bytes), sizeof(bytes));
    }
    replace_field(ioExtension, B_TRANSLATOR_EXT_CICP, points);
}

void PictureMetadata::SetFrom(const BMessage* ioExtension)
{
    *this = PictureMetadata();
    if (ioExtension == nullptr)
        return;
    icc = find_field(ioExtension, B_TRANSLATOR_EXT_ICC_PROFILE);
    std::string block = find_field(ioExtension, B_TRANSLATOR_EXT_EXIF);
    SetExif(block.data(), block.size());
    xmp = find_field(ioExtension, B_TRANSLATOR_EXT_XMP);
    std::string points = find_field(ioExtension, B_TRANSLATOR_EXT_CICP);
    if (points.size() == 4) {
        cicp.primaries = uint8(points[0]);
        cicp.transfer = uint8(points[1]);
        cicp.matrix = uint8(points[2]);
        cicp.fullRange = points[3] != 0;
    }
}

void PictureMetadata::SetExif(const void* data, size_t size)
{
    static const char kPrefix[6] = {'E', 'x', 'i', 'f', 0, 0};
    const char* bytes = static_cast<const char*>(data);
    if (bytes != nullptr && size >= sizeof(kPrefix) &&
        memcmp(bytes, kPrefix, sizeof(kPrefix)) == 0) {
        bytes += sizeof(kPrefix);
        size -= sizeof(kPrefix);
    }
    exif.assign(bytes != nullptr ? bytes : "", bytes != nullptr ? size : 0);
    if (!ExifEditor(&exif).Valid())
        exif.clear();
}

void PictureMetadata::MarkTurnedUpright()
{
    ExifEditor editor(&exif);
    if (editor.Valid()) {
        size_t first = editor.First();
        editor.SetNumber(editor.Find(first, kTagOrientation), 1);
        editor.RemoveThumbnail();
    }
    set_xmp_upright(&xmp);
}

void PictureMetadata::FitTo(uint32 width, uint32 height)
{
    ExifEditor editor(&exif);
    if (!editor.Valid())
        return;
    size_t details = editor.Sub(editor.First(), kTagExifDirectory);
    size_t x = editor.Find(details, kTagPixelXDimension);
    size_t y = editor.Find(details, kTagPixelYDimension);
    uint32 oldWidth = 0, oldHeight = 0;
    bool stated = editor.Number(x, &oldWidth) && editor.Number(y, &oldHeight);
    if (stated && oldWidth == width && oldHeight == height)
        return;
    editor.SetNumber(x, width);
    editor.SetNumber(y, height);
    // Without stated sizes the thumbnail cannot be matched, so it goes only
    // when the sizes show it is stale.
    if (stated)
        editor.RemoveThumbnail();
}

void PictureMetadata::DropThumbnail()
{
    ExifEditor editor(&exif);
    if (editor.Valid())
        editor.RemoveThumbnail();
}

void PictureMetadata::RemoveLocation()
{
    ExifEditor editor(&exif);
    if (editor.Valid())
        editor.RemoveSub(editor.First(), kTagGPSDirectory);
    remove_xmp_properties(&xmp, kXMPLocation);
}

void PictureMetadata::RemoveCamera()
{
    ExifEditor editor(&exif);
    if (editor.Valid()) {
        size_t first = editor.First();
        for (uint16 tag : kCameraTags) {
            for (size_t directory : {first, editor.Sub(first, kTagExifDirectory)}) {
                size_t entry = editor.Find(directory, tag);
                if (entry != 0)
                    editor.Remove(directory, entry);
            }
        }
    }
    remove_xmp_properties(&xmp, kXMPCamera);
}

PictureMetadata metadata_for_encoding(const BMessage* ioExtension, uint32 width, uint32 height,
                                      bool removeLocationAndCamera, bool canHoldCodePoints)
{
    PictureMetadata metadata;
    metadata.SetFrom(ioExtension);
    bool strip = false;
    if (ioExtension != nullptr &&
        ioExtension->FindBool(B_TRANSLATOR_EXT_STRIP_METADATA, &strip) == B_OK && strip) {
        metadata.exif.clear();
        metadata.xmp.clear();
    }
    if (removeLocationAndCamera) {
        metadata.RemoveLocation();
        metadata.RemoveCamera();
    }
    metadata.FitTo(width, height);
    // Every encoder writes RGB.
    if (!metadata.icc.empty() &&
        !(metadata.icc.size() >= 128 && metadata.icc.compare(16, 4, "RGB ") == 0))
        metadata.icc.clear();
    if (metadata.cicp.IsSRGB())
        metadata.cicp = ColorCodePoints();
    if (!canHoldCodePoints && metadata.icc.empty() && metadata.cicp.IsSet()) {
        metadata.icc = profile_for_code_points(metadata.cicp);
        metadata.cicp = ColorCodePoints();
    }
    return metadata;
}

int32 exif_orientation_of(const std::string& exif)
{
    uint32 value = 0;
    return exif_find_number(exif, kTagOrientation, &value) && value >= 1 && value <= 8
               ? int32(value)
               : 0;
}

bool exif_find_number(const std::string& exif, uint16 tag, uint32* value)
{
    std::string copy = exif;
    ExifEditor editor(&copy);
    if (!editor.Valid())
        return false;
    size_t first = editor.First();
    return editor.Number(editor.Find(first, tag), value) ||
           editor.Number(editor.Find(editor.Sub(first, kTagExifDirectory), tag), value);
}

bool exif_has_location(const std::string& exif)
{
    std::string copy = exif;
    ExifEditor editor(&copy);
    if (!editor.Valid())
        return false;
    size_t gps = editor.Sub(editor.First(), kTagGPSDirectory);
    return gps != 0 && editor.Count(gps) > 0;
}

bool exif_has_thumbnail(const std::string& exif)
{
    std::string copy = exif;
    ExifEditor editor(&copy);
    return editor.Valid() && editor.HasThumbnail();
}

} // namespace BPrivate
