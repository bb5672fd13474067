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

    // One source row reduced across, kept for the next device row that
    // shares it; and the sums of the device row under way.
    std::vector<uint32> across(width * 3);
    int acrossRow = -1;
    std::vector<uint64> sums(width * 3);
    for (int j = first; j < last; j++) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int k = rows.start[j]; k < rows.start[j + 1]; k++) {
            int p = rows.pixel[k];
            if (p != acrossRow) {
                const uint32* in = reinterpret_cast<const uint32*>(source.constScanLine(p));
                for (int i = 0; i < width; i++) {
                    uint32 r = 0, g = 0, b = 0;
                    for (int m = columns.start[i]; m < columns.start[i + 1]; m++) {
                        uint32 value = in[columns.pixel[m]];
                        uint32 w = columns.weight[m];
                        r += ((value >> 16) & 0xff) * w;
                        g += ((value >> 8) & 0xff) * w;
                        b += (value & 0xff) * w;
                    }
                    across[i * 3] = r;
                    across[i * 3 + 1] = g;
                    across[i * 3 + 2] = b;
                }
                acrossRow = p;
            }
            uint64 w = rows.weight[k];
            for (int i = 0; i < width * 3; i++)
                sums[i] += across[i] * w;
        }
        uint32* out = reinterpret_cast<uint32*>(to + (at.y() + j) * stride) + at.x();
        for (int i = 0; i < width; i++) {
            uint64 total = (uint64)columns.total[i] * rows.total[j];
            if (total == 0) {
                out[i] = 0xff000000u;
                continue;
            }
            uint64 half = total / 2;
            uint32 r = (uint32)((sums[i * 3] + half) / total);
            uint32 g = (uint32)((sums[i * 3 + 1] + half) / total);
            uint32 b = (uint32)((sums[i * 3 + 2] + half) / total);
            out[i] = 0xff000000u | (r << 16) | (g << 8) | b;
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

void enlarge(const QImage& source, double scale, QPointF unitsAtZero, QRect area, QImage& to,
             QPoint at)
{
    const int width = area.width();
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
        for (int i = 0; i < width; i++)
            out[i] = in[columns[i]] | 0xff000000u;
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
    bool current = !cache->image.isNull() && cache->generation == generation &&
                   cache->scale == scale && cache->unitsAtZero == unitsAtZero;
    if (!current) {
        // The device pixels the whole bitmap covers.
        int left = (int)std::floor((0 - unitsAtZero.x()) * scale + kSlack);
        int top = (int)std::floor((0 - unitsAtZero.y()) * scale + kSlack);
        int right = (int)std::ceil((source.width() - unitsAtZero.x()) * scale - kSlack);
        int bottom = (int)std::ceil((source.height() - unitsAtZero.y()) * scale - kSlack);
        QRect whole(QPoint(left, top), QPoint(right - 1, bottom - 1));
        cache->Clear();
        QImage image(whole.size(), QImage::Format_RGB32);
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
