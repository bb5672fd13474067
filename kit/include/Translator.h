#ifndef _TRANSLATOR_H
#define _TRANSLATOR_H

#include <DataIO.h>
#include <Rect.h>
#include <TranslationDefs.h>

class BMessage;
class BView;

// One format translator. Add-ons export make_nth_translator(); the roster
// keeps a reference to each translator it loads.
class BTranslator
{
public:
    BTranslator();

    BTranslator* Acquire();
    BTranslator* Release();
    int32 ReferenceCount();

    virtual const char* TranslatorName() const = 0;
    virtual const char* TranslatorInfo() const = 0;
    virtual int32 TranslatorVersion() const = 0;

    virtual const translation_format* InputFormats(int32* _count) const = 0;
    virtual const translation_format* OutputFormats(int32* _count) const = 0;

    // B_NO_TRANSLATOR when the source is not this translator's; B_OK with info filled otherwise.
    virtual status_t Identify(BPositionIO* source, const translation_format* format,
                              BMessage* ioExtension, translator_info* info, uint32 outType) = 0;
    virtual status_t Translate(BPositionIO* source, const translator_info* info,
                               BMessage* ioExtension, uint32 outType, BPositionIO* destination) = 0;

    // The settings panel; the caller owns the view. B_ERROR when there is none.
    virtual status_t MakeConfigurationView(BMessage* ioExtension, BView** _view, BRect* _extent);
    virtual status_t GetConfigurationMessage(BMessage* ioExtension);

protected:
    virtual ~BTranslator();

private:
    BTranslator(const BTranslator&) = delete;
    BTranslator& operator=(const BTranslator&) = delete;

    int32 fRefCount;
};

// A translator whose Identify or Translate fails says why here, in a short
// phrase of its codec's own ("libpng: IHDR: CRC error"), printf-style. The
// reason belongs to the calling thread, so translations on other threads
// keep theirs; the roster hands it back with the status it returns (see
// translation_failure_reason() in TranslatorRoster.h). A failure that is the
// stream's own (a read or write error) needs none: its status says it.
void set_translation_reason(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The entry point of a translator add-on: the n-th translator it holds, or NULL.
extern "C" {
typedef BTranslator* (*make_nth_translator_func)(int32 n, void* image, uint32 flags, ...);
}

#endif
