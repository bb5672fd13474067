#include "GIFQuantizer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

const uint32 kEmpty = 0xffffffff;
const size_t kHashSize = 1024; // a power of two, well above 256 entries
const int kLevels = 32;        // histogram levels per channel
const size_t kBins = kLevels * kLevels * kLevels;

inline uint32 rgb_of(const uint8* p)
{
    return uint32(p[2]) << 16 | uint32(p[1]) << 8 | p[0];
}

inline bool transparent(const uint8* p, bool hasAlpha)
{
    return hasAlpha && p[3] < 128;
}

inline size_t bin_of(int r, int g, int b)
{
    return (size_t(r >> 3) << 10) | (size_t(g >> 3) << 5) | size_t(b >> 3);
}

// An open-addressing set of colours with their palette index.
struct ColourTable
{
    uint32 keys[kHashSize];
    uint8 values[kHashSize];
    int32 count = 0;

    ColourTable() { std::fill(keys, keys + kHashSize, kEmpty); }

    size_t Slot(uint32 colour) const
    {
        size_t slot = (colour * 2654435761u) >> 22 & (kHashSize - 1);
        while (keys[slot] != kEmpty && keys[slot] != colour)
            slot = (slot + 1) & (kHashSize - 1);
        return slot;
    }
};

// Collects the distinct opaque colours; false when there are more than limit.
bool exact_palette(const uint8* bits, uint32 width, uint32 height, size_t rowBytes, bool hasAlpha,
                   int32 limit, ColourTable* table)
{
    for (uint32 y = 0; y < height; y++) {
        const uint8* p = bits + y * rowBytes;
        for (uint32 x = 0; x < width; x++, p += 4) {
            if (transparent(p, hasAlpha))
                continue;
            uint32 colour = rgb_of(p);
            size_t slot = table->Slot(colour);
            if (table->keys[slot] == colour)
                continue;
            if (table->count == limit)
                return false;
            table->keys[slot] = colour;
            table->values[slot] = uint8(table->count++);
        }
    }
    return true;
}

struct Box
{
    int low[3];
    int high[3]; // inclusive, in histogram levels
    uint64 count;
};

struct Histogram
{
    std::vector<uint32> counts;
    std::vector<uint64> sums; // red, green, blue sums per bin

    uint32 Count(int r, int g, int b) const { return counts[(r << 10) | (g << 5) | b]; }
};

uint64 box_count(const Histogram& histogram, const Box& box)
{
    uint64 count = 0;
    for (int r = box.low[0]; r <= box.high[0]; r++)
        for (int g = box.low[1]; g <= box.high[1]; g++)
            for (int b = box.low[2]; b <= box.high[2]; b++)
                count += histogram.Count(r, g, b);
    return count;
}

// Shrinks the box to the bins that hold pixels.
void shrink(const Histogram& histogram, Box* box)
{
    int low[3] = {kLevels, kLevels, kLevels};
    int high[3] = {-1, -1, -1};
    for (int r = box->low[0]; r <= box->high[0]; r++)
        for (int g = box->low[1]; g <= box->high[1]; g++)
            for (int b = box->low[2]; b <= box->high[2]; b++) {
                if (histogram.Count(r, g, b) == 0)
                    continue;
                int at[3] = {r, g, b};
                for (int c = 0; c < 3; c++) {
                    low[c] = std::min(low[c], at[c]);
                    high[c] = std::max(high[c], at[c]);
                }
            }
    if (high[0] < 0)
        return;
    memcpy(box->low, low, sizeof(low));
    memcpy(box->high, high, sizeof(high));
}

