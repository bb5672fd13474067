#ifndef _TAVRIN_BASE_TRANSLATOR_H
#define _TAVRIN_BASE_TRANSLATOR_H

// The common part of the image translators, so that each one is a small
// class with three hooks. How to use it from an add-on:
//
//   - Include "translation/BaseTranslator.h" and give the add-on target
//     target_include_directories(NAME PRIVATE ${CMAKE_SOURCE_DIR}/kit).
//   - Describe the formats in two static translation_format tables: inputs
//     list 'bits' and the format, outputs list the format and 'bits'.
//   - Derive from BaseTranslator and implement IdentifyFormat, Decode and
//     Encode (below); pass a settings file name (or NULL for none) to the
//     constructor and read values through Settings() at each translation,
//     passing the ioExtension message so that a caller can override them.
//   - A translator with settings builds its panel in MakeSettingsView().
//   - Export make_nth_translator(n, ...) returning `new YourTranslator` for
//     n == 0 and NULL otherwise.
//
// The base answers Identify for 'bits' sources itself (any valid header when
// 'bits' is wanted, B_RGB32/B_RGBA32 when the format is), copies 'bits' to
// 'bits', and turns format-to-format requests into Decode then Encode. The
// hooks are only called with the source at its start and with the wanted
// type already checked.

#include <Translator.h>
#include <TranslatorFormats.h>
#include <TranslatorSettings.h>

#include <PictureMetadata.h>

#include "BitsHeader.h"

namespace BPrivate {

class SettingsView;

class BaseTranslator : public BTranslator
{
public:
    BaseTranslator(const char* name, const char* info, int32 version,
                   const translation_format* inputFormats, int32 inputCount,
                   const translation_format* outputFormats, int32 outputCount,
                   const char* settingsFile);

    const char* TranslatorName() const override;
    const char* TranslatorInfo() const override;
    int32 TranslatorVersion() const override;
    const translation_format* InputFormats(int32* _count) const override;
    const translation_format* OutputFormats(int32* _count) const override;

    status_t Identify(BPositionIO* source, const translation_format* format, BMessage* ioExtension,
                      translator_info* info, uint32 outType) override;
    status_t Translate(BPositionIO* source, const translator_info* info, BMessage* ioExtension,
                       uint32 outType, BPositionIO* destination) override;
    status_t GetConfigurationMessage(BMessage* ioExtension) override;
    // The panel MakeSettingsView() builds, with its size; the caller owns
    // it. B_ERROR when the translator has none.
    status_t MakeConfigurationView(BMessage* ioExtension, BView** _view, BRect* _extent) override;

    // NULL when the translator has no settings.
    TranslatorSettings* Settings() const { return fSettings; }
    // The type code of the translator's own format: its first output that is not 'bits'.
    uint32 FormatType() const;

    // What an encoder of a width x height picture writes besides the pixels:
    // the blocks in ioExtension, less what the caller or the setting
    // "Remove location and camera data when saving" (kSettingRemoveLocation,
    // off unless set) takes out. See metadata_for_encoding().
    PictureMetadata EncodingMetadata(const BMessage* ioExtension, uint32 width, uint32 height,
                                     bool canHoldCodePoints = false);
    // Adds that setting's check box to a panel, for translators that write
    // metadata.
    static void AddMetadataSettings(SettingsView* view);
    static const char* const kSettingRemoveLocation;

protected:
    ~BaseTranslator() override;

    // B_OK when the source holds the translator's format, B_NO_TRANSLATOR
    // when it does not, another error when it does but is broken. info
    // arrives filled from the input format record of the own type; adjust
    // it if needed.
    virtual status_t IdentifyFormat(BPositionIO* source, BMessage* ioExtension,
                                    translator_info* info) = 0;
    // Writes the image as a 'bits' stream (header, then top-down rows) at
    // the destination's position.
    virtual status_t Decode(BPositionIO* source, BMessage* ioExtension,
                            BPositionIO* destination) = 0;
    // Writes the format from a checked 32-bit 'bits' stream whose rows
    // follow at the source's position.
    virtual status_t Encode(const BitsInfo& bits, BPositionIO* source, BMessage* ioExtension,
                            BPositionIO* destination) = 0;
    // A new settings panel, its controls added, or NULL when the translator
    // has none (the default).
    virtual SettingsView* MakeSettingsView();

private:
    status_t _IdentifyBits(BPositionIO* source, translator_info* info, uint32 outType);
    status_t _CopyBits(const BitsInfo& bits, BPositionIO* source, BPositionIO* destination);
    status_t _Recode(BPositionIO* source, BMessage* ioExtension, BPositionIO* destination);
    bool _CanWrite(uint32 type) const;
    const translation_format* _InputFormat(uint32 type) const;

    const char* fName;
    const char* fInfo;
    int32 fVersion;
    const translation_format* fInputFormats;
    int32 fInputCount;
    const translation_format* fOutputFormats;
    int32 fOutputCount;
    TranslatorSettings* fSettings;
};

// Helpers for encoders and decoders.

// True for the colour spaces every encoder takes: B_RGB32 and B_RGBA32.
inline bool is_encodable_space(color_space space)
{
    return space == B_RGB32 || space == B_RGBA32;
}

// Checks a decoder's image size against the pixel-buffer limit: B_OK, or
// B_BAD_VALUE for an empty image or one whose 32-bit pixels pass the limit.
status_t check_decoded_size(uint64 width, uint64 height);

} // namespace BPrivate

#endif
