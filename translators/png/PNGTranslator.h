#ifndef TAVRIN_PNG_TRANSLATOR_H
#define TAVRIN_PNG_TRANSLATOR_H

#include "PNG.h"
#include "translation/BaseTranslator.h"

// Names of the settings, as stored in the settings file and as fields of an
// ioExtension message that overrides them for one translation.
extern const char* const kPNGSettingCompression; // int32, 0 (none) to 9
extern const char* const kPNGSettingInterlace;   // bool, Adam7 when true
// bool: apply the Exif orientation when reading (true), or keep stored order
extern const char* const kPNGSettingUpright;

// Reads PNG files into 32-bit bitmaps and writes them back.
class PNGTranslator : public BPrivate::BaseTranslator
{
public:
    PNGTranslator();

protected:
    status_t IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                            translator_info* info) override;
    status_t Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination) override;
    status_t Encode(const BPrivate::BitsInfo& bits, BPositionIO* source, BMessage* ioExtension,
                    BPositionIO* destination) override;
    BPrivate::SettingsView* MakeSettingsView() override;
};

#endif
