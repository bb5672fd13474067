#include "TIFFExif.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace BPrivate {

namespace {

const uint16 kTagExifDirectory = 0x8769;
const uint16 kTagGPSDirectory = 0x8825;
// The first directory's tags that describe the picture's making.
const uint16 kDescriptive[] = {0x010E, 0x010F, 0x0110, 0x0131, 0x0132, 0x013B, 0x8298};
// Directories and values are read only this large: real ones are far smaller.
const uint32 kMaxEntries = 512;
const uint32 kMaxValue = 1024 * 1024;

// The bytes of each TIFF type, by type number (1 to 12), and the size of
// the units whose byte order turns (a rational is two LONGs).
const uint8 kTypeSizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
const uint8 kUnitSizes[13] = {0, 1, 1, 2, 4, 4, 1, 1, 2, 4, 4, 4, 8};

struct Entry
{
    uint16 tag;
    uint16 type;
    uint32 count;
    std::string value; // all count values, in the byte order they came in
};

// Reads bytes at an offset; false when they are not all there.
using ReadFunction = std::function<bool(uint64 offset, void* buffer, size_t size)>;

struct Order
{
    bool little;

    uint16 U16(const uint8* p) const
    {
        return little ? uint16(p[0] | p[1] << 8) : uint16(p[0] << 8 | p[1]);
    }
    uint32 U32(const uint8* p) const
    {
        return little ? uint32(p[0]) | uint32(p[1]) << 8 | uint32(p[2]) << 16 | uint32(p[3]) << 24
                      : uint32(p[0]) << 24 | uint32(p[1]) << 16 | uint32(p[2]) << 8 | p[3];
    }
    void Put16(std::string* out, uint16 value) const
    {
        char b[2] = {char(little ? value : value >> 8), char(little ? value >> 8 : value)};
        out->append(b, 2);
    }
    void Put32(std::string* out, uint32 value) const
    {
        char b[4];
        for (int i = 0; i < 4; i++)
            b[little ? i : 3 - i] = char(value >> (8 * i));
        out->append(b, 4);
    }
    void Set32(std::string* out, size_t at, uint32 value) const
    {
        for (int i = 0; i < 4; i++)
            (*out)[at + (little ? i : 3 - i)] = char(value >> (8 * i));
    }
};

// The entries of the directory at offset, values included; false when it
// is broken.
bool read_directory(const ReadFunction& read, Order order, uint64 offset,
                    std::vector<Entry>* entries)
{
    uint8 head[2];
    if (!read(offset, head, 2))
        return false;
    uint32 count = order.U16(head);
    if (count > kMaxEntries)
        return false;
    std::vector<uint8> table(size_t(count) * 12);
    if (count > 0 && !read(offset + 2, table.data(), table.size()))
        return false;
    for (uint32 i = 0; i < count; i++) {
        const uint8* e = table.data() + i * 12;
        Entry entry;
        entry.tag = order.U16(e);
        entry.type = order.U16(e + 2);
        entry.count = order.U32(e + 4);
        if (entry.type == 0 || entry.type > 12)
            continue;
        uint64 size = uint64(kTypeSizes[entry.type]) * entry.count;
        if (size > kMaxValue)
            continue;
        entry.value.resize(size_t(size));
        if (size <= 4)
            memcpy(entry.value.data(), e + 8, size_t(size));
        else if (!read(order.U32(e + 8), entry.value.data(), size_t(size)))
            continue;
        entries->push_back(std::move(entry));
    }
    return true;
}

// The value's units in the other byte order.
void turn_value(Entry* entry)
{
    size_t unit = kUnitSizes[entry->type];
    for (size_t at = 0; unit > 1 && at + unit <= entry->value.size(); at += unit)
        std::reverse(entry->value.begin() + at, entry->value.begin() + at + unit);
}

// Appends a directory (sorted by tag, as TIFF wants) and its values to out,
// whose first byte lies at offset base of the file; answers where the
// directory starts. Pointer entries are written with value 0 for the caller
// to set (their places are given back in pointers, by tag).
uint32 write_directory(std::string* out, uint64 base, Order order, std::vector<Entry> entries,
                       uint32 next, std::vector<std::pair<uint16, size_t>>* pointers = nullptr)
{
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    if (out->size() % 2)
        out->push_back('\0');
    uint32 start = uint32(base + out->size());
    size_t table = out->size();
    order.Put16(out, uint16(entries.size()));
    out->append(entries.size() * 12 + 4, '\0');
    for (size_t i = 0; i < entries.size(); i++) {
        const Entry& e = entries[i];
        std::string field;
        order.Put16(&field, e.tag);
        order.Put16(&field, e.type);
        order.Put32(&field, e.count);
        if (e.value.size() <= 4) {
            std::string inside = e.value;
            inside.resize(4, '\0');
            field += inside;
        } else {
            if (out->size() % 2)
                out->push_back('\0');
            order.Put32(&field, uint32(base + out->size()));
            out->append(e.value);
        }
        out->replace(table + 2 + i * 12, 12, field);
        if (pointers != nullptr && (e.tag == kTagExifDirectory || e.tag == kTagGPSDirectory))
            pointers->push_back({e.tag, table + 2 + i * 12 + 8});
    }
    order.Set32(out, table + 2 + entries.size() * 12, next);
    return start;
}

bool is_descriptive(uint16 tag)
{
    return std::find(std::begin(kDescriptive), std::end(kDescriptive), tag) !=
           std::end(kDescriptive);
}

Entry pointer_entry(uint16 tag)
{
    return Entry{tag, 4, 1, std::string(4, '\0')};
}

// The first directory's offset of a classic TIFF header, with its order.
bool read_header(const ReadFunction& read, Order* order, uint32* first)
{
    uint8 header[8];
    if (!read(0, header, 8))
        return false;
    if (header[0] == 'I' && header[1] == 'I')
        order->little = true;
    else if (header[0] == 'M' && header[1] == 'M')
        order->little = false;
    else
        return false;
    if (order->U16(header + 2) != 42)
        return false;
    *first = order->U32(header + 4);
    return true;
}

// The offset a pointer entry holds, or 0.
uint32 pointer_of(const std::vector<Entry>& entries, uint16 tag, Order order)
{
    for (const Entry& e : entries) {
        if (e.tag == tag && e.count == 1 && (e.type == 4 || e.type == 13) && e.value.size() == 4)
            return order.U32(reinterpret_cast<const uint8*>(e.value.data()));
    }
    return 0;
}

ReadFunction io_reader(BPositionIO* file, off_t start)
{
    return [file, start](uint64 offset, void* buffer, size_t size) {
        return offset < 0xFFFFFFFFull &&
               file->ReadAt(start + off_t(offset), buffer, size) == ssize_t(size);
    };
}

ReadFunction block_reader(const std::string& block)
{
    return [&block](uint64 offset, void* buffer, size_t size) {
        if (offset > block.size() || size > block.size() - offset)
            return false;
        memcpy(buffer, block.data() + offset, size);
        return true;
    };
}

// The sub-directory a pointer names, its own pointers left out.
std::vector<Entry> sub_directory(const ReadFunction& read, Order order,
                                 const std::vector<Entry>& first, uint16 tag)
{
    std::vector<Entry> entries;
    uint32 offset = pointer_of(first, tag, order);
    if (offset != 0 && read_directory(read, order, offset, &entries)) {
        // The interoperability directory is not carried.
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [](const Entry& e) { return e.tag == 0xA005; }),
                      entries.end());
    }
    return entries;
}

