#ifndef TAVRIN_TGA_TRANSLATOR_H
#define TAVRIN_TGA_TRANSLATOR_H

#include "TGA.h"

#include "translation/BaseTranslator.h"

class TGATranslator : public BPrivate::BaseTranslator
{
public:
    TGATranslator();

protected:
    status_t IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                            translator_info* info) override;
    status_t Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination) override;
    status_t Encode(const BPrivate::BitsInfo& bits, BPositionIO* source, BMessage* ioExtension,
                    BPositionIO* destination) override;
    BPrivate::SettingsView* MakeSettingsView() override;
};

#endif
