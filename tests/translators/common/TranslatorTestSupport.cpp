#include "TranslatorTestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

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
                translator_info* _info, BMessage* ioExtension)
{
    if (translator == nullptr)
        return B_NO_INIT;
    BMemoryIO source(data.data(), data.size());
    translator_info info;
    status_t status =
        translator->Identify(&source, nullptr, ioExtension, &info, B_TRANSLATOR_BITMAP);
    if (_info != nullptr)
        *_info = info;
    if (status != B_OK)
        return status;
    source.Seek(0, SEEK_SET);
    BMallocIO destination;
    status = translator->Translate(&source, &info, ioExtension, B_TRANSLATOR_BITMAP, &destination);
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

bool run_command(const std::string& command)
{
    std::string quiet = command + " >/dev/null 2>&1";
    return system(quiet.c_str()) == 0;
}

bool read_pam(const std::string& path, Image* image)
{
    std::vector<uint8> data = read_file(path);
    std::string text(data.begin(), data.end());
    size_t end = text.find("ENDHDR\n");
    if (text.compare(0, 3, "P7\n") != 0 || end == std::string::npos)
        return false;
    std::istringstream header(text.substr(3, end - 3));
    std::string key;
    uint32 width = 0, height = 0, depth = 0, maxval = 0;
    while (header >> key) {
        if (key == "WIDTH")
            header >> width;
        else if (key == "HEIGHT")
            header >> height;
        else if (key == "DEPTH")
            header >> depth;
        else if (key == "MAXVAL")
            header >> maxval;
        else
            header.ignore(1000, '\n');
    }
    size_t start = end + 7;
    if (maxval != 255 || depth < 1 || depth > 4 ||
        data.size() - start < size_t(width) * height * depth)
        return false;
    *image =
        make_image(width, height, depth % 2 == 0 ? B_RGBA32 : B_RGB32, [&](uint32 x, uint32 y) {
            const uint8* p = data.data() + start + (size_t(y) * width + x) * depth;
            uint32 r = p[0], g = depth >= 3 ? p[1] : r, b = depth >= 3 ? p[2] : r;
            uint32 a = depth % 2 == 0 ? p[depth - 1] : 255;
            return a << 24 | r << 16 | g << 8 | b;
        });
    return true;
}

bool convert_to_image(const std::string& file, const std::string& options,
                      const std::string& folder, Image* image)
{
    std::string pam = folder + "/reference.pam";
    return run_convert(file + " " + options + " -depth 8 PAM:" + pam) && read_pam(pam, image);
}

const OrientationCase kOrientationCases[8] = {
    {1, ""},           {2, "-flop"},      {3, "-rotate 180"}, {4, "-flip"},
    {5, "-transpose"}, {6, "-rotate 90"}, {7, "-transverse"}, {8, "-rotate 270"},
};

void check_orientations(BTranslator* translator, const std::string& extension,
                        const std::string& writeOptions, const char* setting, int tolerance)
{
    TempDir dir;
    const std::string folder = dir.Path();
    // 32 x 24 in blocks of 8: no turn or mirror of it looks like another.
    const std::string source = folder + "/source.ppm";
    ASSERT_TRUE(run_convert("-size 32x24 xc:'#c03020' -fill '#2040d0' -draw 'rectangle 0,0 7,7' "
                            "-fill '#30b040' -draw 'rectangle 24,16 31,23' -fill '#e0d030' "
                            "-draw 'rectangle 8,0 15,7' -fill '#9030a0' "
                            "-draw 'rectangle 0,16 7,23' -depth 8 " +
                            source));
    Image stored;
    ASSERT_TRUE(convert_to_image(source, "", folder, &stored));
    for (uint32& pixel : stored.pixels)
        pixel |= 0xff000000u;

    // One file from ImageMagick, copied and tagged eight ways by one run of
    // exiftool (its start-up is most of its time).
    const std::string written = folder + "/written." + extension;
    ASSERT_TRUE(run_convert(source + " " + writeOptions + " " + written));
    std::string arguments;
    for (const OrientationCase& c : kOrientationCases) {
        std::string file = folder + "/tagged" + std::to_string(c.orientation) + "." + extension;
        ASSERT_TRUE(write_file(file, read_file(written)));
        arguments += "-n\n-overwrite_original\n-Orientation=" + std::to_string(c.orientation) +
                     "\n" + file + "\n-execute\n";
    }
    ASSERT_TRUE(
        write_file(folder + "/arguments", std::vector<uint8>(arguments.begin(), arguments.end())));
    ASSERT_TRUE(run_command("exiftool -@ " + folder + "/arguments"))
        << "exiftool (libimage-exiftool-perl) is needed";

    for (const OrientationCase& c : kOrientationCases) {
        SCOPED_TRACE("orientation " + std::to_string(c.orientation));
        std::string file = folder + "/tagged" + std::to_string(c.orientation) + "." + extension;
        ASSERT_NE(read_file(file), read_file(written)) << "exiftool left the file alone";
        Image expected;
        ASSERT_TRUE(convert_to_image(source, c.operation, folder, &expected));
        for (uint32& pixel : expected.pixels)
            pixel |= 0xff000000u;

        Image upright;
        ASSERT_EQ(decode(translator, read_file(file), &upright), B_OK);
        EXPECT_EQ(upright.width, expected.width);
        EXPECT_EQ(upright.height, expected.height);
        EXPECT_LE(max_channel_difference(upright, expected), tolerance);

        BMessage keep;
        keep.AddBool(setting, false);
        Image asStored;
        ASSERT_EQ(decode(translator, read_file(file), &asStored, nullptr, &keep), B_OK);
        EXPECT_LE(max_channel_difference(asStored, stored), tolerance);
    }
}

} // namespace test
