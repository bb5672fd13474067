#ifndef TAVRIN_JPEG_TRANSLATOR_H
#define TAVRIN_JPEG_TRANSLATOR_H

#include "JPEG.h"
#include "translation/BaseTranslator.h"

// Names of the settings, as stored in the settings file and as fields of an
// ioExtension message that overrides them for one translation.
extern const char* const kJPEGSettingQuality;     // int32, 1 to 100
extern const char* const kJPEGSettingProgressive; // bool
extern const char* const kJPEGSettingSubsampling; // int32, a JPEGSubsampling value
// bool: apply the Exif orientation when reading (true), or keep stored order
extern const char* const kJPEGSettingUpright;

// Reads JPEG files into 32-bit bitmaps and writes them back.
class JPEGTranslator : public BPrivate::BaseTranslator
{
public:
    JPEGTranslator();

protected:
    status_t IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                            translator_info* info) override;
    status_t Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination) override;
    status_t Encode(const BPrivate::BitsInfo& bits, BPositionIO* source, BMessage* ioExtension,
                    BPositionIO* destination) override;
    BPrivate::SettingsView* MakeSettingsView() override;
};

#endif
