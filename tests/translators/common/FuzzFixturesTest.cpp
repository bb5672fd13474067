// Replays the inputs that once crashed a decoder under the fuzzer (kept by
// scripts/fuzz in tests/fixtures/fuzz/<codec>/). Each must now give an answer,
// and a decoded picture must be a consistent bitmap; the sanitizers of a
// sanitizer build catch anything worse.

#include "TranslatorTestSupport.h"

#include <Bitmap.h>
#include <BitmapStream.h>
#include <DataIO.h>

#include <gtest/gtest.h>

#include <dirent.h>
#include <string>
#include <vector>

using namespace test;

namespace {

std::vector<std::string> fixture_files()
{
    std::vector<std::string> files;
    std::string root = TAVRIN_FUZZ_FIXTURES;
    DIR* codecs = opendir(root.c_str());
    if (codecs == nullptr)
        return files;
    while (struct dirent* codec = readdir(codecs)) {
        if (codec->d_name[0] == '.')
            continue;
        std::string folder = root + "/" + codec->d_name;
        DIR* dir = opendir(folder.c_str());
        if (dir == nullptr)
            continue;
        while (struct dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.')
                files.push_back(folder + "/" + entry->d_name);
        }
        closedir(dir);
    }
    closedir(codecs);
    return files;
}

} // namespace

TEST(FuzzFixtures, EveryKeptInputGetsASafeAnswer)
{
    std::vector<std::string> files = fixture_files();
    if (files.empty())
        GTEST_SKIP() << "no fuzz fixtures kept in " << TAVRIN_FUZZ_FIXTURES;
    BTranslatorRoster* roster = BTranslatorRoster::Default();
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        std::vector<uint8> bytes = read_file(file);
        BMemoryIO source(bytes.data(), bytes.size());
        BBitmapStream bits;
        status_t status = roster->Translate(&source, nullptr, nullptr, &bits, 'bits');
        if (status != B_OK)
            continue;
        BBitmap* bitmap = nullptr;
        ASSERT_EQ(bits.DetachBitmap(&bitmap), B_OK);
        BRect bounds = bitmap->Bounds();
        EXPECT_GE((int64)bitmap->BitsLength(),
                  (int64)bitmap->BytesPerRow() * (int64)(bounds.bottom - bounds.top + 1));
        delete bitmap;
    }
}
