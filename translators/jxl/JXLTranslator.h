#ifndef TAVRIN_JXL_TRANSLATOR_H
#define TAVRIN_JXL_TRANSLATOR_H

#include "JXL.h"
#include "translation/BaseTranslator.h"

// Names of the settings, as stored in the settings file and as fields of an
// ioExtension message that overrides them for one translation.
extern const char* const kJXLSettingQuality;  // int32, 0 to 100
extern const char* const kJXLSettingLossless; // bool

// Reads JPEG XL pictures into 32-bit bitmaps and writes them.
class JXLTranslator : public BPrivate::BaseTranslator
{
public:
    JXLTranslator();

protected:
    status_t IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                            translator_info* info) override;
    status_t Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination) override;
    status_t Encode(const BPrivate::BitsInfo& bits, BPositionIO* source, BMessage* ioExtension,
                    BPositionIO* destination) override;
    BPrivate::SettingsView* MakeSettingsView() override;
};

#endif
