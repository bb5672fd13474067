#ifndef TAVRIN_WEBP_TRANSLATOR_H
#define TAVRIN_WEBP_TRANSLATOR_H

#include "WebP.h"
#include "translation/BaseTranslator.h"

// Names of the settings, as stored in the settings file and as fields of an
// ioExtension message that overrides them for one translation.
extern const char* const kWebPSettingQuality;  // int32, 0 to 100
extern const char* const kWebPSettingLossless; // bool
// bool: apply the Exif orientation when reading (true), or keep stored order
extern const char* const kWebPSettingUpright;

// Reads WebP files into 32-bit bitmaps and writes them back.
class WebPTranslator : public BPrivate::BaseTranslator
{
public:
    WebPTranslator();

protected:
    status_t IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                            translator_info* info) override;
    status_t Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination) override;
    status_t Encode(const BPrivate::BitsInfo& bits, BPositionIO* source, BMessage* ioExtension,
                    BPositionIO* destination) override;
    BPrivate::SettingsView* MakeSettingsView() override;
};

#endif
