// The catalogue keeps whatever names the translators give, and a program
// without any writer still has its whole File menu.

#include <MenuBar.h>
#include <MenuItem.h>
#include <Messenger.h>
#include <Translator.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include "TestApp.h"
#include "app/tavrin.h"
#include "view/tavrinview.h"
#include "window/catalogue.h"
#include "window/tavrinwindow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Writes one format with a name and MIME type as long as the records hold.
class LongNames : public BTranslator
{
public:
    LongNames()
    {
        memset(&fFormats, 0, sizeof(fFormats));
        fFormats[0].type = 'LONG';
        fFormats[0].group = B_TRANSLATOR_BITMAP;
        fFormats[0].quality = fFormats[0].capability = 0.5f;
        memset(fFormats[0].name, 'n', 250);
        memset(fFormats[0].MIME, 'm', 250);
        fFormats[1] = fFormats[0];
        fFormats[1].type = B_TRANSLATOR_BITMAP;
        strcpy(fFormats[1].name, "bits");
        strcpy(fFormats[1].MIME, "image/x-be-bitmap");
    }
    const char* TranslatorName() const override { return "long names"; }
    const char* TranslatorInfo() const override { return "names of 250 bytes"; }
    int32 TranslatorVersion() const override { return 100; }
    const translation_format* InputFormats(int32* count) const override
    {
        *count = 1;
        return &fFormats[1];
    }
    const translation_format* OutputFormats(int32* count) const override
    {
        *count = 2;
        return fFormats;
    }
    status_t Identify(BPositionIO* source, const translation_format*, BMessage*,
                      translator_info* info, uint32) override
    {
        char magic[4];
        if (source->Read(magic, 4) != 4 || memcmp(magic, "bits", 4) != 0)
            return B_NO_TRANSLATOR;
        info->type = B_TRANSLATOR_BITMAP;
        info->group = B_TRANSLATOR_BITMAP;
        info->quality = info->capability = 0.5f;
        strcpy(info->name, "bits");
        strcpy(info->MIME, "image/x-be-bitmap");
        return B_OK;
    }
    status_t Translate(BPositionIO*, const translator_info*, BMessage*, uint32,
                       BPositionIO*) override
    {
        return B_ERROR;
    }

private:
    translation_format fFormats[2];
};

class CatalogueTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test_app();
        saved = tr;
    }
    void TearDown() override { tr = saved; }
    BTranslatorRoster* saved = nullptr;
};

TEST_F(CatalogueTest, ANameOf250BytesIsKeptWhole)
{
    BTranslatorRoster roster;
    // The roster keeps its own reference.
    LongNames* translator = new LongNames;
    roster.AddTranslator(translator);
    translator->Release();
    tr = &roster;
    fill_catalogue();
    ASSERT_EQ(trc, 1);
    EXPECT_EQ(std::string(format_at(0)->name), std::string(250, 'n'));
    EXPECT_EQ(std::string(format_at(0)->MIME), std::string(250, 'm'));
    EXPECT_EQ(format_at(0)->type, (uint32)'LONG');
    clear_catalogue();
}

TEST_F(CatalogueTest, WithoutWritersTheMenusThatListFormatsAreEmpty)
{
    BTranslatorRoster empty;
    tr = &empty;
    pic.Set(0, 0, -1, -1);
    tavrinwindow* window = new tavrinwindow(BRect(100, 100, 300, 250));
    settle(window);
    EXPECT_EQ(trc, 0);
    BMenuBar* bar = dynamic_cast<BMenuBar*>(window->FindView("menubar"));
    ASSERT_NE(bar, nullptr);
    BMenu* file = bar->SubmenuAt(0);
    EXPECT_EQ(file->CountItems(), 12);
    EXPECT_EQ(file->SubmenuAt(3)->CountItems(), 0);
    EXPECT_STREQ(file->ItemAt(2)->Label(), "Save");
    EXPECT_FALSE(file->ItemAt(2)->IsEnabled());
    EXPECT_EQ(bar->SubmenuAt(3)->CountItems(), 0);
    EXPECT_EQ(window->Frame(), BRect(100, 100, 300, 250));

    // Save as has no format to offer: nothing opens.
    window->view->image = new BBitmap(BRect(0, 0, 4, 4), B_RGB32);
    BMessage saveAs('fiwr');
    BMessenger(window->view).SendMessage(&saveAs);
    settle(window);
    EXPECT_EQ(window->view->panel, nullptr);
    BMessenger messenger(window);
    window->QuitRequested();
    window->Quit();
    run_until([&] { return !messenger.IsValid(); });
}

} // namespace
