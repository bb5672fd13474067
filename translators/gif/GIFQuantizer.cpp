#include "GIFQuantizer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

const uint32 kEmpty = 0xffffffff;
const size_t kHashSize = 1024; // a power of two, well above 256 entries

inline uint32 rgb_of(const uint8* p)
{
    return uint32(p[2]) << 16 | uint32(p[1]) << 8 | p[0];
}

inline bool transparent(const uint8* p, bool hasAlpha)
{
    return hasAlpha && p[3] < 128;
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

// The palette is chosen by Wu's variance-minimising cut over a histogram of
// 32 levels per channel, then refined by a few k-means rounds over the
// histogram's cells, which moves each entry to the mean of the colours it
// ends up standing for.
const int kSide = 33; // 32 levels and a zero plane for the running sums
const size_t kCells = size_t(kSide) * kSide * kSide;

inline size_t cell(int r, int g, int b)
{
    return (size_t(r) * kSide + g) * kSide + b;
}

struct Moments
{
    std::vector<int64> weight, red, green, blue;
    std::vector<double> squares;

    void Allocate()
    {
        weight.assign(kCells, 0);
        red.assign(kCells, 0);
        green.assign(kCells, 0);
        blue.assign(kCells, 0);
        squares.assign(kCells, 0);
    }
};

struct Cube
{
    int r0, r1, g0, g1, b0, b1; // lower bounds exclusive, upper inclusive
    int volume;
};

enum { kRed, kGreen, kBlue };

template <typename T>
T volume(const Cube& c, const std::vector<T>& m)
{
    return m[cell(c.r1, c.g1, c.b1)] - m[cell(c.r1, c.g1, c.b0)] - m[cell(c.r1, c.g0, c.b1)] +
           m[cell(c.r1, c.g0, c.b0)] - m[cell(c.r0, c.g1, c.b1)] + m[cell(c.r0, c.g1, c.b0)] +
           m[cell(c.r0, c.g0, c.b1)] - m[cell(c.r0, c.g0, c.b0)];
}

// The part of the volume that does not depend on the cut position along dir.
int64 bottom(const Cube& c, int dir, const std::vector<int64>& m)
{
    switch (dir) {
    case kRed:
        return -m[cell(c.r0, c.g1, c.b1)] + m[cell(c.r0, c.g1, c.b0)] + m[cell(c.r0, c.g0, c.b1)] -
               m[cell(c.r0, c.g0, c.b0)];
    case kGreen:
        return -m[cell(c.r1, c.g0, c.b1)] + m[cell(c.r1, c.g0, c.b0)] + m[cell(c.r0, c.g0, c.b1)] -
               m[cell(c.r0, c.g0, c.b0)];
    default:
        return -m[cell(c.r1, c.g1, c.b0)] + m[cell(c.r1, c.g0, c.b0)] + m[cell(c.r0, c.g1, c.b0)] -
               m[cell(c.r0, c.g0, c.b0)];
    }
}

// The part of the volume that does, for a cut at pos.
int64 top(const Cube& c, int dir, int pos, const std::vector<int64>& m)
{
    switch (dir) {
    case kRed:
        return m[cell(pos, c.g1, c.b1)] - m[cell(pos, c.g1, c.b0)] - m[cell(pos, c.g0, c.b1)] +
               m[cell(pos, c.g0, c.b0)];
    case kGreen:
        return m[cell(c.r1, pos, c.b1)] - m[cell(c.r1, pos, c.b0)] - m[cell(c.r0, pos, c.b1)] +
               m[cell(c.r0, pos, c.b0)];
    default:
        return m[cell(c.r1, c.g1, pos)] - m[cell(c.r1, c.g0, pos)] - m[cell(c.r0, c.g1, pos)] +
               m[cell(c.r0, c.g0, pos)];
    }
}

double variance(const Cube& c, const Moments& m)
{
    double r = double(volume(c, m.red));
    double g = double(volume(c, m.green));
    double b = double(volume(c, m.blue));
    double w = double(volume(c, m.weight));
    if (w == 0)
        return 0;
    return volume(c, m.squares) - (r * r + g * g + b * b) / w;
}

// The cut along dir that best separates the cube, as the sum of the two
// halves' squared means times their weights (larger is better); cut is -1
// when no cut leaves both halves non-empty.
double maximise(const Cube& c, int dir, int first, int last, int* cut, int64 wholeR, int64 wholeG,
                int64 wholeB, int64 wholeW, const Moments& m)
{
    int64 baseR = bottom(c, dir, m.red), baseG = bottom(c, dir, m.green);
    int64 baseB = bottom(c, dir, m.blue), baseW = bottom(c, dir, m.weight);
    double best = 0;
    *cut = -1;
    for (int i = first; i < last; i++) {
        int64 halfW = baseW + top(c, dir, i, m.weight);
        if (halfW == 0)
            continue;
        int64 otherW = wholeW - halfW;
        if (otherW == 0)
            break;
        double halfR = double(baseR + top(c, dir, i, m.red));
        double halfG = double(baseG + top(c, dir, i, m.green));
        double halfB = double(baseB + top(c, dir, i, m.blue));
        double temp = (halfR * halfR + halfG * halfG + halfB * halfB) / double(halfW);
        double otherR = double(wholeR) - halfR, otherG = double(wholeG) - halfG;
        double otherB = double(wholeB) - halfB;
        temp += (otherR * otherR + otherG * otherG + otherB * otherB) / double(otherW);
        if (temp > best) {
            best = temp;
            *cut = i;
        }
    }
    return best;
}

void set_volume(Cube* c)
{
    c->volume = (c->r1 - c->r0) * (c->g1 - c->g0) * (c->b1 - c->b0);
}

bool cut(Cube* set1, Cube* set2, const Moments& m)
{
    int64 wholeR = volume(*set1, m.red), wholeG = volume(*set1, m.green);
    int64 wholeB = volume(*set1, m.blue), wholeW = volume(*set1, m.weight);
    int cutR, cutG, cutB;
    double maxR =
        maximise(*set1, kRed, set1->r0 + 1, set1->r1, &cutR, wholeR, wholeG, wholeB, wholeW, m);
    double maxG =
        maximise(*set1, kGreen, set1->g0 + 1, set1->g1, &cutG, wholeR, wholeG, wholeB, wholeW, m);
    double maxB =
        maximise(*set1, kBlue, set1->b0 + 1, set1->b1, &cutB, wholeR, wholeG, wholeB, wholeW, m);
    int dir;
    if (maxR >= maxG && maxR >= maxB) {
        dir = kRed;
        if (cutR < 0)
            return false;
    } else if (maxG >= maxR && maxG >= maxB) {
        dir = kGreen;
    } else {
        dir = kBlue;
    }
    *set2 = *set1;
    switch (dir) {
    case kRed:
        set2->r0 = set1->r1 = cutR;
        break;
    case kGreen:
        if (cutG < 0)
            return false;
        set2->g0 = set1->g1 = cutG;
        break;
    default:
        if (cutB < 0)
            return false;
        set2->b0 = set1->b1 = cutB;
        break;
    }
    set_volume(set1);
    set_volume(set2);
    return true;
}

// One histogram cell: how many pixels fell in it and their summed colour.
struct Cell
{
    int64 count;
    double red, green, blue;
};

int nearest_entry(const double* colour, const double (*entries)[3], int32 count)
{
    int best = 0;
    double bestDistance = 1e300;
    for (int32 i = 0; i < count; i++) {
        double dr = colour[0] - entries[i][0], dg = colour[1] - entries[i][1];
        double db = colour[2] - entries[i][2];
        double distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = int(i);
        }
    }
    return best;
}

