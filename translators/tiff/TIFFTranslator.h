#ifndef TAVRIN_TIFF_TRANSLATOR_H
#define TAVRIN_TIFF_TRANSLATOR_H

#include "TIFF.h"
#include "translation/BaseTranslator.h"

// Names of the settings, as stored in the settings file and as fields of an
// ioExtension message that overrides them for one translation.
extern const char* const kTIFFSettingCompression; // int32, a TIFFCompression value
// bool: apply the Orientation tag when reading (true), or keep stored order
extern const char* const kTIFFSettingUpright;

// Reads TIFF files into 32-bit bitmaps and writes them back.
class TIFFTranslator : public BPrivate::BaseTranslator
{
public:
    TIFFTranslator();

protected:
    status_t IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                            translator_info* info) override;
    status_t Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination) override;
    status_t Encode(const BPrivate::BitsInfo& bits, BPositionIO* source, BMessage* ioExtension,
                    BPositionIO* destination) override;
    BPrivate::SettingsView* MakeSettingsView() override;
};

#endif
