// The drag offer and the two forms of answer to a drop target.

#include <BitmapStream.h>
#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <Translator.h>

#include "MouseFixture.h"
#include "window/catalogue.h"

#include <QDir>
#include <QTemporaryDir>

#include <sys/xattr.h>

namespace {

class DragOutTest : public MouseTest
{
protected:
    // Replaces the catalogue with records of the test's own for a while.
    void UseCatalogue(std::vector<s_fmt> records)
    {
        saved.clear();
        for (int32 i = 0; i < trc; i++)
            saved.push_back(*format_at(i));
        SetCatalogue(records);
    }

    void SetCatalogue(const std::vector<s_fmt>& records)
    {
        clear_catalogue();
        for (const s_fmt& record : records)
            xlt.AddItem(new s_fmt(record));
        trc = (int32)records.size();
    }

    void TearDown() override
    {
        if (!saved.empty())
            SetCatalogue(saved);
        MouseTest::TearDown();
    }

    static s_fmt Record(const char* name, const char* mime)
    {
        s_fmt record = {};
        record.translator = 7;
        record.type = 'TEST';
        strcpy(record.name, name);
        strcpy(record.MIME, mime);
        return record;
    }

    // Makes a drag of the rectangle (10, 10) - (19, 14) pending.
    void PendingDrag()
    {
        GiveImage(100, 80);
        Drag(BPoint(10, 10), BPoint(19, 14), 1);
        Mouse(B_MOUSE_DOWN, BPoint(12, 12), 1);
        Mouse(B_MOUSE_UP, BPoint(12, 12), 0);
        ASSERT_NE(view->dragbitmap, nullptr);
    }

