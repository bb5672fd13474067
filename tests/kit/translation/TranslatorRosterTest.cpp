#include <Bitmap.h>
#include <BitmapStream.h>
#include <DataIO.h>
#include <Entry.h>
#include <Translator.h>
#include <TranslatorRoster.h>
#include <View.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The fake add-ons, in the order of their file names.
const char* const kFakeNames[] = {"Fake Targa (low)", "Fake Targa (high)", "Fake media",
                                  "Fake triple", "Fake without view"};
const int32 kFakeCount = 5;

class RosterTest : public testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TRANSLATORS", TAVRIN_FAKE_TRANSLATOR_DIR, 1);
        testing::internal::CaptureStderr();
        fRoster.AddTranslators();
        fStderr = testing::internal::GetCapturedStderr();
    }

    translator_id IDNamed(const char* name)
    {
        translator_id* ids;
        int32 count;
        EXPECT_EQ(fRoster.GetAllTranslators(&ids, &count), B_OK);
        translator_id found = 0;
        for (int32 i = 0; i < count; i++) {
            const char* translatorName;
            fRoster.GetTranslatorInfo(ids[i], &translatorName, nullptr, nullptr);
            if (strcmp(translatorName, name) == 0)
                found = ids[i];
        }
        delete[] ids;
        return found;
    }

    BTranslatorRoster fRoster;
    std::string fStderr;
};

BBitmapStream* probe_stream()
{
    return new BBitmapStream(new BBitmap(BRect(0, 0, 7, 7), B_RGB32));
}

std::string written_text(BMallocIO& io)
{
    return std::string((const char*)io.Buffer(), io.BufferLength());
}

} // namespace

TEST_F(RosterTest, DiscoversAddOnsInNameOrderWithIDsFromOne)
{
    translator_id* ids;
    int32 count;
    ASSERT_EQ(fRoster.GetAllTranslators(&ids, &count), B_OK);
    ASSERT_EQ(count, kFakeCount);
    for (int32 i = 0; i < count; i++) {
        EXPECT_EQ(ids[i], (translator_id)(i + 1));
        const char* name;
        const char* info;
        int32 version;
        ASSERT_EQ(fRoster.GetTranslatorInfo(ids[i], &name, &info, &version), B_OK);
        EXPECT_STREQ(name, kFakeNames[i]);
        EXPECT_EQ(version, 100);
    }
    delete[] ids;
}

TEST_F(RosterTest, BrokenAddOnsAreSkippedWithAMessage)
{
    EXPECT_NE(fStderr.find("70-broken.so"), std::string::npos) << fStderr;
    EXPECT_NE(fStderr.find("60-no-entry-point.so"), std::string::npos) << fStderr;
    // One line each, and nothing about the good ones.
    EXPECT_EQ(std::count(fStderr.begin(), fStderr.end(), '\n'), 2) << fStderr;
}

TEST_F(RosterTest, BitmapSourceListsEveryTranslatorThatReadsIt)
{
    BBitmapStream* stream = probe_stream();
    translator_info* infos;
    int32 count;
    ASSERT_EQ(fRoster.GetTranslators(stream, nullptr, &infos, &count, 0, nullptr, 0), B_OK);
    ASSERT_EQ(count, kFakeCount);
    std::vector<std::string> names;
    for (int32 i = 0; i < count; i++) {
        EXPECT_EQ(infos[i].type, (type_code)B_TRANSLATOR_BITMAP);
        const char* name;
        fRoster.GetTranslatorInfo(infos[i].translator, &name, nullptr, nullptr);
        names.push_back(name);
    }
    delete[] infos;
    delete stream;
    // Best quality x capability first; equal ones keep the roster's order.
    std::vector<std::string> expected = {"Fake Targa (high)", "Fake media", "Fake triple",
                                         "Fake without view", "Fake Targa (low)"};
    EXPECT_EQ(names, expected);
}

