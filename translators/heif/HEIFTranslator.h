#ifndef TAVRIN_HEIF_TRANSLATOR_H
#define TAVRIN_HEIF_TRANSLATOR_H

#include "HEIF.h"
#include "translation/BaseTranslator.h"

// Names of the settings, as stored in the settings file and as fields of an
// ioExtension message that overrides them for one translation.
extern const char* const kHEIFSettingQuality;  // int32, 0 to 100
extern const char* const kHEIFSettingLossless; // bool

// Reads HEIF/HEIC pictures (HEVC-coded) into 32-bit bitmaps and writes them.
class HEIFTranslator : public BPrivate::BaseTranslator
{
public:
    HEIFTranslator();

protected:
    status_t IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                            translator_info* info) override;
    status_t Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination) override;
    status_t Encode(const BPrivate::BitsInfo& bits, BPositionIO* source, BMessage* ioExtension,
                    BPositionIO* destination) override;
    BPrivate::SettingsView* MakeSettingsView() override;

private:
    HEIFLibrary fLibrary;
};

#endif