    std::vector<s_fmt> saved;
};

// Receives the view's answers.
class Target : public BLooper
{
public:
    Target() : BLooper("target") { Run(); }
    void MessageReceived(BMessage* message) override { answers.push_back(*message); }
    std::vector<BMessage> answers;
};

// Waits for that many answers, and for any that would follow them.
void Answered(Target* target, size_t count)
{
    run_until([&] { return target->answers.size() >= count; });
    settle(target);
}

std::vector<std::string> strings(const BMessage& message, const char* name)
{
    std::vector<std::string> result;
    const char* value;
    for (int32 i = 0; message.FindString(name, i, &value) == B_OK; i++)
        result.push_back(value);
    return result;
}

TEST_F(DragOutTest, TheOfferListsEveryFormat)
{
    UseCatalogue(
        {Record("X image", "image/x"), Record("Y image", "image/y"), Record("Z image", "image/z")});
    BMessage* offer = view->ddmessage();
    EXPECT_EQ(offer->what, (uint32)B_SIMPLE_DATA);
    EXPECT_EQ(strings(*offer, "be:types"),
              (std::vector<std::string>{"image/x-be-bitmap", "image/x", "image/y", "image/z",
                                        B_FILE_MIME_TYPE}));
    EXPECT_EQ(strings(*offer, "be:filetypes"),
              (std::vector<std::string>{"image/x", "image/y", "image/z"}));
    EXPECT_EQ(strings(*offer, "be:type_descriptions"),
              (std::vector<std::string>{"X image", "Y image", "Z image"}));
    EXPECT_EQ(offer->GetInt32("be:actions", 0), (int32)B_COPY_TARGET);
    EXPECT_STREQ(offer->GetString("be:clip_name", ""), "tavrin_img");
    EXPECT_STREQ(offer->GetString("source", ""), "tavrin");
    // Fields in the order they were first added.
    char* name;
    type_code type;
    const char* order[] = {"be:types",   "be:filetypes", "be:type_descriptions",
                           "be:actions", "be:clip_name", "source"};
    for (int32 i = 0; i < 6; i++) {
        ASSERT_EQ(offer->GetInfo(B_ANY_TYPE, i, &name, &type), B_OK);
        EXPECT_STREQ(name, order[i]);
    }
    delete offer;

    UseCatalogue({});
    offer = view->ddmessage();
    EXPECT_EQ(strings(*offer, "be:types"),
              (std::vector<std::string>{"image/x-be-bitmap", B_FILE_MIME_TYPE}));
    EXPECT_FALSE(offer->HasString("be:filetypes"));
    EXPECT_FALSE(offer->HasString("be:type_descriptions"));
    delete offer;
}

TEST_F(DragOutTest, RawBitmapDataIsServedUnchangedToEveryRequest)
{
    PendingDrag();
    BBitmap expected(view->dragbitmap);
    Target* target = new Target;
    BMessage request(B_COPY_TARGET);
    request.AddString("be:types", "image/x-be-bitmap");
    BMessenger(view).SendMessage(&request, target);
    Answered(target, 1);
    ASSERT_EQ(target->answers.size(), 1u);
    const BMessage& answer = target->answers[0];
    EXPECT_EQ(answer.what, (uint32)B_MIME_DATA);
    const void* data;
    ssize_t size;
    ASSERT_EQ(answer.FindData("image/x-be-bitmap", B_MIME_TYPE, &data, &size), B_OK);
    // The bytes are the standard bitmap stream of the selection.
    BBitmapStream reference(new BBitmap(&expected));
    ASSERT_EQ(size, reference.Size());
    std::vector<char> bytes(size);
    reference.ReadAt(0, bytes.data(), size);
    EXPECT_EQ(memcmp(bytes.data(), data, size), 0);

    // Programs the drag passes over may ask before the real target: every
    // request of the drag is answered, in any type, until the next drag.
    BMessage other(B_COPY_TARGET);
    other.AddString("be:types", B_FILE_MIME_TYPE);
    BMessenger(view).SendMessage(&other, target);
    BMessenger(view).SendMessage(&request, target);
    Answered(target, 3);
    ASSERT_EQ(target->answers.size(), 3u);
    ASSERT_EQ(target->answers[2].FindData("image/x-be-bitmap", B_MIME_TYPE, &data, &size), B_OK);
    ASSERT_EQ(size, reference.Size());
    EXPECT_EQ(memcmp(bytes.data(), data, size), 0);
    target->Lock();
    target->Quit();
}

TEST_F(DragOutTest, DataInARequestedFormat)
{
    ulong id, type;
    view->select_trans("image/png", &id, &type);
    if (id == 0)
        GTEST_SKIP() << "no PNG translator";
    PendingDrag();
    Target* target = new Target;
    BMessage request(B_COPY_TARGET);
    request.AddString("be:types", "image/png");
    BMessenger(view).SendMessage(&request, target);
    Answered(target, 1);
    ASSERT_EQ(target->answers.size(), 1u);
    const void* data;
    ssize_t size;
    ASSERT_EQ(target->answers[0].FindData("image/png", B_MIME_TYPE, &data, &size), B_OK);
    ASSERT_GT(size, 8);
    EXPECT_EQ(memcmp(data, "\x89PNG", 4), 0);
    QImage decoded = QImage::fromData(static_cast<const uchar*>(data), (int)size, "PNG");
    ASSERT_EQ(decoded.size(), QSize(10, 5));
    EXPECT_EQ(decoded.pixel(0, 0) & 0xffffff, Colour(10, 10) & 0xffffff);
    target->Lock();
    target->Quit();
}

TEST_F(DragOutTest, AFileIsWrittenWhereTheTargetSays)
{
    ulong id, type;
    view->select_trans("image/png", &id, &type);
    if (id == 0)
        GTEST_SKIP() << "no PNG translator";
    QTemporaryDir folder;
    entry_ref directory;
    get_ref_for_path(folder.path().toUtf8().constData(), &directory);

    PendingDrag();
    BMessage request(B_COPY_TARGET);
    request.AddRef("directory", &directory);
    request.AddString("name", "dragged.png");
    request.AddString("be:filetypes", "image/png");
    BMessenger(view).SendMessage(&request);
    std::string path = folder.filePath("dragged.png").toStdString();
    // The file takes its name only once it is whole.
    run_until([&] { return QFile::exists(QString::fromStdString(path)); });
    QImage written(QString::fromStdString(path));
    ASSERT_EQ(written.size(), QSize(10, 5));
    EXPECT_EQ(written.pixel(9, 4) & 0xffffff, Colour(19, 14) & 0xffffff);
    char value[64] = {};
    ASSERT_GT(getxattr(path.c_str(), "user.mime_type", value, sizeof(value)), 0);
    EXPECT_STREQ(value, "image/png");
    // The selection stays for the drag's other requests.
    EXPECT_NE(view->dragbitmap, nullptr);
}

TEST_F(DragOutTest, NamesThatLeaveTheFolderAreRefused)
{
    QTemporaryDir folder;
    QDir(folder.path()).mkdir("inner");
    entry_ref directory;
    get_ref_for_path(folder.filePath("inner").toUtf8().constData(), &directory);
    for (const char* name : {"", ".", "..", "../escaped.png", "a/b.png"}) {
        PendingDrag();
        BMessage request(B_COPY_TARGET);
        request.AddRef("directory", &directory);
        request.AddString("name", name);
        request.AddString("be:filetypes", "image/png");
        testing::internal::CaptureStderr();
        BMessenger(view).SendMessage(&request);
        // The view has answered once the window has handled the request.
        settle(window);
        testing::internal::GetCapturedStderr();
        EXPECT_TRUE(QDir(folder.filePath("inner")).isEmpty()) << name;
        EXPECT_FALSE(QFile::exists(folder.filePath("escaped.png")));
    }

    // A reply without the strings it needs answers nothing.
    Target* target = new Target;
    PendingDrag();
    BMessage bare(B_COPY_TARGET);
    BMessenger(view).SendMessage(&bare, target);
    settle(window);
    settle(target);
    EXPECT_TRUE(target->answers.empty());
    target->Lock();
    target->Quit();
}

TEST_F(DragOutTest, AnUnknownTypeIsAnsweredWithNothing)
{
    PendingDrag();
    Target* target = new Target;
    BMessage request(B_COPY_TARGET);
    request.AddString("be:types", B_FILE_MIME_TYPE);
    BMessenger(view).SendMessage(&request, target);
    Answered(target, 1);
    ASSERT_EQ(target->answers.size(), 1u);
    // The answer goes out holding nothing (the kit keeps no empty data item).
    EXPECT_EQ(target->answers[0].what, (uint32)B_MIME_DATA);
    const void* data;
    ssize_t size = 0;
    if (target->answers[0].FindData(B_FILE_MIME_TYPE, B_MIME_TYPE, &data, &size) == B_OK) {
        EXPECT_EQ(size, 0);
    }
    target->Lock();
    target->Quit();
}

// Writes the start of a picture and then fails, as a translator does whose
// encoder gives up half-way.
class HalfWriter : public BTranslator
{
public:
    const char* TranslatorName() const override { return "half writer"; }
    const char* TranslatorInfo() const override { return "fails after a few bytes"; }
    int32 TranslatorVersion() const override { return 100; }
    // It reads the bitmap stream (the last record) and writes both.
    const translation_format* InputFormats(int32* count) const override { return From(1, count); }
    const translation_format* OutputFormats(int32* count) const override { return From(0, count); }
    status_t Identify(BPositionIO*, const translation_format*, BMessage*, translator_info* info,
                      uint32) override
    {
        info->type = B_TRANSLATOR_BITMAP;
        return B_OK;
    }
    status_t Translate(BPositionIO*, const translator_info*, BMessage*, uint32,
                       BPositionIO* destination) override
    {
        destination->Write("HALF", 4);
        return fFailure;
    }
    status_t fFailure = B_OK;

private:
    static const translation_format* From(int32 first, int32* count)
    {
        *count = 2 - first;
        return kFormats + first;
    }
    static constexpr translation_format kFormats[] = {
        {'HALF', B_TRANSLATOR_BITMAP, 0.5f, 0.5f, "image/x-half", "Half image"},
        {B_TRANSLATOR_BITMAP, B_TRANSLATOR_BITMAP, 0.5f, 0.5f, "image/x-be-bitmap", "bits"}};
};

TEST_F(DragOutTest, AFailedTranslationSendsNoData)
{
    BTranslatorRoster roster;
    HalfWriter* writer = new HalfWriter;
    roster.AddTranslator(writer);
    translator_id* ids = nullptr;
    int32 count = 0;
    ASSERT_EQ(roster.GetAllTranslators(&ids, &count), B_OK);
    ASSERT_EQ(count, 1);
    s_fmt record = Record("Half image", "image/x-half");
    record.translator = ids[0];
    record.type = 'HALF';
    delete[] ids;
    BTranslatorRoster* saved = tr;
    tr = &roster;
    UseCatalogue({record});
    PendingDrag();

    // The same translator once succeeding, once failing with bytes written.
    const struct
    {
        status_t failure;
        bool hasData;
    } cases[] = {{B_OK, true}, {B_NO_MEMORY, false}, {B_IO_ERROR, false}, {B_ERROR, false}};
    for (const auto& c : cases) {
        writer->fFailure = c.failure;
        Target* target = new Target;
        BMessage request(B_COPY_TARGET);
        request.AddString("be:types", "image/x-half");
        testing::internal::CaptureStderr();
        BMessenger(view).SendMessage(&request, target);
        run_until([&] { return target->answers.size() == 1; });
        testing::internal::GetCapturedStderr();
        ASSERT_EQ(target->answers.size(), 1u) << c.failure;
        EXPECT_EQ(target->answers[0].what, (uint32)B_MIME_DATA);
        const void* data;
        ssize_t size = 0;
        EXPECT_EQ(target->answers[0].FindData("image/x-half", B_MIME_TYPE, &data, &size) == B_OK,
                  c.hasData)
            << c.failure;
        target->Lock();
        target->Quit();
    }
    writer->Release();
    tr = saved;
}

TEST_F(DragOutTest, DroppingTheSelectionOnTheViewCopiesItThere)
{
    PendingDrag();
    // The platform delivers the drag message itself, with where it landed.
    BMessage dropped(drags.back());
    dropped.AddPoint("_drop_point_", view->ConvertToScreen(BPoint(60, 40)));
    dropped.AddPoint("_drop_offset_", BPoint(2, 2));
    BMessenger(view).SendMessage(&dropped, view);
    Settle();
    // The selection's top-left pixel lands at (58, 38); the rest follows.
    const uint32* bits = static_cast<const uint32*>(view->image->Bits());
    EXPECT_EQ(bits[38 * 100 + 58], Colour(10, 10));
    EXPECT_EQ(bits[42 * 100 + 67], Colour(19, 14));
    EXPECT_EQ(bits[43 * 100 + 68], Colour(68, 43));
    EXPECT_EQ(bits[10 * 100 + 10], Colour(10, 10));
}

} // namespace