status_t write_at(BPositionIO* file, off_t at, const std::string& bytes)
{
    ssize_t written = file->WriteAt(at, bytes.data(), bytes.size());
    if (written < 0)
        return status_t(written);
    return size_t(written) == bytes.size() ? B_OK : B_IO_ERROR;
}

} // namespace

std::string exif_from_tiff(BPositionIO* file, off_t start)
{
    ReadFunction read = io_reader(file, start);
    Order order;
    uint32 first;
    std::vector<Entry> entries;
    if (!read_header(read, &order, &first) || !read_directory(read, order, first, &entries))
        return std::string();
    std::vector<Entry> details = sub_directory(read, order, entries, kTagExifDirectory);
    std::vector<Entry> location = sub_directory(read, order, entries, kTagGPSDirectory);
    if (details.empty() && location.empty())
        return std::string();

    std::vector<Entry> top;
    for (const Entry& e : entries) {
        if (is_descriptive(e.tag))
            top.push_back(e);
    }
    if (!details.empty())
        top.push_back(pointer_entry(kTagExifDirectory));
    if (!location.empty())
        top.push_back(pointer_entry(kTagGPSDirectory));
    std::string block = order.little ? std::string("II\x2A\0", 4) : std::string("MM\0\x2A", 4);
    order.Put32(&block, 8);
    std::vector<std::pair<uint16, size_t>> pointers;
    write_directory(&block, 0, order, top, 0, &pointers);
    for (auto& [tag, at] : pointers) {
        const std::vector<Entry>& sub = tag == kTagExifDirectory ? details : location;
        order.Set32(&block, at, write_directory(&block, 0, order, sub, 0));
    }
    return block;
}