TEST_F(RosterTest, WantedTypeLimitsTheList)
{
    BBitmapStream* stream = probe_stream();
    struct Case
    {
        uint32 type;
        int32 count;
    } cases[] = {{B_TGA_FORMAT, 2}, {'FAK2', 1}, {B_TRANSLATOR_MEDIA, 1}, {'NONE', 0}};
    for (const Case& c : cases) {
        translator_info* infos = nullptr;
        int32 count = -1;
        status_t status =
            fRoster.GetTranslators(stream, nullptr, &infos, &count, 0, nullptr, c.type);
        EXPECT_EQ(status, c.count > 0 ? (status_t)B_OK : (status_t)B_NO_TRANSLATOR);
        EXPECT_EQ(count, c.count);
        delete[] infos;
    }
    delete stream;
}

TEST_F(RosterTest, TranslatePicksTheBetterOfTwo)
{
    BBitmapStream* stream = probe_stream();
    BMallocIO out;
    ASSERT_EQ(fRoster.Translate(stream, nullptr, nullptr, &out, B_TGA_FORMAT), B_OK);
    EXPECT_EQ(written_text(out), "Fake Targa (high) wrote 'TGA '");
    delete stream;
}

TEST_F(RosterTest, TranslateWithInfoUsesThatTranslator)
{
    BBitmapStream* stream = probe_stream();
    translator_info info;
    memset(&info, 0, sizeof(info));
    info.translator = IDNamed("Fake Targa (low)");
    BMallocIO out;
    ASSERT_EQ(fRoster.Translate(stream, &info, nullptr, &out, B_TGA_FORMAT), B_OK);
    EXPECT_EQ(written_text(out), "Fake Targa (low) wrote 'TGA '");
    delete stream;
}

TEST_F(RosterTest, NamedTranslatorIsUsed)
{
    BBitmapStream* stream = probe_stream();
    BMallocIO out;
    ASSERT_EQ(fRoster.Translate(IDNamed("Fake Targa (low)"), stream, nullptr, &out, B_TGA_FORMAT),
              B_OK);
    EXPECT_EQ(written_text(out), "Fake Targa (low) wrote 'TGA '");

    BMallocIO none;
    EXPECT_EQ(fRoster.Translate(0, stream, nullptr, &none, 0), B_NO_TRANSLATOR);
    EXPECT_EQ(fRoster.Translate(IDNamed("Fake media"), stream, nullptr, &none, B_TGA_FORMAT),
              B_NO_TRANSLATOR);
    EXPECT_EQ(none.BufferLength(), 0u);
    delete stream;
}

TEST_F(RosterTest, SourceIsRewoundBeforeEachTranslator)
{
    const char data[] = "FAKE data";
    BMemoryIO source(data, sizeof(data));
    source.Seek(5, SEEK_SET);
    translator_info* infos;
    int32 count;
    ASSERT_EQ(fRoster.GetTranslators(&source, nullptr, &infos, &count), B_OK);
    EXPECT_EQ(count, kFakeCount);
    EXPECT_EQ(infos[0].type, (type_code)'FAKE');
    delete[] infos;

    const char other[] = "something else";
    BMemoryIO unknown(other, sizeof(other));
    translator_info info;
    EXPECT_EQ(fRoster.Identify(&unknown, nullptr, &info), B_NO_TRANSLATOR);
}

TEST_F(RosterTest, HintsBreakTies)
{
    const char data[] = "FAKE data";
    BMemoryIO source(data, sizeof(data));
    auto order = [&](uint32 hintType) {
        translator_info* infos;
        int32 count;
        std::vector<std::string> names;
        EXPECT_EQ(fRoster.GetTranslators(&source, nullptr, &infos, &count, hintType), B_OK);
        for (int32 i = 0; i < count; i++) {
            const char* name;
            fRoster.GetTranslatorInfo(infos[i].translator, &name, nullptr, nullptr);
            names.push_back(name);
        }
        delete[] infos;
        return names;
    };
    // Media and triple score the same; the hint puts the triple first.
    std::vector<std::string> plain = {"Fake Targa (high)", "Fake media", "Fake triple",
                                      "Fake without view", "Fake Targa (low)"};
    std::vector<std::string> hinted = {"Fake Targa (high)", "Fake triple", "Fake media",
                                       "Fake without view", "Fake Targa (low)"};
    EXPECT_EQ(order(0), plain);
    EXPECT_EQ(order('FAK3'), hinted);
}