// Splits box at the median of its longest side; false when it is one bin.
bool split(const Histogram& histogram, Box* box, Box* other)
{
    int axis = 0;
    for (int c = 1; c < 3; c++)
        if (box->high[c] - box->low[c] > box->high[axis] - box->low[axis])
            axis = c;
    if (box->high[axis] == box->low[axis])
        return false;

    uint64 half = box->count / 2;
    uint64 running = 0;
    int cut = box->low[axis];
    for (; cut < box->high[axis]; cut++) {
        Box slice = *box;
        slice.low[axis] = slice.high[axis] = cut;
        running += box_count(histogram, slice);
        if (running >= half)
            break;
    }
    *other = *box;
    box->high[axis] = cut;
    other->low[axis] = cut + 1;
    box->count = box_count(histogram, *box);
    other->count = box_count(histogram, *other);
    shrink(histogram, box);
    shrink(histogram, other);
    return true;
}

void median_cut(const Histogram& histogram, int32 limit, GIFPalette* palette)
{
    std::vector<Box> boxes;
    Box all = {{0, 0, 0}, {kLevels - 1, kLevels - 1, kLevels - 1}, 0};
    all.count = box_count(histogram, all);
    shrink(histogram, &all);
    boxes.push_back(all);
    while (int32(boxes.size()) < limit) {
        // The most populous box that can still be split.
        int best = -1;
        for (size_t i = 0; i < boxes.size(); i++) {
            const Box& b = boxes[i];
            bool splittable =
                b.low[0] != b.high[0] || b.low[1] != b.high[1] || b.low[2] != b.high[2];
            if (splittable && (best < 0 || b.count > boxes[best].count))
                best = int(i);
        }
        Box other;
        if (best < 0 || !split(histogram, &boxes[best], &other))
            break;
        boxes.push_back(other);
    }

    palette->count = 0;
    for (const Box& box : boxes) {
        uint64 sum[3] = {0, 0, 0};
        uint64 count = 0;
        for (int r = box.low[0]; r <= box.high[0]; r++)
            for (int g = box.low[1]; g <= box.high[1]; g++)
                for (int b = box.low[2]; b <= box.high[2]; b++) {
                    size_t bin = (size_t(r) << 10) | (size_t(g) << 5) | size_t(b);
                    count += histogram.counts[bin];
                    for (int c = 0; c < 3; c++)
                        sum[c] += histogram.sums[bin * 3 + c];
                }
        if (count == 0)
            continue;
        int32 i = palette->count++;
        palette->red[i] = uint8((sum[0] + count / 2) / count);
        palette->green[i] = uint8((sum[1] + count / 2) / count);
        palette->blue[i] = uint8((sum[2] + count / 2) / count);
    }
}

// The palette entry nearest to each histogram bin, found on first use.
class NearestCache
{
public:
    NearestCache(const GIFPalette& palette) : fPalette(palette), fIndex(kBins, -1) {}

    uint8 Find(int r, int g, int b)
    {
        size_t bin = bin_of(r, g, b);
        if (fIndex[bin] < 0)
            fIndex[bin] = _Search(r | 4, g | 4, b | 4);
        return uint8(fIndex[bin]);
    }

private:
    int16 _Search(int r, int g, int b) const
    {
        int16 best = 0;
        int bestDistance = INT32_MAX;
        for (int32 i = 0; i < fPalette.count; i++) {
            if (i == fPalette.transparentIndex)
                continue;
            int dr = r - fPalette.red[i], dg = g - fPalette.green[i], db = b - fPalette.blue[i];
            int distance = dr * dr * 3 + dg * dg * 4 + db * db * 2;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = int16(i);
            }
        }
        return best;
    }

    const GIFPalette& fPalette;
    std::vector<int16> fIndex;
};

