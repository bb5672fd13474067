#include "BitmapScaling.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

namespace BPrivate {

namespace {

// Within this a scaled coordinate counts as whole (see PixelMapping).
const double kSlack = 1e-4;

// Weights are fixed point: a whole pixel weighs this much.
const uint32 kWhole = 256;

// The source pixels each of count device pixels (from first on) covers,
// along one axis, with their weights.
struct Spans
{
    std::vector<int> start; // count + 1 entries into pixel and weight
    std::vector<int> pixel;
    std::vector<uint32> weight;
    std::vector<uint32> total;

    Spans(int first, int count, double scale, double unitsAtZero, int limit)
        : start(count + 1), total(count)
    {
        for (int i = 0; i < count; i++) {
            start[i] = (int)pixel.size();
            double low = std::max(0.0, (first + i) / scale + unitsAtZero);
            double high = std::min((double)limit, (first + i + 1) / scale + unitsAtZero);
            uint32 sum = 0;
            for (int p = (int)std::floor(low + kSlack); p < high - kSlack; p++) {
                double overlap = std::min(high, p + 1.0) - std::max(low, (double)p);
                uint32 w = (uint32)std::lround(overlap * kWhole);
                if (w == 0)
                    continue;
                pixel.push_back(p);
                weight.push_back(w);
                sum += w;
            }
            total[i] = sum;
        }
        start[count] = (int)pixel.size();
    }
};

// Reduces the device rows from first to last (of rows) of area into to at at.
void reduce_rows(const QImage& source, const Spans& columns, const Spans& rows, int first, int last,
                 QRect area, uchar* to, qsizetype stride, QPoint at)
{
    const int width = area.width();
    // A source with alpha is averaged premultiplied, so that the colour of
    // transparent pixels does not bleed into their neighbours, and comes out
    // premultiplied with its alpha; without, alpha is taken as opaque.
    const bool alpha = source.hasAlphaChannel();
    const int channels = alpha ? 4 : 3;
    // One source row reduced across, kept for the next device row that
    // shares it; and the sums of the device row under way.
    std::vector<uint64> across(width * channels);
    int acrossRow = -1;
    std::vector<uint64> sums(width * channels);
    for (int j = first; j < last; j++) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int k = rows.start[j]; k < rows.start[j + 1]; k++) {
            int p = rows.pixel[k];
            if (p != acrossRow) {
                const uint32* in = reinterpret_cast<const uint32*>(source.constScanLine(p));
                for (int i = 0; i < width; i++) {
                    uint64 r = 0, g = 0, b = 0, a = 0;
                    for (int m = columns.start[i]; m < columns.start[i + 1]; m++) {
                        uint32 value = in[columns.pixel[m]];
                        uint32 w = columns.weight[m];
                        if (alpha) {
                            uint32 opacity = value >> 24;
                            w *= opacity;
                            a += w;
                        }
                        r += ((value >> 16) & 0xff) * w;
                        g += ((value >> 8) & 0xff) * w;
                        b += (value & 0xff) * w;
                    }
                    uint64* sum = &across[i * channels];
                    sum[0] = r;
                    sum[1] = g;
                    sum[2] = b;
                    if (alpha)
                        sum[3] = a;
                }
                acrossRow = p;
            }
            uint64 w = rows.weight[k];
            for (int i = 0; i < width * channels; i++)
                sums[i] += across[i] * w;
        }
        uint32* out = reinterpret_cast<uint32*>(to + (at.y() + j) * stride) + at.x();
        for (int i = 0; i < width; i++) {
            uint64 total = (uint64)columns.total[i] * rows.total[j];
            if (total == 0) {
                out[i] = alpha ? 0 : 0xff000000u;
                continue;
            }
            // Premultiplied sums carry an extra factor of 255 (the alpha).
            uint64 divisor = alpha ? total * 255 : total;
            uint64 half = divisor / 2;
            const uint64* sum = &sums[i * channels];
            uint32 r = (uint32)((sum[0] + half) / divisor);
            uint32 g = (uint32)((sum[1] + half) / divisor);
            uint32 b = (uint32)((sum[2] + half) / divisor);
            uint32 a = alpha ? (uint32)((sum[3] + total / 2) / total) : 0xff;
            out[i] = (a << 24) | (std::min(r, a) << 16) | (std::min(g, a) << 8) | std::min(b, a);
        }
    }
}