TEST_F(RosterTest, FormatsOfATranslator)
{
    const translation_format* formats;
    int32 count;
    ASSERT_EQ(fRoster.GetOutputFormats(IDNamed("Fake triple"), &formats, &count), B_OK);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(formats[0].type, (uint32)'FAK1');
    EXPECT_STREQ(formats[2].MIME, "image/x-fake-three");
    ASSERT_EQ(fRoster.GetInputFormats(IDNamed("Fake triple"), &formats, &count), B_OK);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(fRoster.GetOutputFormats(999, &formats, &count), B_NO_TRANSLATOR);
}

TEST_F(RosterTest, ConfigurationViews)
{
    BView* view = nullptr;
    BRect extent;
    ASSERT_EQ(fRoster.MakeConfigurationView(IDNamed("Fake triple"), nullptr, &view, &extent), B_OK);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(extent, BRect(0, 0, 199, 99));
    delete view;

    view = nullptr;
    EXPECT_EQ(fRoster.MakeConfigurationView(IDNamed("Fake without view"), nullptr, &view, &extent),
              B_ERROR);
    EXPECT_EQ(view, nullptr);
}

TEST_F(RosterTest, RefNamesTheAddOnFile)
{
    entry_ref ref;
    ASSERT_EQ(fRoster.GetRefFor(IDNamed("Fake media"), &ref), B_OK);
    EXPECT_STREQ(ref.name, "30-media.so");
    EXPECT_STREQ(ref.directory, TAVRIN_FAKE_TRANSLATOR_DIR);
}

TEST(RosterAddTranslator, TakesItsOwnReference)
{
    // A translator made by hand joins with the next id.
    setenv("TRANSLATORS", TAVRIN_FAKE_TRANSLATOR_DIR "/20-targa-high.so", 1);
    BTranslatorRoster roster;
    roster.AddTranslators();
    BTranslator* translator = roster.TranslatorFor(1);
    ASSERT_NE(translator, nullptr);
    EXPECT_EQ(translator->ReferenceCount(), 1);
    BTranslatorRoster other;
    ASSERT_EQ(other.AddTranslator(translator), B_OK);
    EXPECT_EQ(translator->ReferenceCount(), 2);
    EXPECT_EQ(other.TranslatorFor(1), translator);
}

TEST(RosterDefault, IsWholeAndInOrderForItsFirstCaller)
{
    // The default roster loads its add-ons while the program starts; asked
    // at once, it answers with all of them, in name order, and a translator
    // added by hand comes after them.
    setenv("TRANSLATORS", TAVRIN_FAKE_TRANSLATOR_DIR "/20-targa-high.so", 1);
    BTranslatorRoster handMade;
    handMade.AddTranslators();
    BTranslator* extra = handMade.TranslatorFor(1);
    ASSERT_NE(extra, nullptr);

    setenv("TRANSLATORS", TAVRIN_FAKE_TRANSLATOR_DIR, 1);
    testing::internal::CaptureStderr();
    BTranslatorRoster* roster = BTranslatorRoster::Default();
    ASSERT_NE(roster, nullptr);
    ASSERT_EQ(roster->AddTranslator(extra), B_OK);
    translator_id* ids;
    int32 count;
    ASSERT_EQ(roster->GetAllTranslators(&ids, &count), B_OK);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(count, kFakeCount + 1);
    for (int32 i = 0; i < count; i++) {
        EXPECT_EQ(ids[i], (translator_id)(i + 1));
        const char* name;
        ASSERT_EQ(roster->GetTranslatorInfo(ids[i], &name, nullptr, nullptr), B_OK);
        EXPECT_STREQ(name, i < kFakeCount ? kFakeNames[i] : "Fake Targa (high)") << i;
    }
    EXPECT_EQ(roster->TranslatorFor(kFakeCount + 1), extra);
    delete[] ids;
    // A second call is the same roster.
    EXPECT_EQ(BTranslatorRoster::Default(), roster);
}

