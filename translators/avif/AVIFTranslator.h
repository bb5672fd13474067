#ifndef TAVRIN_AVIF_TRANSLATOR_H
#define TAVRIN_AVIF_TRANSLATOR_H

#include "AVIF.h"
#include "translation/BaseTranslator.h"

// Names of the settings, as stored in the settings file and as fields of an
// ioExtension message that overrides them for one translation.
extern const char* const kAVIFSettingQuality;  // int32, 0 to 100
extern const char* const kAVIFSettingLossless; // bool

// Reads AVIF pictures into 32-bit bitmaps and writes them.
class AVIFTranslator : public BPrivate::BaseTranslator
{
public:
    AVIFTranslator();

protected:
    status_t IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                            translator_info* info) override;
    status_t Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination) override;
    status_t Encode(const BPrivate::BitsInfo& bits, BPositionIO* source, BMessage* ioExtension,
                    BPositionIO* destination) override;
    BPrivate::SettingsView* MakeSettingsView() override;
};

#endif