// Reduces the device pixels of area into to at at. A large picture is
// shared out among the processors by bands of rows: each reads its own
// part of the source and writes its own rows.
void reduce_area(const QImage& source, double scale, QPointF unitsAtZero, QRect area, QImage& to,
                 QPoint at)
{
    Spans columns(area.left(), area.width(), scale, unitsAtZero.x(), source.width());
    Spans rows(area.top(), area.height(), scale, unitsAtZero.y(), source.height());
    const qint64 kPixelsPerBand = 2 << 20;
    qint64 read = (qint64)columns.pixel.size() * rows.pixel.size();
    int bands = (int)std::clamp<qint64>(read / kPixelsPerBand, 1,
                                        std::max(1u, std::thread::hardware_concurrency()));
    bands = std::min(bands, area.height());
    // The rows are reached through one pointer: QImage::scanLine() may not
    // be called from several threads at once.
    uchar* bits = to.bits();
    qsizetype stride = to.bytesPerLine();
    std::vector<std::thread> helpers;
    for (int b = 1; b < bands; b++) {
        int first = area.height() * b / bands, last = area.height() * (b + 1) / bands;
        helpers.emplace_back([&, first, last] {
            reduce_rows(source, columns, rows, first, last, area, bits, stride, at);
        });
    }
    reduce_rows(source, columns, rows, 0, area.height() / bands, area, bits, stride, at);
    for (std::thread& helper : helpers)
        helper.join();
}

} // namespace

uint32 premultiply(uint32 pixel)
{
    uint32 a = pixel >> 24;
    if (a == 255)
        return pixel;
    uint32 r = ((pixel >> 16) & 0xff) * a, g = ((pixel >> 8) & 0xff) * a, b = (pixel & 0xff) * a;
    return (a << 24) | ((r + 127) / 255) << 16 | ((g + 127) / 255) << 8 | (b + 127) / 255;
}

void enlarge(const QImage& source, double scale, QPointF unitsAtZero, QRect area, QImage& to,
             QPoint at)
{
    const int width = area.width();
    const bool alpha = source.hasAlphaChannel();
    std::vector<int> columns(width);
    for (int i = 0; i < width; i++) {
        int p = (int)std::floor((area.left() + i) / scale + kSlack + unitsAtZero.x());
        columns[i] = std::clamp(p, 0, source.width() - 1);
    }
    int lastRow = -1;
    for (int j = 0; j < area.height(); j++) {
        int p = (int)std::floor((area.top() + j) / scale + kSlack + unitsAtZero.y());
        p = std::clamp(p, 0, source.height() - 1);
        uint32* out = reinterpret_cast<uint32*>(to.scanLine(at.y() + j)) + at.x();
        if (p == lastRow) {
            // Rows under the same pixel row are the same.
            memcpy(out, reinterpret_cast<uint32*>(to.scanLine(at.y() + j - 1)) + at.x(),
                   (size_t)width * 4);
            continue;
        }
        const uint32* in = reinterpret_cast<const uint32*>(source.constScanLine(p));
        if (alpha) {
            for (int i = 0; i < width; i++)
                out[i] = premultiply(in[columns[i]]);
        } else {
            for (int i = 0; i < width; i++)
                out[i] = in[columns[i]] | 0xff000000u;
        }
        lastRow = p;
    }
}

void reduce(const QImage& source, uint64 generation, double scale, QPointF unitsAtZero, QRect area,
            QImage& to, QPoint at, ReducedCache* cache)
{
    if (!cache || scale >= 0.5) {
        reduce_area(source, scale, unitsAtZero, area, to, at);
        return;
    }
    bool alpha = source.hasAlphaChannel();
    bool current = !cache->image.isNull() && cache->generation == generation &&
                   cache->image.hasAlphaChannel() == alpha && cache->scale == scale &&
                   cache->unitsAtZero == unitsAtZero;
    if (!current) {
        // The device pixels the whole bitmap covers.
        int left = (int)std::floor((0 - unitsAtZero.x()) * scale + kSlack);
        int top = (int)std::floor((0 - unitsAtZero.y()) * scale + kSlack);
        int right = (int)std::ceil((source.width() - unitsAtZero.x()) * scale - kSlack);
        int bottom = (int)std::ceil((source.height() - unitsAtZero.y()) * scale - kSlack);
        QRect whole(QPoint(left, top), QPoint(right - 1, bottom - 1));
        cache->Clear();
        QImage image(whole.size(),
                     alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        if (image.isNull()) {
            reduce_area(source, scale, unitsAtZero, area, to, at);
            return;
        }
        reduce_area(source, scale, unitsAtZero, whole, image, QPoint(0, 0));
        cache->image = std::move(image);
        cache->first = whole.topLeft();
        cache->generation = generation;
        cache->scale = scale;
        cache->unitsAtZero = unitsAtZero;
    }
    QRect held(cache->first, cache->image.size());
    QRect part = area & held;
    for (int j = 0; j < part.height(); j++) {
        const uchar* in = cache->image.constScanLine(part.top() - held.top() + j) +
                          (part.left() - held.left()) * 4;
        uchar* out = to.scanLine(at.y() + part.top() - area.top() + j) +
                     (at.x() + part.left() - area.left()) * 4;
        memcpy(out, in, (size_t)part.width() * 4);
    }
}

} // namespace BPrivate