inline int clamp8(int v)
{
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

void map_pixels(const uint8* bits, uint32 width, uint32 height, size_t rowBytes, bool hasAlpha,
                bool dither, const GIFPalette& palette, uint8* indices)
{
    NearestCache nearest(palette);
    // Errors carried to this row and the next, per channel, with a guard
    // column at each end.
    std::vector<int> current((width + 2) * 3, 0), next((width + 2) * 3, 0);
    for (uint32 y = 0; y < height; y++) {
        const uint8* p = bits + y * rowBytes;
        uint8* out = indices + size_t(y) * width;
        std::fill(next.begin(), next.end(), 0);
        for (uint32 x = 0; x < width; x++, p += 4) {
            if (transparent(p, hasAlpha)) {
                out[x] = uint8(palette.transparentIndex);
                continue;
            }
            int* error = &current[(x + 1) * 3];
            int value[3] = {p[2], p[1], p[0]};
            if (dither) {
                for (int c = 0; c < 3; c++)
                    value[c] = clamp8(value[c] + error[c] / 16);
            }
            uint8 index = nearest.Find(value[0], value[1], value[2]);
            out[x] = index;
            if (!dither)
                continue;
            int chosen[3] = {palette.red[index], palette.green[index], palette.blue[index]};
            for (int c = 0; c < 3; c++) {
                int e = value[c] - chosen[c];
                error[3 + c] += e * 7;
                next[x * 3 + c] += e * 3;
                next[(x + 1) * 3 + c] += e * 5;
                next[(x + 2) * 3 + c] += e;
            }
        }
        current.swap(next);
    }
}

} // namespace

status_t gif_quantize(const uint8* bits, uint32 width, uint32 height, size_t rowBytes,
                      bool hasAlpha, bool dither, GIFPalette* palette, uint8* indices)
{
    bool anyTransparent = false;
    for (uint32 y = 0; y < height && hasAlpha && !anyTransparent; y++) {
        const uint8* p = bits + y * rowBytes;
        for (uint32 x = 0; x < width && !anyTransparent; x++)
            anyTransparent = p[x * 4 + 3] < 128;
    }
    int32 limit = anyTransparent ? 255 : 256;

    std::unique_ptr<ColourTable> table(new (std::nothrow) ColourTable);
    if (!table)
        return B_NO_MEMORY;
    if (exact_palette(bits, width, height, rowBytes, hasAlpha, limit, table.get())) {
        palette->count = table->count;
        for (size_t slot = 0; slot < kHashSize; slot++) {
            uint32 colour = table->keys[slot];
            if (colour == kEmpty)
                continue;
            uint8 i = table->values[slot];
            palette->red[i] = uint8(colour >> 16);
            palette->green[i] = uint8(colour >> 8);
            palette->blue[i] = uint8(colour);
        }
        palette->transparentIndex = anyTransparent ? palette->count++ : -1;
        if (anyTransparent) {
            int32 t = palette->transparentIndex;
            palette->red[t] = palette->green[t] = palette->blue[t] = 0;
        }
        for (uint32 y = 0; y < height; y++) {
            const uint8* p = bits + y * rowBytes;
            uint8* out = indices + size_t(y) * width;
            for (uint32 x = 0; x < width; x++, p += 4) {
                out[x] = transparent(p, hasAlpha) ? uint8(palette->transparentIndex)
                                                  : table->values[table->Slot(rgb_of(p))];
            }
        }
        return B_OK;
    }

    Histogram histogram;
    try {
        histogram.counts.assign(kBins, 0);
        histogram.sums.assign(kBins * 3, 0);
    } catch (const std::bad_alloc&) {
        return B_NO_MEMORY;
    }
    for (uint32 y = 0; y < height; y++) {
        const uint8* p = bits + y * rowBytes;
        for (uint32 x = 0; x < width; x++, p += 4) {
            if (transparent(p, hasAlpha))
                continue;
            size_t bin = bin_of(p[2], p[1], p[0]);
            histogram.counts[bin]++;
            histogram.sums[bin * 3] += p[2];
            histogram.sums[bin * 3 + 1] += p[1];
            histogram.sums[bin * 3 + 2] += p[0];
        }
    }
    median_cut(histogram, limit, palette);
    palette->transparentIndex = -1;
    if (anyTransparent) {
        int32 t = palette->transparentIndex = palette->count++;
        palette->red[t] = palette->green[t] = palette->blue[t] = 0;
    }
    map_pixels(bits, width, height, rowBytes, hasAlpha, dither, *palette, indices);
    return B_OK;
}
