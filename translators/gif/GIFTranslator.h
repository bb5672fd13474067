#ifndef TAVRIN_GIF_TRANSLATOR_H
#define TAVRIN_GIF_TRANSLATOR_H

#include "GIF.h"
#include "translation/BaseTranslator.h"

// Names of the settings, as stored in the settings file and as fields of an
// ioExtension message that overrides them for one translation.
extern const char* const kGIFSettingDither; // bool, Floyd-Steinberg when quantising

// Reads GIF files (the first frame) into 32-bit bitmaps and writes them back.
class GIFTranslator : public BPrivate::BaseTranslator
{
public:
    GIFTranslator();

protected:
    status_t IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                            translator_info* info) override;
    status_t Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination) override;
    status_t Encode(const BPrivate::BitsInfo& bits, BPositionIO* source, BMessage* ioExtension,
                    BPositionIO* destination) override;
    BPrivate::SettingsView* MakeSettingsView() override;
};

#endif
