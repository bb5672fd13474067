#ifndef TAVRIN_BMP_TRANSLATOR_H
#define TAVRIN_BMP_TRANSLATOR_H

#include "BMP.h"

#include "translation/BaseTranslator.h"

// Reads Windows and OS/2 bitmaps into 32-bit bitmaps and writes Windows ones.
// BMP has nothing to choose, so the translator has no settings and no panel.
class BMPTranslator : public BPrivate::BaseTranslator
{
public:
    BMPTranslator();

protected:
    status_t IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                            translator_info* info) override;
    status_t Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination) override;
    status_t Encode(const BPrivate::BitsInfo& bits, BPositionIO* source, BMessage* ioExtension,
                    BPositionIO* destination) override;
};

#endif
