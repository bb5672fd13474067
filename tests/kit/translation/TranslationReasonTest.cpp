// A failure's reason travels from the translator that gave it, through the
// roster, to the thread that asked, and to no other.

#include <DataIO.h>
#include <Translator.h>
#include <TranslatorRoster.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

namespace {

const translation_format kFormats[] = {
    {'Fake', 'bits', 0.5f, 0.5f, "image/x-fake", "Fake picture"},
    {'bits', 'bits', 0.5f, 0.5f, "image/x-be-bitmap", "Bitmap"},
};

// Takes sources that start with its prefix; what follows says how it fails
// ("fine" does not): a refuser fails Identify, a sayer Translate.
class Teller : public BTranslator
{
public:
    Teller(const char* prefix, bool refuses) : fPrefix(prefix), fRefuses(refuses) {}

    const char* TranslatorName() const override { return fPrefix; }
    const char* TranslatorInfo() const override { return fPrefix; }
    int32 TranslatorVersion() const override { return 1; }
    const translation_format* InputFormats(int32* count) const override
    {
        *count = 2;
        return kFormats;
    }
    const translation_format* OutputFormats(int32* count) const override
    {
        *count = 2;
        return kFormats;
    }

    status_t Identify(BPositionIO* source, const translation_format*, BMessage*,
                      translator_info* info, uint32) override
    {
        // Every translator asked says something, so a refusal's reason must
        // survive the questions after it.
        set_translation_reason("%s was asked", fPrefix);
        std::string said;
        if (!_Read(source, &said))
            return B_NO_TRANSLATOR;
        if (fRefuses && said != "fine") {
            set_translation_reason("%s", said.c_str());
            return B_ILLEGAL_DATA;
        }
        info->type = 'Fake';
        info->group = 'bits';
        info->quality = info->capability = 0.5f;
        return B_OK;
    }

    status_t Translate(BPositionIO* source, const translator_info*, BMessage*, uint32,
                       BPositionIO* destination) override
    {
        std::string said;
        _Read(source, &said);
        set_translation_reason("%s", said.c_str());
        return said == "fine" ? status_t(B_OK) : status_t(B_ILLEGAL_DATA);
    }

private:
    bool _Read(BPositionIO* source, std::string* rest)
    {
        char buffer[64] = {};
        ssize_t got = source->ReadAt(0, buffer, sizeof(buffer) - 1);
        size_t length = strlen(fPrefix);
        if (got < (ssize_t)length || strncmp(buffer, fPrefix, length) != 0)
            return false;
        *rest = buffer + length;
        return true;
    }

    const char* fPrefix;
    bool fRefuses;
};

status_t translate(BTranslatorRoster& roster, const char* text)
{
    BMemoryIO source(text, strlen(text));
    BMallocIO destination;
    return roster.Translate(&source, nullptr, nullptr, &destination, 'bits');
}

} // namespace

TEST(TranslationReason, TheFailingTranslatorsWordsComeBackToItsThread)
{
    BTranslatorRoster roster;
    for (BTranslator* translator :
         {(BTranslator*)new Teller("REFUSE ", true), (BTranslator*)new Teller("SAY ", false)}) {
        roster.AddTranslator(translator);
        translator->Release();
    }
    struct
    {
        const char* source;
        status_t status;
        const char* reason;
    } cases[] = {
        {"REFUSE libfake: bad header", B_ILLEGAL_DATA, "libfake: bad header"},
        {"SAY libfake: line 3\nbroken\n", B_ILLEGAL_DATA, "libfake: line 3 broken"},
        {"SAY fine", B_OK, ""},
        {"nobody's", B_NO_TRANSLATOR, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_EQ(translate(roster, c.source), c.status);
        EXPECT_STREQ(translation_failure_reason(), c.reason);
    }

    // Another thread's failure leaves this thread's reason as it was.
    EXPECT_EQ(translate(roster, "SAY libfake: mine"), B_ILLEGAL_DATA);
    std::string theirs;
    std::thread other([&] {
        translate(roster, "SAY libfake: theirs");
        theirs = translation_failure_reason();
    });
    other.join();
    EXPECT_EQ(theirs, "libfake: theirs");
    EXPECT_STREQ(translation_failure_reason(), "libfake: mine");
}
