#ifndef _TRANSLATOR_ROSTER_H
#define _TRANSLATOR_ROSTER_H

#include <DataIO.h>
#include <Rect.h>
#include <TranslationDefs.h>

class BMessage;
class BTranslator;
class BView;
struct entry_ref;

namespace BPrivate {
struct RosterData;
}

// Why the last Identify, GetTranslators or Translate the calling thread made
// on a roster failed, in the words of the translator that failed ("libpng:
// IHDR: CRC error"); empty when it gave none, and after a call that
// succeeded. The text is the thread's own until its next such call: a
// caller that carries a failure elsewhere copies it with the status.
const char* translation_failure_reason();

// The set of translators a program uses. The default roster loads the add-ons
// from the folders in $TRANSLATORS (colon-separated) or else from
// $XDG_DATA_HOME/tavrin/translators and the translators folder beside the
// program. A translator whose name an earlier folder brought is left out.
class BTranslatorRoster
{
public:
    BTranslatorRoster();
    virtual ~BTranslatorRoster();

    static BTranslatorRoster* Default();

    // Loads every add-on in the folders of a colon-separated list (or the
    // default folders when path is NULL); an add-on that fails to load is
    // skipped with a line on standard error.
    status_t AddTranslators(const char* path = nullptr);
    status_t AddTranslator(BTranslator* translator);

    // When no translator takes the source: B_NO_TRANSLATOR, or the error of
    // a translator that knew the format but refused this source (B_NO_MEMORY
    // for a picture past the size limit, B_ILLEGAL_DATA for a damaged one).
    // So do GetTranslators and Translate without a translator.
    virtual status_t Identify(BPositionIO* source, BMessage* ioExtension, translator_info* _info,
                              uint32 hintType = 0, const char* hintMIME = nullptr,
                              uint32 wantType = 0);
    // The caller owns the returned array (delete[]).
    virtual status_t GetTranslators(BPositionIO* source, BMessage* ioExtension,
                                    translator_info** _info, int32* _numInfo, uint32 hintType = 0,
                                    const char* hintMIME = nullptr, uint32 wantType = 0);
    // The caller owns the returned array (delete[]).
    virtual status_t GetAllTranslators(translator_id** _list, int32* _count);
    virtual status_t GetTranslatorInfo(translator_id translatorID, const char** _name,
                                       const char** _info, int32* _version);
    // The format arrays belong to the roster.
    virtual status_t GetInputFormats(translator_id id, const translation_format** _formats,
                                     int32* _numFormats);
    virtual status_t GetOutputFormats(translator_id id, const translation_format** _formats,
                                      int32* _numFormats);

    virtual status_t Translate(BPositionIO* source, const translator_info* info,
                               BMessage* ioExtension, BPositionIO* destination, uint32 wantOutType,
                               uint32 hintType = 0, const char* hintMIME = nullptr);
    virtual status_t Translate(translator_id translator, BPositionIO* source, BMessage* ioExtension,
                               BPositionIO* destination, uint32 wantOutType);

    // The caller owns the view.
    virtual status_t MakeConfigurationView(translator_id translator, BMessage* ioExtension,
                                           BView** _view, BRect* _extent);
    virtual status_t GetConfigurationMessage(translator_id translator, BMessage* ioExtension);

    status_t GetRefFor(translator_id translator, entry_ref* ref);
    BTranslator* TranslatorFor(translator_id translator);

private:
    BTranslatorRoster(const BTranslatorRoster&) = delete;
    BTranslatorRoster& operator=(const BTranslatorRoster&) = delete;

    BPrivate::RosterData* fData;
};

#endif
