#ifndef TAVRIN_PPM_TRANSLATOR_H
#define TAVRIN_PPM_TRANSLATOR_H

#include "PPM.h"

#include "translation/BaseTranslator.h"

class PPMTranslator : public BPrivate::BaseTranslator
{
public:
    PPMTranslator();

protected:
    status_t IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                            translator_info* info) override;
    status_t Decode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination) override;
    status_t Encode(const BPrivate::BitsInfo& bits, BPositionIO* source, BMessage* ioExtension,
                    BPositionIO* destination) override;
    BPrivate::SettingsView* MakeSettingsView() override;
};

#endif
