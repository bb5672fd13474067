#include <PictureMetadata.h>

#include <ColorProfiles.h>
#include <Message.h>
#include <TranslatorFormats.h>

#include <cstring>
#include <vector>

namespace BPrivate {

namespace {

const uint16 kTagOrientation = 0x0112;
const uint16 kTagMake = 0x010F;
const uint16 kTagModel = 0x0110;
const uint16 kTagExifDirectory = 0x8769;
const uint16 kTagGPSDirectory = 0x8825;
const uint16 kTagInteropDirectory = 0xA005;
const uint16 kTagThumbnailOffset = 0x0201;
const uint16 kTagThumbnailLength = 0x0202;
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

const size_t kEntrySize = 12;

// The bytes of each TIFF type, by type number (1 to 12); 0 for unknown types.
const uint8 kTypeSizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

// A TIFF-structured block open for in-place edits. Every offset is checked
// against the block before it is used; Valid() is false for a block that
// does not even start like one.
class ExifEditor
{
public:
    explicit ExifEditor(std::string* block) : fBlock(block), fLittle(false), fValid(false)
    {
        if (block->size() < 8)
            return;
        const char* d = block->data();
        if (d[0] == 'I' && d[1] == 'I')
            fLittle = true;
        else if (!(d[0] == 'M' && d[1] == 'M'))
            return;
        fValid = U16(2) == 42;
    }

    bool Valid() const { return fValid; }

    uint16 U16(size_t at) const
    {
        const uint8* d = Data();
        return fLittle ? uint16(d[at] | d[at + 1] << 8) : uint16(d[at] << 8 | d[at + 1]);
    }
    uint32 U32(size_t at) const
    {
        const uint8* d = Data();
        return fLittle ? uint32(d[at]) | uint32(d[at + 1]) << 8 | uint32(d[at + 2]) << 16 |
                             uint32(d[at + 3]) << 24
                       : uint32(d[at]) << 24 | uint32(d[at + 1]) << 16 | uint32(d[at + 2]) << 8 |
                             uint32(d[at + 3]);
    }
    void Put16(size_t at, uint16 value)
    {
        uint8* d = MutableData();
        d[at + (fLittle ? 0 : 1)] = uint8(value);
        d[at + (fLittle ? 1 : 0)] = uint8(value >> 8);
    }
    void Put32(size_t at, uint32 value)
    {
        uint8* d = MutableData();
        for (int i = 0; i < 4; i++)
            d[at + (fLittle ? i : 3 - i)] = uint8(value >> (8 * i));
    }
    bool Holds(uint64 at, uint64 length) const
    {
        return at <= fBlock->size() && length <= fBlock->size() - at;
    }

    // The first directory's offset, or 0.
    size_t First() const { return Directory(U32(4)); }
    // offset when a whole directory lies there, else 0 (no directory sits at
    // offset 0, where the header is).
    size_t Directory(uint64 offset) const
    {
        if (offset < 8 || !Holds(offset, 2))
            return 0;
        uint64 count = U16(size_t(offset));
        return Holds(offset + 2, count * kEntrySize + 4) ? size_t(offset) : 0;
    }
    uint16 Count(size_t directory) const { return U16(directory); }
    size_t Entry(size_t directory, uint16 index) const
    {
        return directory + 2 + size_t(index) * kEntrySize;
    }
    size_t NextPointer(size_t directory) const { return Entry(directory, Count(directory)); }

    // The entry of a tag in a directory, or 0.
    size_t Find(size_t directory, uint16 tag) const
    {
        if (directory == 0)
            return 0;
        for (uint16 i = 0; i < Count(directory); i++) {
            if (U16(Entry(directory, i)) == tag)
                return Entry(directory, i);
        }
        return 0;
    }
    // The sub-directory a pointer tag names, or 0.
    size_t Sub(size_t directory, uint16 tag) const
    {
        size_t entry = Find(directory, tag);
        return entry != 0 ? Directory(U32(entry + 8)) : 0;
    }
    // A SHORT or LONG single value.
    bool Number(size_t entry, uint32* value) const
    {
        if (entry == 0 || U32(entry + 4) != 1)
            return false;
        uint16 type = U16(entry + 2);
        if (type == 3)
            *value = U16(entry + 8);
        else if (type == 4)
            *value = U32(entry + 8);
        else
            return false;
        return true;
    }
    bool SetNumber(size_t entry, uint32 value)
    {
        uint32 old;
        if (!Number(entry, &old))
            return false;
        if (U16(entry + 2) == 3)
            Put16(entry + 8, uint16(value > 0xFFFF ? 0xFFFF : value));
        else
            Put32(entry + 8, value);
        return true;
    }

    // Zeroes the bytes an entry's value keeps outside the directory.
    void ClearValue(size_t entry)
    {
        uint16 type = U16(entry + 2);
        uint64 size = type <= 12 ? uint64(kTypeSizes[type]) * U32(entry + 4) : 0;
        if (size > 4 && Holds(U32(entry + 8), size))
            memset(MutableData() + U32(entry + 8), 0, size_t(size));
    }
    // Removes an entry from its directory: the later ones move up, the
    // pointer to the next directory follows them, the freed tail and the
    // value are zeroed.
    void Remove(size_t directory, size_t entry)
    {
        ClearValue(entry);
        size_t end = NextPointer(directory) + 4;
        uint8* d = MutableData();
        memmove(d + entry, d + entry + kEntrySize, end - entry - kEntrySize);
        memset(d + end - kEntrySize, 0, kEntrySize);
        Put16(directory, uint16(Count(directory) - 1));
    }
    // Zeroes a whole directory with its values, and every directory it
    // points to through the given pointer tags.
    void Clear(size_t directory, int depth = 0)
    {
        if (directory == 0 || depth > 2)
            return;
        for (uint16 i = 0; i < Count(directory); i++) {
            size_t entry = Entry(directory, i);
            uint16 tag = U16(entry);
            if (tag == kTagInteropDirectory)
                Clear(Directory(U32(entry + 8)), depth + 1);
            ClearValue(entry);
        }
        memset(MutableData() + directory, 0, 2 + Count(directory) * kEntrySize);
    }
    // Removes a pointer tag and clears the directory it names.
    void RemoveSub(size_t directory, uint16 tag)
    {
        size_t entry = Find(directory, tag);
        if (entry == 0)
            return;
        Clear(Directory(U32(entry + 8)));
        Remove(directory, Find(directory, tag));
    }
    // Drops the directories after the first (the thumbnail) with the JPEG
    // they point to.
    void RemoveThumbnail()
    {
        size_t first = First();
        if (first == 0)
            return;
        size_t next = Directory(U32(NextPointer(first)));
        if (next != 0) {
            size_t offset = Find(next, kTagThumbnailOffset);
            size_t length = Find(next, kTagThumbnailLength);
            uint32 at, size;
            if (Number(offset, &at) && Number(length, &size) && Holds(at, size))
                memset(MutableData() + at, 0, size);
            Clear(next);
        }
        Put32(NextPointer(first), 0);
    }
    bool HasThumbnail() const
    {
        size_t first = First();
        return first != 0 && Directory(U32(NextPointer(first))) != 0;
    }

private:
    const uint8* Data() const { return reinterpret_cast<const uint8*>(fBlock->data()); }
    uint8* MutableData() { return reinterpret_cast<uint8*>(fBlock->data()); }

    std::string* fBlock;
    bool fLittle;
    bool fValid;
};

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