status_t add_exif_to_tiff(BPositionIO* file, off_t start, const std::string& exif)
{
    ReadFunction fromBlock = block_reader(exif);
    Order blockOrder;
    uint32 blockFirst;
    std::vector<Entry> blockTop;
    if (!read_header(fromBlock, &blockOrder, &blockFirst) ||
        !read_directory(fromBlock, blockOrder, blockFirst, &blockTop))
        return B_OK;
    std::vector<Entry> details = sub_directory(fromBlock, blockOrder, blockTop, kTagExifDirectory);
    std::vector<Entry> location = sub_directory(fromBlock, blockOrder, blockTop, kTagGPSDirectory);

    ReadFunction fromFile = io_reader(file, start);
    Order order;
    uint32 first;
    std::vector<Entry> top;
    if (!read_header(fromFile, &order, &first) || !read_directory(fromFile, order, first, &top))
        return B_IO_ERROR;
    uint8 next[4];
    uint8 count[2];
    if (!fromFile(first, count, 2) || !fromFile(first + 2 + order.U16(count) * 12ull, next, 4))
        return B_IO_ERROR;

    bool turn = order.little != blockOrder.little;
    for (std::vector<Entry>* list : {&blockTop, &details, &location}) {
        for (Entry& e : *list) {
            if (turn)
                turn_value(&e);
        }
    }
    for (const Entry& e : blockTop) {
        bool present = std::any_of(top.begin(), top.end(),
                                   [&](const Entry& mine) { return mine.tag == e.tag; });
        if (is_descriptive(e.tag) && !present)
            top.push_back(e);
    }
    if (!details.empty())
        top.push_back(pointer_entry(kTagExifDirectory));
    if (!location.empty())
        top.push_back(pointer_entry(kTagGPSDirectory));

    off_t fileEnd = file->Seek(0, SEEK_END);
    if (fileEnd < start)
        return fileEnd < 0 ? status_t(fileEnd) : B_IO_ERROR;
    off_t end = fileEnd - start;
    if (uint64(end) > 0xFFFF0000u)
        return B_BAD_VALUE;
    std::string tail;
    std::vector<std::pair<uint16, size_t>> pointers;
    uint32 newFirst = write_directory(&tail, uint64(end), order, top, order.U32(next), &pointers);
    for (auto& [tag, at] : pointers) {
        const std::vector<Entry>& sub = tag == kTagExifDirectory ? details : location;
        order.Set32(&tail, at, write_directory(&tail, uint64(end), order, sub, 0));
    }
    status_t status = write_at(file, start + end, tail);
    if (status != B_OK)
        return status;
    std::string header;
    order.Put32(&header, newFirst);
    return write_at(file, start + 4, header);
}

} // namespace BPrivate