// A copy of an add-on cut off anywhere (a download or a copy that stopped
// halfway) is skipped with a line, never handed to the loader, which would
// map pages past the file's end and die of a bus error on them.
TEST(RosterAddOns, CutOffCopiesAreSkipped)
{
    std::string folder = testing::TempDir() + "cut-add-ons";
    std::string good = TAVRIN_FAKE_TRANSLATOR_DIR "/20-targa-high.so";
    ASSERT_EQ(system(("rm -rf '" + folder + "' && mkdir -p '" + folder + "' && cp '" + good +
                      "' '" + folder + "/00-whole.so'")
                         .c_str()),
              0);
    FILE* whole = fopen(good.c_str(), "rb");
    ASSERT_NE(whole, nullptr);
    std::vector<char> bytes(1 << 22);
    bytes.resize(fread(bytes.data(), 1, bytes.size(), whole));
    fclose(whole);
    const size_t cuts[] = {0, 4, 63, 64, 200, 5000, bytes.size() / 2, bytes.size() - 1};
    for (size_t cut : cuts) {
        std::string name = folder + "/cut-" + std::to_string(cut) + ".so";
        FILE* part = fopen(name.c_str(), "wb");
        ASSERT_NE(part, nullptr);
        fwrite(bytes.data(), 1, std::min(cut, bytes.size()), part);
        fclose(part);
    }
    setenv("TRANSLATORS", folder.c_str(), 1);
    testing::internal::CaptureStderr();
    BTranslatorRoster roster;
    roster.AddTranslators();
    std::string said = testing::internal::GetCapturedStderr();
    translator_id* ids;
    int32 count;
    ASSERT_EQ(roster.GetAllTranslators(&ids, &count), B_OK);
    delete[] ids;
    EXPECT_EQ(count, 1) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), (long)std::size(cuts)) << said;
    for (size_t cut : cuts)
        EXPECT_NE(said.find("skipping translator add-on " + folder + "/cut-" + std::to_string(cut)),
                  std::string::npos)
            << said;
}

// A translator found in two folders loads once, from the folder that comes
// first: the earlier element of $TRANSLATORS, and without it the user's
// folder before the program's own.
TEST(RosterAddOns, ACopyInALaterFolderIsLeftOut)
{
    std::string root = testing::TempDir() + "twice";
    std::string user = root + "/data/tavrin/translators";
    std::string fake = TAVRIN_FAKE_TRANSLATOR_DIR "/20-targa-high.so";
    std::string tga = TAVRIN_TRANSLATOR_DIR "/TGATranslator.so";
    ASSERT_EQ(system(("rm -rf '" + root + "' && mkdir -p '" + root + "/a' '" + root + "/b' '" +
                      user + "' && cp '" + fake + "' '" + root + "/a/x.so' && cp '" + fake + "' '" +
                      root + "/b/x.so' && cp '" + tga + "' '" + user + "/tga.so'")
                         .c_str()),
              0);
    struct Case
    {
        std::string translators; // empty: the default folders
        const char* name;
        std::string folder;
    };
    const Case cases[] = {
        {root + "/a:" + root + "/b", "Fake Targa (high)", root + "/a"},
        {root + "/b:" + root + "/a", "Fake Targa (high)", root + "/b"},
        {"", "Targa images", user},
    };
    for (const Case& c : cases) {
        if (c.translators.empty())
            unsetenv("TRANSLATORS");
        else
            setenv("TRANSLATORS", c.translators.c_str(), 1);
        setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
        testing::internal::CaptureStderr();
        BTranslatorRoster roster;
        roster.AddTranslators();
        testing::internal::GetCapturedStderr();
        translator_id* ids;
        int32 count;
        ASSERT_EQ(roster.GetAllTranslators(&ids, &count), B_OK);
        int found = 0;
        for (int32 i = 0; i < count; i++) {
            const char* name;
            roster.GetTranslatorInfo(ids[i], &name, nullptr, nullptr);
            if (strcmp(name, c.name) != 0)
                continue;
            found++;
            entry_ref ref;
            ASSERT_EQ(roster.GetRefFor(ids[i], &ref), B_OK);
            EXPECT_EQ(std::string(ref.directory), c.folder) << c.translators;
        }
        delete[] ids;
        EXPECT_EQ(found, 1) << c.translators;
    }
}
