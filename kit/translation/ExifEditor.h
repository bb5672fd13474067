#ifndef _TAVRIN_EXIF_EDITOR_H
#define _TAVRIN_EXIF_EDITOR_H

// In-place edits of a TIFF-structured Exif block: reading the directories
// and their numbers, removing entries and whole directories (their bytes
// zeroed, so that nothing of them stays behind), without moving anything
// else, so that offsets inside the block (a maker note's) stay right.
// Every offset is checked against the block before it is used; Valid() is
// false for a block that does not even start like one.

#include <SupportDefs.h>

#include <cstring>
#include <string>

namespace BPrivate {

namespace exif {

const uint16 kTagInteropDirectory = 0xA005;
const uint16 kTagThumbnailOffset = 0x0201;
const uint16 kTagThumbnailLength = 0x0202;

const size_t kEntrySize = 12;

// The bytes of each TIFF type, by type number (1 to 12); 0 for unknown types.
const uint8 kTypeSizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

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

} // namespace exif

} // namespace BPrivate

#endif
