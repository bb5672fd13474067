// In-process speed of the PNG and JPEG translators through the default
// roster, per megapixel, at the settings compare.sh gives vips and convert:
// PNG at zlib level 6 without interlacing, JPEG at quality 90 with 4:2:0
// chroma, baseline. The pictures are the ones translation_bench uses: a
// 24-megapixel photograph-like one and a 4-megapixel screenshot-like one.

#include <Bitmap.h>
#include <BitmapStream.h>
#include <DataIO.h>
#include <Message.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

namespace {

struct Format
{
    const char* name;
    uint32 type;
    void (*configure)(BMessage* extension);
};

void png_default(BMessage* extension)
{
    extension->AddInt32("png /compression", 6);
    extension->AddBool("png /interlace", false);
}

void png_fast(BMessage* extension)
{
    extension->AddInt32("png /compression", 1);
    extension->AddBool("png /interlace", false);
}

void jpeg_default(BMessage* extension)
{
    extension->AddInt32("jpeg /quality", 90);
    extension->AddInt32("jpeg /subsampling", 2);
    extension->AddBool("jpeg /progressive", false);
}

const Format kFormats[] = {
    {"PNG-6", B_PNG_FORMAT, png_default},
    {"PNG-1", B_PNG_FORMAT, png_fast},
    {"JPEG-q90", B_JPEG_FORMAT, jpeg_default},
};

struct Picture
{
    const char* name;
    uint32 width;
    uint32 height;
    void (*paint)(uint32* pixels, uint32 width, uint32 height);
};

// Smooth light and shade with fine grain, like a photograph.
void paint_photo(uint32* pixels, uint32 width, uint32 height)
{
    uint32 seed = 12345;
    for (uint32 y = 0; y < height; y++) {
        for (uint32 x = 0; x < width; x++) {
            seed = seed * 1664525u + 1013904223u;
            int grain = int(seed >> 28) - 8;
            double fx = double(x) / width, fy = double(y) / height;
            int r = int(128 + 90 * std::sin(fx * 7 + fy * 3)) + grain;
            int g = int(110 + 80 * std::cos(fx * 4 - fy * 5)) + grain;
            int b = int(100 + 70 * std::sin((fx + fy) * 9)) + grain;
            auto clamp = [](int v) { return uint32(v < 0 ? 0 : v > 255 ? 255 : v); };
            pixels[size_t(y) * width + x] =
                0xff000000u | (clamp(r) << 16) | (clamp(g) << 8) | clamp(b);
        }
    }
}

// Flat areas, window frames and lines of "text", like a screenshot.
void paint_screenshot(uint32* pixels, uint32 width, uint32 height)
{
    for (uint32 y = 0; y < height; y++) {
        for (uint32 x = 0; x < width; x++) {
            uint32 color;
            uint32 wx = x % 640, wy = y % 400;
            if (wy < 24)
                color = 0xff3a5f9eu;
            else if (wx < 2 || wy < 26)
                color = 0xff202020u;
            else if (wy % 16 < 10 && wx > 20 && wx < 600 && ((wx / 7 + wy / 16) % 5 != 0) &&
                     ((x * 7 + y * 3) % 11 < 5))
                color = 0xff101010u;
            else
                color = 0xffffffffu;
            pixels[size_t(y) * width + x] = color;
        }
    }
}

const Picture kPictures[] = {
    {"photo-24MP", 6000, 4000, paint_photo},
    {"screenshot-4MP", 2560, 1600, paint_screenshot},
};

BBitmap* make_bitmap(const Picture& picture)
{
    BBitmap* bitmap = new BBitmap(BRect(0, 0, picture.width - 1, picture.height - 1), B_RGB32);
    picture.paint(static_cast<uint32*>(bitmap->Bits()), picture.width, picture.height);
    return bitmap;
}

void set_counters(benchmark::State& state, const Picture& picture)
{
    double megapixels = picture.width * double(picture.height) / 1e6;
    state.counters["MP/s"] =
        benchmark::Counter(megapixels, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["ms/MP"] =
        benchmark::Counter(megapixels * 1000, benchmark::Counter::kIsIterationInvariantRate |
                                                  benchmark::Counter::kInvert);
}

// Encodes the picture into out; false when the roster could not.
bool encode(const Format& format, BBitmap* bitmap, BMallocIO* out)
{
    BMessage extension;
    format.configure(&extension);
    BBitmapStream stream(bitmap);
    status_t status =
        BTranslatorRoster::Default()->Translate(&stream, nullptr, &extension, out, format.type);
    BBitmap* detached;
    stream.DetachBitmap(&detached);
    return status == B_OK;
}

void encode_benchmark(benchmark::State& state, const Format& format, const Picture& picture)
{
    std::unique_ptr<BBitmap> bitmap(make_bitmap(picture));
    size_t encodedSize = 0;
    for (auto _ : state) {
        BMallocIO out;
        if (!encode(format, bitmap.get(), &out)) {
            state.SkipWithError("encoding failed");
            break;
        }
        encodedSize = out.BufferLength();
    }
    set_counters(state, picture);
    state.counters["bytes"] = double(encodedSize);
}

void decode_benchmark(benchmark::State& state, const Format& format, const Picture& picture)
{
    BMallocIO encoded;
    {
        std::unique_ptr<BBitmap> bitmap(make_bitmap(picture));
        if (!encode(format, bitmap.get(), &encoded)) {
            state.SkipWithError("encoding the input failed");
            return;
        }
    }
    for (auto _ : state) {
        BMemoryIO source(encoded.Buffer(), encoded.BufferLength());
        BBitmapStream bits;
        if (BTranslatorRoster::Default()->Translate(&source, nullptr, nullptr, &bits,
                                                    B_TRANSLATOR_BITMAP) != B_OK) {
            state.SkipWithError("decoding failed");
            break;
        }
    }
    set_counters(state, picture);
}

} // namespace

int main(int argc, char** argv)
{
    for (const Format& format : kFormats) {
        for (const Picture& picture : kPictures) {
            std::string suffix = std::string(format.name) + "/" + picture.name;
            benchmark::RegisterBenchmark(("decode/" + suffix).c_str(), decode_benchmark, format,
                                         picture)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            benchmark::RegisterBenchmark(("encode/" + suffix).c_str(), encode_benchmark, format,
                                         picture)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
