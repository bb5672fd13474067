#include "BaseTranslator.h"

#include "SettingsView.h"

#include <DataIO.h>
#include <Message.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace BPrivate {

BaseTranslator::BaseTranslator(const char* name, const char* info, int32 version,
                               const translation_format* inputFormats, int32 inputCount,
                               const translation_format* outputFormats, int32 outputCount,
                               const char* settingsFile)
    : fName(name), fInfo(info), fVersion(version), fInputFormats(inputFormats),
      fInputCount(inputCount), fOutputFormats(outputFormats), fOutputCount(outputCount),
      fSettings(settingsFile != nullptr ? new TranslatorSettings(settingsFile) : nullptr)
{}

BaseTranslator::~BaseTranslator()
{
    delete fSettings;
}

const char* BaseTranslator::TranslatorName() const
{
    return fName;
}

const char* BaseTranslator::TranslatorInfo() const
{
    return fInfo;
}

int32 BaseTranslator::TranslatorVersion() const
{
    return fVersion;
}

const translation_format* BaseTranslator::InputFormats(int32* _count) const
{
    if (_count != nullptr)
        *_count = fInputCount;
    return fInputFormats;
}

const translation_format* BaseTranslator::OutputFormats(int32* _count) const
{
    if (_count != nullptr)
        *_count = fOutputCount;
    return fOutputFormats;
}

uint32 BaseTranslator::FormatType() const
{
    for (int32 i = 0; i < fOutputCount; i++) {
        if (fOutputFormats[i].type != B_TRANSLATOR_BITMAP)
            return fOutputFormats[i].type;
    }
    return B_TRANSLATOR_BITMAP;
}

bool BaseTranslator::_CanWrite(uint32 type) const
{
    for (int32 i = 0; i < fOutputCount; i++) {
        if (fOutputFormats[i].type == type)
            return true;
    }
    return false;
}

const translation_format* BaseTranslator::_InputFormat(uint32 type) const
{
    for (int32 i = 0; i < fInputCount; i++) {
        if (fInputFormats[i].type == type)
            return &fInputFormats[i];
    }
    return nullptr;
}

static void fill_info(translator_info* info, const translation_format* format)
{
    info->type = format->type;
    info->group = format->group;
    info->quality = format->quality;
    info->capability = format->capability;
    strncpy(info->name, format->name, sizeof(info->name) - 1);
    info->name[sizeof(info->name) - 1] = '\0';
    strncpy(info->MIME, format->MIME, sizeof(info->MIME) - 1);
    info->MIME[sizeof(info->MIME) - 1] = '\0';
}

status_t BaseTranslator::_IdentifyBits(BPositionIO* source, translator_info* info, uint32 outType)
{
    BitsInfo bits;
    status_t status = read_bits_header(source, &bits);
    if (status != B_OK)
        return status;
    if (outType != B_TRANSLATOR_BITMAP && !is_encodable_space(bits.header.colors))
        return B_NO_TRANSLATOR;
    const translation_format* format = _InputFormat(B_TRANSLATOR_BITMAP);
    if (format == nullptr)
        return B_NO_TRANSLATOR;
    fill_info(info, format);
    return B_OK;
}

status_t BaseTranslator::Identify(BPositionIO* source, const translation_format* format,
                                  BMessage* ioExtension, translator_info* info, uint32 outType)
{
    if (source == nullptr || info == nullptr)
        return B_BAD_VALUE;
    if (outType == 0)
        outType = B_TRANSLATOR_BITMAP;
    if (!_CanWrite(outType))
        return B_NO_TRANSLATOR;

    off_t start = source->Position();
    uint8 magic[4];
    ssize_t got = source->Read(magic, sizeof(magic));
    if (got < 0)
        return (status_t)got;
    source->Seek(start, SEEK_SET);
    if (got == 4 && magic[0] == 'b' && magic[1] == 'i' && magic[2] == 't' && magic[3] == 's')
        return _IdentifyBits(source, info, outType);

    const translation_format* own = _InputFormat(FormatType());
    if (own == nullptr)
        return B_NO_TRANSLATOR;
    fill_info(info, own);
    return IdentifyFormat(source, ioExtension, info);
}