void refine(const std::vector<Cell>& cells, int32 count, double (*entries)[3])
{
    const int kRounds = 4;
    std::vector<double> sums(size_t(count) * 3);
    std::vector<int64> weights(count);
    for (int round = 0; round < kRounds; round++) {
        std::fill(sums.begin(), sums.end(), 0);
        std::fill(weights.begin(), weights.end(), 0);
        for (const Cell& c : cells) {
            double mean[3] = {c.red / double(c.count), c.green / double(c.count),
                              c.blue / double(c.count)};
            int i = nearest_entry(mean, entries, count);
            sums[i * 3] += c.red;
            sums[i * 3 + 1] += c.green;
            sums[i * 3 + 2] += c.blue;
            weights[i] += c.count;
        }
        for (int32 i = 0; i < count; i++) {
            if (weights[i] == 0)
                continue; // an entry nobody chose stays where it was
            for (int ch = 0; ch < 3; ch++)
                entries[i][ch] = sums[i * 3 + ch] / double(weights[i]);
        }
    }
}

status_t choose_palette(const uint8* bits, uint32 width, uint32 height, size_t rowBytes,
                        bool hasAlpha, int32 limit, GIFPalette* palette)
{
    Moments m;
    try {
        m.Allocate();
    } catch (const std::bad_alloc&) {
        return B_NO_MEMORY;
    }
    for (uint32 y = 0; y < height; y++) {
        const uint8* p = bits + y * rowBytes;
        for (uint32 x = 0; x < width; x++, p += 4) {
            if (transparent(p, hasAlpha))
                continue;
            int r = p[2], g = p[1], b = p[0];
            size_t at = cell((r >> 3) + 1, (g >> 3) + 1, (b >> 3) + 1);
            m.weight[at]++;
            m.red[at] += r;
            m.green[at] += g;
            m.blue[at] += b;
            m.squares[at] += double(r * r + g * g + b * b);
        }
    }

    std::vector<Cell> cells;
    for (size_t i = 0; i < kCells; i++) {
        if (m.weight[i] != 0)
            cells.push_back({m.weight[i], double(m.red[i]), double(m.green[i]), double(m.blue[i])});
    }

    // Running sums, so that any box's totals take eight look-ups.
    for (int r = 1; r < kSide; r++) {
        std::vector<int64> areaW(kSide, 0), areaR(kSide, 0), areaG(kSide, 0), areaB(kSide, 0);
        std::vector<double> area2(kSide, 0);
        for (int g = 1; g < kSide; g++) {
            int64 lineW = 0, lineR = 0, lineG = 0, lineB = 0;
            double line2 = 0;
            for (int b = 1; b < kSide; b++) {
                size_t at = cell(r, g, b);
                lineW += m.weight[at];
                lineR += m.red[at];
                lineG += m.green[at];
                lineB += m.blue[at];
                line2 += m.squares[at];
                areaW[b] += lineW;
                areaR[b] += lineR;
                areaG[b] += lineG;
                areaB[b] += lineB;
                area2[b] += line2;
                size_t below = cell(r - 1, g, b);
                m.weight[at] = m.weight[below] + areaW[b];
                m.red[at] = m.red[below] + areaR[b];
                m.green[at] = m.green[below] + areaG[b];
                m.blue[at] = m.blue[below] + areaB[b];
                m.squares[at] = m.squares[below] + area2[b];
            }
        }
    }

    std::vector<Cube> cubes(limit);
    std::vector<double> spread(limit, 0);
    cubes[0] = {0, kSide - 1, 0, kSide - 1, 0, kSide - 1, 0};
    set_volume(&cubes[0]);
    int32 count = limit;
    int next = 0;
    for (int32 i = 1; i < limit; i++) {
        if (cut(&cubes[next], &cubes[i], m)) {
            spread[next] = cubes[next].volume > 1 ? variance(cubes[next], m) : 0;
            spread[i] = cubes[i].volume > 1 ? variance(cubes[i], m) : 0;
        } else {
            spread[next] = 0;
            i--;
        }
        next = 0;
        double most = spread[0];
        for (int32 k = 1; k <= i; k++) {
            if (spread[k] > most) {
                most = spread[k];
                next = k;
            }
        }
        if (most <= 0) {
            count = i + 1;
            break;
        }
    }

    std::vector<double> entryStore(size_t(count) * 3);
    double(*entries)[3] = reinterpret_cast<double(*)[3]>(entryStore.data());
    int32 used = 0;
    for (int32 i = 0; i < count; i++) {
        int64 w = volume(cubes[i], m.weight);
        if (w == 0)
            continue;
        entries[used][0] = double(volume(cubes[i], m.red)) / double(w);
        entries[used][1] = double(volume(cubes[i], m.green)) / double(w);
        entries[used][2] = double(volume(cubes[i], m.blue)) / double(w);
        used++;
    }
    refine(cells, used, entries);

    palette->count = used;
    for (int32 i = 0; i < used; i++) {
        palette->red[i] = uint8(std::clamp(int(entries[i][0] + 0.5), 0, 255));
        palette->green[i] = uint8(std::clamp(int(entries[i][1] + 0.5), 0, 255));
        palette->blue[i] = uint8(std::clamp(int(entries[i][2] + 0.5), 0, 255));
    }
    return B_OK;
}

