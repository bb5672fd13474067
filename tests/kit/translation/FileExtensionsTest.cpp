// The one table of file name extensions: what a name asks for, what a new
// file is called, and that it knows every type a built translator writes.

#include <FileExtensions.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FileExtensionsTest, NamesAndTypesBothWays)
{
    struct Case
    {
        const char* extension;
        const char* mime; // null: the extension names no type
    };
    const Case cases[] = {
        {"png", "image/png"},
        {"PNG", "image/png"},
        {"jpg", "image/jpeg"},
        {"JPEG", "image/jpeg"},
        {"tga", "image/x-targa"},
        {"tif", "image/tiff"},
        {"tiff", "image/tiff"},
        {"heic", "image/heic"},
        {"heif", "image/heic"},
        {"jxl", "image/jxl"},
        {"ppm", "image/x-portable-pixmap"},
        {"xyz", nullptr},
        {"", nullptr},
        {"png.", nullptr},
    };
    for (const Case& c : cases) {
        const char* mime = mime_for_extension(c.extension);
        EXPECT_EQ(mime ? std::string(mime) : "(none)", c.mime ? c.mime : "(none)") << c.extension;
    }
    EXPECT_STREQ(extension_for_mime("image/jpeg"), "jpg");
    EXPECT_STREQ(extension_for_mime("IMAGE/TIFF"), "tif");
    EXPECT_STREQ(extension_for_mime("image/heic"), "heic");
    EXPECT_EQ(extension_for_mime("image/x-unknown"), nullptr);
    EXPECT_EQ(extension_for_mime(nullptr), nullptr);
    EXPECT_EQ(mime_for_extension(nullptr), nullptr);
}

// A translator added with a type the table does not know would give files
// without a proper name and a converter that cannot be asked for it.
TEST(FileExtensionsTest, EveryTypeATranslatorWritesHasAnExtension)
{
    BTranslatorRoster roster;
    ASSERT_EQ(roster.AddTranslators(TAVRIN_TRANSLATOR_DIR), B_OK);
    translator_id* ids = nullptr;
    int32 count = 0;
    ASSERT_EQ(roster.GetAllTranslators(&ids, &count), B_OK);
    ASSERT_GT(count, 0);
    for (int32 i = 0; i < count; i++) {
        const translation_format* formats = nullptr;
        int32 formatCount = 0;
        ASSERT_EQ(roster.GetOutputFormats(ids[i], &formats, &formatCount), B_OK);
        for (int32 k = 0; k < formatCount; k++) {
            if (formats[k].type == B_TRANSLATOR_BITMAP)
                continue;
            const char* extension = extension_for_mime(formats[k].MIME);
            ASSERT_NE(extension, nullptr) << formats[k].MIME;
            EXPECT_STREQ(mime_for_extension(extension), formats[k].MIME);
        }
    }
    delete[] ids;
}

} // namespace
