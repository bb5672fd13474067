// In-process speed of the translators through the default roster: decoding
// from and encoding to memory, reported per megapixel, for a 24-megapixel
// photograph-like picture and a 4-megapixel screenshot-like one.
//
// Formats are rows of kFormats; a format whose translator is not loaded is
// skipped. `translation_bench --write-images DIR` writes the two pictures
// as PPM files for bench/compare.sh and exits.

#include <Bitmap.h>
#include <BitmapStream.h>
#include <DataIO.h>
#include <Message.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Format
{
    const char* name;
    uint32 type;
    // Settings for the run, passed as the extension message.
    void (*configure)(BMessage* extension);
};

void targa_plain(BMessage* extension)
{
    extension->AddBool("tga /rle", false);
}

void targa_rle(BMessage* extension)
{
    extension->AddBool("tga /rle", true);
}

void no_settings(BMessage* extension) {}

void ppm_binary(BMessage* extension)
{
    extension->AddInt32("ppm /format", 6);
}

// PNG and JPEG at the settings the comparison scripts give vips and convert.
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

void tiff_lzw(BMessage* extension)
{
    extension->AddInt32("tiff /compression", 5);
}

void tiff_none(BMessage* extension)
{
    extension->AddInt32("tiff /compression", 1);
}

// The phone and browser formats at their translators' default quality.
void heif_default(BMessage* extension)
{
    extension->AddInt32("heif /quality", 75);
    extension->AddBool("heif /lossless", false);
}

void avif_default(BMessage* extension)
{
    extension->AddInt32("avif /quality", 75);
    extension->AddBool("avif /lossless", false);
}

void jxl_default(BMessage* extension)
{
    extension->AddInt32("jxl /quality", 90);
    extension->AddBool("jxl /lossless", false);
}

const Format kFormats[] = {
    {"Targa", B_TGA_FORMAT, targa_plain},      {"Targa-RLE", B_TGA_FORMAT, targa_rle},
    {"BMP", B_BMP_FORMAT, no_settings},        {"PPM", B_PPM_FORMAT, ppm_binary},
    {"PNG-6", B_PNG_FORMAT, png_default},      {"PNG-1", B_PNG_FORMAT, png_fast},
    {"JPEG-q90", B_JPEG_FORMAT, jpeg_default}, {"TIFF-LZW", B_TIFF_FORMAT, tiff_lzw},
    {"TIFF-none", B_TIFF_FORMAT, tiff_none},   {"HEIC-q75", 'HEIC', heif_default},
    {"AVIF-q75", 'AVIF', avif_default},        {"JXL-q90", 'JXL ', jxl_default},
};

struct Picture
{
    const char* name;
    uint32 width;
    uint32 height;
    void (*paint)(uint32* pixels, uint32 width, uint32 height);
};

// Smooth light and shade with fine grain, like a photograph: neighbouring
// pixels are close but rarely equal.
void paint_photo(uint32* pixels, uint32 width, uint32 height)
{
    uint32 seed = 12345;
    for (uint32 y = 0; y < height; y++) {
        for (uint32 x = 0; x < width; x++) {
            seed = seed * 1664525u + 1013904223u;
            int grain = (int)(seed >> 28) - 8;
            double fx = (double)x / width, fy = (double)y / height;
            int r = (int)(128 + 90 * std::sin(fx * 7 + fy * 3)) + grain;
            int g = (int)(110 + 80 * std::cos(fx * 4 - fy * 5)) + grain;
            int b = (int)(100 + 70 * std::sin((fx + fy) * 9)) + grain;
            auto clamp = [](int v) { return (uint32)(v < 0 ? 0 : v > 255 ? 255 : v); };
            pixels[(size_t)y * width + x] =
                0xff000000u | (clamp(r) << 16) | (clamp(g) << 8) | clamp(b);
        }
    }
}

