#include "TranslatorTestSupport.h"

#include <Bitmap.h>
#include <BitmapStream.h>
#include <DataIO.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace testing_support {

OneTranslator::OneTranslator(const char* addOnName)
{
    std::string path = std::string(TAVRIN_TRANSLATOR_DIR) + "/" + addOnName;
    fRoster.AddTranslators(path.c_str());
}

status_t OneTranslator::Identify(const std::vector<uint8>& bytes, translator_info* info)
{
    BMemoryIO source(bytes.data(), bytes.size());
    return fRoster.Identify(&source, nullptr, info, 0, nullptr, B_TRANSLATOR_BITMAP);
}

status_t OneTranslator::Decode(const std::vector<uint8>& bytes, Image* image, BMessage* extension)
{
    BMemoryIO source(bytes.data(), bytes.size());
    BBitmapStream stream;
    status_t status = fRoster.Translate(&source, nullptr, extension, &stream, B_TRANSLATOR_BITMAP);
    if (status != B_OK)
        return status;
    BBitmap* bitmap = nullptr;
    status = stream.DetachBitmap(&bitmap);
    if (status != B_OK)
        return status;
    BRect bounds = bitmap->Bounds();
    image->width = (uint32)(bounds.right - bounds.left + 1);
    image->height = (uint32)(bounds.bottom - bounds.top + 1);
    image->space = bitmap->ColorSpace();
    image->pixels.assign(image->width * image->height, 0);
    for (uint32 y = 0; y < image->height; y++) {
        memcpy(&image->pixels[y * image->width], (uint8*)bitmap->Bits() + y * bitmap->BytesPerRow(),
               image->width * 4);
    }
    delete bitmap;
    return B_OK;
}

status_t OneTranslator::Encode(const Image& image, uint32 type, std::vector<uint8>* bytes,
                               BMessage* extension)
{
    BBitmap* bitmap = new BBitmap(BRect(0, 0, image.width - 1, image.height - 1), image.space);
    for (uint32 y = 0; y < image.height; y++) {
        memcpy((uint8*)bitmap->Bits() + y * bitmap->BytesPerRow(), &image.pixels[y * image.width],
               image.width * 4);
    }
    BBitmapStream stream(bitmap);
    BMallocIO out;
    status_t status = fRoster.Translate(ID(), &stream, extension, &out, type);
    if (status == B_OK)
        bytes->assign((const uint8*)out.Buffer(), (const uint8*)out.Buffer() + out.BufferLength());
    return status;
}

ScratchConfig::ScratchConfig()
{
    char pattern[] = "/tmp/tavrin-config-XXXXXX";
    if (mkdtemp(pattern) != nullptr)
        fFolder = pattern;
    setenv("XDG_CONFIG_HOME", fFolder.c_str(), 1);
}

ScratchConfig::~ScratchConfig()
{
    std::string command = "rm -rf '" + fFolder + "'";
    if (system(command.c_str()) != 0)
        fprintf(stderr, "could not remove %s\n", fFolder.c_str());
}

Image make_test_image(uint32 width, uint32 height, bool alpha)
{
    Image image;
    image.width = width;
    image.height = height;
    image.space = alpha ? B_RGBA32 : B_RGB32;
    image.pixels.resize((size_t)width * height);
    for (uint32 y = 0; y < height; y++) {
        for (uint32 x = 0; x < width; x++) {
            uint32 r = (x * 255) / (width > 1 ? width - 1 : 1);
            uint32 g = (y * 255) / (height > 1 ? height - 1 : 1);
            uint32 b = ((x / 3 + y / 2) % 2) ? 200 : 30;
            uint32 a = alpha ? (x + y * 7) % 256 : 255;
            // Runs of equal pixels, so run-length coders have work to do.
            if (y % 5 == 0)
                r = g = b = 90;
            image.pixels[(size_t)y * width + x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    return image;
}

std::string scratch_folder()
{
    static std::string folder;
    if (folder.empty()) {
        char pattern[] = "/tmp/tavrin-test-XXXXXX";
        if (mkdtemp(pattern) != nullptr)
            folder = pattern;
        static struct Remover
        {
            ~Remover()
            {
                std::string command = "rm -rf '" + folder + "'";
                if (system(command.c_str()) != 0)
                    fprintf(stderr, "could not remove %s\n", folder.c_str());
            }
        } remover;
    }
    return folder;
}

std::vector<uint8> read_file(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8>((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::vector<uint8>& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write((const char*)bytes.data(), bytes.size());
}

bool run_convert(const std::string& arguments)
{
    std::string command = "convert " + arguments + " >/dev/null 2>&1";
    return system(command.c_str()) == 0;
}

} // namespace testing_support
