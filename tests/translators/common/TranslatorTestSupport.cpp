#include "TranslatorTestSupport.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "translation/BitsHeader.h"

namespace test {

TranslatorModule::TranslatorModule(const char* fileName)
{
    // The build's own translators folder unless the environment names one.
    const char* folder = getenv("TRANSLATORS");
    if (folder == nullptr || strchr(folder, ':') != nullptr)
        folder = TAVRIN_TRANSLATOR_DIR;
    std::string path = std::string(folder) + "/" + fileName;
    fHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (fHandle == nullptr) {
        fError = dlerror();
        return;
    }
    auto make = reinterpret_cast<make_nth_translator_func>(dlsym(fHandle, "make_nth_translator"));
    if (make == nullptr) {
        fError = "no make_nth_translator in " + path;
        return;
    }
    fTranslator = make(0, fHandle, 0);
    if (fTranslator == nullptr) {
        fError = "make_nth_translator(0) gave nothing";
        return;
    }
    fRoster.AddTranslator(fTranslator);
}

TranslatorModule::~TranslatorModule()
{
    if (fTranslator != nullptr)
        fTranslator->Release();
    // The add-on stays loaded, as the roster keeps its add-ons: views and
    // settings it made may still run its code until the process ends.
}

status_t TranslatorModule::Identify(const std::vector<uint8>& bytes, translator_info* info)
{
    BMemoryIO source(bytes.data(), bytes.size());
    return fRoster.Identify(&source, nullptr, info, 0, nullptr, B_TRANSLATOR_BITMAP);
}

Image make_image(uint32 width, uint32 height, color_space space,
                 const std::function<uint32(uint32 x, uint32 y)>& pixel)
{
    Image image;
    image.width = width;
    image.height = height;
    image.space = space;
    image.pixels.resize(size_t(width) * height);
    for (uint32 y = 0; y < height; y++) {
        for (uint32 x = 0; x < width; x++)
            image.pixels[size_t(y) * width + x] = pixel(x, y);
    }
    return image;
}

Image make_test_image(uint32 width, uint32 height, bool alpha)
{
    return make_image(width, height, alpha ? B_RGBA32 : B_RGB32, [=](uint32 x, uint32 y) {
        uint32 r = (x * 255) / (width > 1 ? width - 1 : 1);
        uint32 g = (y * 255) / (height > 1 ? height - 1 : 1);
        uint32 b = ((x / 3 + y / 2) % 2) ? 200 : 30;
        uint32 a = alpha ? (x + y * 7) % 256 : 255;
        // Runs of equal pixels, so run-length coders have work to do.
        if (y % 5 == 0)
            r = g = b = 90;
        return (a << 24) | (r << 16) | (g << 8) | b;
    });
}

std::vector<uint8> bits_stream(const Image& image, uint32 rowBytes)
{
    if (rowBytes == 0)
        rowBytes = image.width * 4;
    TranslatorBitmap header = BPrivate::make_bits_header(image.width, image.height, image.space);
    header.rowBytes = rowBytes;
    header.dataSize = rowBytes * image.height;
    std::vector<uint8> data(B_TRANSLATOR_BITMAP_HEADER_SIZE + header.dataSize, 0xee);
    BPrivate::bits_header_to_bytes(header, data.data());
    for (uint32 y = 0; y < image.height; y++) {
        memcpy(data.data() + B_TRANSLATOR_BITMAP_HEADER_SIZE + size_t(y) * rowBytes,
               image.pixels.data() + size_t(y) * image.width, size_t(image.width) * 4);
    }
    return data;
}

status_t decode(BTranslator* translator, const std::vector<uint8>& data, Image* image,
                translator_info* _info)
{
    if (translator == nullptr)
        return B_NO_INIT;
    BMemoryIO source(data.data(), data.size());
    translator_info info;
    status_t status = translator->Identify(&source, nullptr, nullptr, &info, B_TRANSLATOR_BITMAP);
    if (_info != nullptr)
        *_info = info;
    if (status != B_OK)
        return status;
    source.Seek(0, SEEK_SET);
    BMallocIO destination;
    status = translator->Translate(&source, &info, nullptr, B_TRANSLATOR_BITMAP, &destination);
    if (status != B_OK)
        return status;

    if (destination.BufferLength() < B_TRANSLATOR_BITMAP_HEADER_SIZE)
        return B_ERROR;
    const uint8* bytes = static_cast<const uint8*>(destination.Buffer());
    TranslatorBitmap header;
    BPrivate::bits_header_from_bytes(bytes, &header);
    BPrivate::BitsInfo bits;
    status = BPrivate::check_bits_header(header, &bits);
    if (status != B_OK)
        return status;
    if (destination.BufferLength() != B_TRANSLATOR_BITMAP_HEADER_SIZE + header.dataSize)
        return B_MISMATCHED_VALUES;
    if (header.rowBytes != bits.width * 4)
        return B_BAD_VALUE;
    image->width = bits.width;
    image->height = bits.height;
    image->space = header.colors;
    image->pixels.resize(size_t(bits.width) * bits.height);
    memcpy(image->pixels.data(), bytes + B_TRANSLATOR_BITMAP_HEADER_SIZE, header.dataSize);
    return B_OK;
}

status_t encode(BTranslator* translator, const Image& image, uint32 type, std::vector<uint8>* data,
                BMessage* ioExtension)
{
    if (translator == nullptr)
        return B_NO_INIT;
    std::vector<uint8> stream = bits_stream(image);
    BMemoryIO source(stream.data(), stream.size());
    translator_info info;
    status_t status = translator->Identify(&source, nullptr, ioExtension, &info, type);
    if (status != B_OK)
        return status;
    source.Seek(0, SEEK_SET);
    BMallocIO destination;
    status = translator->Translate(&source, &info, ioExtension, type, &destination);
    if (status != B_OK)
        return status;
    const uint8* bytes = static_cast<const uint8*>(destination.Buffer());
    data->assign(bytes, bytes + destination.BufferLength());
    return B_OK;
}

status_t encode_into(BTranslator* translator, const Image& image, uint32 type,
                     BPositionIO* destination)
{
    if (translator == nullptr)
        return B_NO_INIT;
    std::vector<uint8> stream = bits_stream(image);
    BMemoryIO source(stream.data(), stream.size());
    return translator->Translate(&source, nullptr, nullptr, type, destination);
}

int max_channel_difference(const Image& a, const Image& b)
{
    if (a.width != b.width || a.height != b.height)
        return 256;
    int worst = 0;
    for (size_t i = 0; i < a.pixels.size(); i++) {
        for (int shift = 0; shift < 32; shift += 8) {
            int d = abs(int((a.pixels[i] >> shift) & 0xff) - int((b.pixels[i] >> shift) & 0xff));
            worst = d > worst ? d : worst;
        }
    }
    return worst;
}

std::vector<uint8> read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool write_file(const std::string& path, const std::vector<uint8>& data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return bool(out);
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tavrin-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) != nullptr)
        fPath = buffer.data();
}

TempDir::~TempDir()
{
    if (!fPath.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(fPath, ignored);
    }
}

ScopedConfigHome::ScopedConfigHome()
{
    const char* old = getenv("XDG_CONFIG_HOME");
    fHadOld = old != nullptr;
    if (fHadOld)
        fOld = old;
    setenv("XDG_CONFIG_HOME", fDir.Path().c_str(), 1);
}

ScopedConfigHome::~ScopedConfigHome()
{
    if (fHadOld)
        setenv("XDG_CONFIG_HOME", fOld.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

bool run_convert(const std::string& arguments)
{
    std::string command = "convert " + arguments + " >/dev/null 2>&1";
    return system(command.c_str()) == 0;
}

} // namespace test