// Flat areas, window frames and lines of "text", like a screenshot.
void paint_screenshot(uint32* pixels, uint32 width, uint32 height)
{
    for (uint32 y = 0; y < height; y++) {
        for (uint32 x = 0; x < width; x++) {
            uint32 color = 0xffd8d8d8u;
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
            pixels[(size_t)y * width + x] = color;
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
    picture.paint((uint32*)bitmap->Bits(), picture.width, picture.height);
    return bitmap;
}

bool roster_writes(uint32 type)
{
    BTranslatorRoster* roster = BTranslatorRoster::Default();
    BBitmap probe(BRect(0, 0, 7, 7), B_RGB32);
    BBitmapStream* stream = new BBitmapStream(&probe);
    translator_info info;
    status_t status = roster->Identify(stream, nullptr, &info, 0, nullptr, type);
    BBitmap* detached;
    stream->DetachBitmap(&detached);
    delete stream;
    return status == B_OK;
}

void encode_benchmark(benchmark::State& state, const Format& format, const Picture& picture)
{
    BTranslatorRoster* roster = BTranslatorRoster::Default();
    std::unique_ptr<BBitmap> bitmap(make_bitmap(picture));
    BMessage extension;
    format.configure(&extension);
    size_t encodedSize = 0;
    for (auto _ : state) {
        BBitmapStream stream(bitmap.get());
        BMallocIO out;
        status_t status = roster->Translate(&stream, nullptr, &extension, &out, format.type);
        BBitmap* detached;
        stream.DetachBitmap(&detached);
        if (status != B_OK) {
            state.SkipWithError("encoding failed");
            break;
        }
        encodedSize = out.BufferLength();
    }
    double megapixels = picture.width * (double)picture.height / 1e6;
    state.counters["MP/s"] =
        benchmark::Counter(megapixels, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["time/MP"] = benchmark::Counter(
        megapixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["bytes"] = (double)encodedSize;
}

void decode_benchmark(benchmark::State& state, const Format& format, const Picture& picture)
{
    BTranslatorRoster* roster = BTranslatorRoster::Default();
    BMallocIO encoded;
    {
        std::unique_ptr<BBitmap> bitmap(make_bitmap(picture));
        BBitmapStream stream(bitmap.get());
        BMessage extension;
        format.configure(&extension);
        status_t status = roster->Translate(&stream, nullptr, &extension, &encoded, format.type);
        BBitmap* detached;
        stream.DetachBitmap(&detached);
        if (status != B_OK) {
            state.SkipWithError("encoding the input failed");
            return;
        }
    }
    for (auto _ : state) {
        BMemoryIO source(encoded.Buffer(), encoded.BufferLength());
        BBitmapStream bits;
        if (roster->Translate(&source, nullptr, nullptr, &bits, B_TRANSLATOR_BITMAP) != B_OK) {
            state.SkipWithError("decoding failed");
            break;
        }
    }
    double megapixels = picture.width * (double)picture.height / 1e6;
    state.counters["MP/s"] =
        benchmark::Counter(megapixels, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["time/MP"] = benchmark::Counter(
        megapixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

int write_images(const char* folder)
{
    for (const Picture& picture : kPictures) {
        std::vector<uint32> pixels((size_t)picture.width * picture.height);
        picture.paint(pixels.data(), picture.width, picture.height);
        std::string path = std::string(folder) + "/" + picture.name + ".ppm";
        FILE* file = fopen(path.c_str(), "wb");
        if (file == nullptr) {
            perror(path.c_str());
            return 1;
        }
        fprintf(file, "P6\n%u %u\n255\n", picture.width, picture.height);
        std::vector<uint8> row(picture.width * 3);
        for (uint32 y = 0; y < picture.height; y++) {
            for (uint32 x = 0; x < picture.width; x++) {
                uint32 p = pixels[(size_t)y * picture.width + x];
                row[3 * x] = p >> 16;
                row[3 * x + 1] = p >> 8;
                row[3 * x + 2] = p;
            }
            fwrite(row.data(), 1, row.size(), file);
        }
        if (fclose(file) != 0) {
            perror(path.c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "--write-images") == 0)
        return write_images(argv[2]);

    for (const Format& format : kFormats) {
        if (!roster_writes(format.type)) {
            fprintf(stderr, "translation_bench: no translator writes %s; skipped\n", format.name);
            continue;
        }
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