status_t BaseTranslator::_CopyBits(const BitsInfo& bits, BPositionIO* source,
                                   BPositionIO* destination)
{
    uint8 header[B_TRANSLATOR_BITMAP_HEADER_SIZE];
    bits_header_to_bytes(bits.header, header);
    status_t status = destination->WriteExactly(header, sizeof(header));
    if (status != B_OK)
        return status;
    std::vector<uint8> block(256 * 1024);
    uint64 left = bits.header.dataSize;
    while (left > 0) {
        size_t size = left < block.size() ? (size_t)left : block.size();
        status = source->ReadExactly(block.data(), size);
        if (status != B_OK)
            return B_ILLEGAL_DATA;
        status = destination->WriteExactly(block.data(), size);
        if (status != B_OK)
            return status;
        left -= size;
    }
    return B_OK;
}

status_t BaseTranslator::_Recode(BPositionIO* source, BMessage* ioExtension,
                                 BPositionIO* destination)
{
    BMallocIO decoded;
    status_t status = Decode(source, ioExtension, &decoded);
    if (status != B_OK)
        return status;
    decoded.Seek(0, SEEK_SET);
    BitsInfo bits;
    status = read_bits_header(&decoded, &bits);
    if (status != B_OK)
        return status;
    return Encode(bits, &decoded, ioExtension, destination);
}

status_t BaseTranslator::Translate(BPositionIO* source, const translator_info* info,
                                   BMessage* ioExtension, uint32 outType, BPositionIO* destination)
{
    if (source == nullptr || destination == nullptr)
        return B_BAD_VALUE;

    // The source's kind is read from its bytes; info may come from another translator.
    off_t start = source->Position();
    uint8 magic[4];
    ssize_t got = source->Read(magic, sizeof(magic));
    if (got < 0)
        return (status_t)got;
    source->Seek(start, SEEK_SET);
    bool isBits =
        got == 4 && magic[0] == 'b' && magic[1] == 'i' && magic[2] == 't' && magic[3] == 's';

    if (outType == 0)
        outType = isBits ? FormatType() : (uint32)B_TRANSLATOR_BITMAP;
    if (!_CanWrite(outType))
        return B_NO_TRANSLATOR;

    if (isBits) {
        BitsInfo bits;
        status_t status = read_bits_header(source, &bits);
        if (status != B_OK)
            return status;
        if (outType == B_TRANSLATOR_BITMAP)
            return _CopyBits(bits, source, destination);
        if (!is_encodable_space(bits.header.colors))
            return B_NO_TRANSLATOR;
        return Encode(bits, source, ioExtension, destination);
    }

    translator_info identified;
    const translation_format* own = _InputFormat(FormatType());
    if (own == nullptr)
        return B_NO_TRANSLATOR;
    fill_info(&identified, own);
    status_t status = IdentifyFormat(source, ioExtension, &identified);
    source->Seek(start, SEEK_SET);
    if (status != B_OK)
        return status;
    if (outType == B_TRANSLATOR_BITMAP)
        return Decode(source, ioExtension, destination);
    return _Recode(source, ioExtension, destination);
}

status_t BaseTranslator::GetConfigurationMessage(BMessage* ioExtension)
{
    if (ioExtension == nullptr)
        return B_BAD_VALUE;
    if (fSettings == nullptr)
        return B_OK;
    return fSettings->GetConfigurationMessage(ioExtension);
}

status_t BaseTranslator::MakeConfigurationView(BMessage* ioExtension, BView** _view, BRect* _extent)
{
    SettingsView* view = MakeSettingsView();
    if (view == nullptr)
        return B_ERROR;
    if (_view == nullptr || _extent == nullptr) {
        delete view;
        return B_BAD_VALUE;
    }
    *_extent = view->Bounds();
    *_view = view;
    return B_OK;
}

SettingsView* BaseTranslator::MakeSettingsView()
{
    return nullptr;
}

const char* const BaseTranslator::kSettingRemoveLocation = "metadata /remove_location";

PictureMetadata BaseTranslator::EncodingMetadata(const BMessage* ioExtension, uint32 width,
                                                 uint32 height, bool canHoldCodePoints)
{
    bool remove =
        fSettings != nullptr && fSettings->GetBool(kSettingRemoveLocation, false, ioExtension);
    return metadata_for_encoding(ioExtension, width, height, remove, canHoldCodePoints);
}

void BaseTranslator::AddMetadataSettings(SettingsView* view)
{
    view->AddCheckBox("Remove location and camera data when saving", kSettingRemoveLocation, false);
}

status_t check_decoded_size(uint64 width, uint64 height)
{
    if (width == 0 || height == 0)
        return B_BAD_VALUE;
    if (width > INT32_MAX || height > INT32_MAX)
        return B_BAD_VALUE;
    if (width * 4 > B_TRANSLATION_MAX_PIXEL_BYTES / height)
        return B_BAD_VALUE;
    return B_OK;
}

} // namespace BPrivate