// The palette entry nearest to each colour, at 64 levels per channel, found
// on first use.
class NearestCache
{
public:
    NearestCache(const GIFPalette& palette) : fPalette(palette), fIndex(size_t(1) << 18, -1) {}

    uint8 Find(int r, int g, int b)
    {
        size_t at = size_t(r >> 2) << 12 | size_t(g >> 2) << 6 | size_t(b >> 2);
        if (fIndex[at] < 0)
            fIndex[at] = _Search((r & ~3) | 2, (g & ~3) | 2, (b & ~3) | 2);
        return uint8(fIndex[at]);
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
            int distance = dr * dr + dg * dg + db * db;
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

// Error diffusion (Floyd-Steinberg, serpentine). The error a pixel passes on
// is capped so that a colour far from every entry does not smear a streak of
// noise across its neighbours.
const int kErrorCap = 16 * 16;

inline int capped(int e)
{
    return e < -kErrorCap ? -kErrorCap : e > kErrorCap ? kErrorCap : e;
}

void map_pixels(const uint8* bits, uint32 width, uint32 height, size_t rowBytes, bool hasAlpha,
                bool dither, const GIFPalette& palette, uint8* indices)
{
    NearestCache nearest(palette);
    if (!dither) {
        for (uint32 y = 0; y < height; y++) {
            const uint8* p = bits + y * rowBytes;
            uint8* out = indices + size_t(y) * width;
            for (uint32 x = 0; x < width; x++, p += 4)
                out[x] = transparent(p, hasAlpha) ? uint8(palette.transparentIndex)
                                                  : nearest.Find(p[2], p[1], p[0]);
        }
        return;
    }
    // Errors, in sixteenths, carried to this row and the next, per channel,
    // with a guard column at each end.
    std::vector<int> current((width + 2) * 3, 0), next((width + 2) * 3, 0);
    for (uint32 y = 0; y < height; y++) {
        const uint8* row = bits + y * rowBytes;
        uint8* out = indices + size_t(y) * width;
        std::fill(next.begin(), next.end(), 0);
        bool forward = (y & 1) == 0;
        int step = forward ? 1 : -1;
        for (uint32 n = 0; n < width; n++) {
            uint32 x = forward ? n : width - 1 - n;
            const uint8* p = row + size_t(x) * 4;
            if (transparent(p, hasAlpha)) {
                out[x] = uint8(palette.transparentIndex);
                continue;
            }
            int* error = &current[(x + 1) * 3];
            int value[3] = {clamp8(p[2] + error[0] / 16), clamp8(p[1] + error[1] / 16),
                            clamp8(p[0] + error[2] / 16)};
            uint8 index = nearest.Find(value[0], value[1], value[2]);
            out[x] = index;
            int chosen[3] = {palette.red[index], palette.green[index], palette.blue[index]};
            for (int c = 0; c < 3; c++) {
                int e = capped((value[c] - chosen[c]) * 16) / 16;
                current[(x + 1 + step) * 3 + c] += e * 7;
                next[(x + 1 - step) * 3 + c] += e * 3;
                next[(x + 1) * 3 + c] += e * 5;
                next[(x + 1 + step) * 3 + c] += e;
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

    status_t status = choose_palette(bits, width, height, rowBytes, hasAlpha, limit, palette);
    if (status != B_OK)
        return status;
    palette->transparentIndex = -1;
    if (anyTransparent) {
        int32 t = palette->transparentIndex = palette->count++;
        palette->red[t] = palette->green[t] = palette->blue[t] = 0;
    }
    try {
        map_pixels(bits, width, height, rowBytes, hasAlpha, dither, *palette, indices);
    } catch (const std::bad_alloc&) {
        return B_NO_MEMORY;
    }
    return B_OK;
}
