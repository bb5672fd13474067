#include "HEIFErrors.h"

#include <Translator.h>

status_t status_for(const heif_error& error, status_t streamError)
{
    if (error.code == heif_error_Ok)
        return B_OK;
    if (streamError != B_OK && streamError != B_ILLEGAL_DATA)
        return streamError;
    if (error.code != heif_error_Unsupported_filetype)
        set_translation_reason("libheif: %s", error.message != nullptr ? error.message : "error");
    switch (error.code) {
    case heif_error_Memory_allocation_error:
        return B_NO_MEMORY;
    case heif_error_Unsupported_filetype:
        return B_NO_TRANSLATOR;
    case heif_error_Encoder_plugin_error:
    case heif_error_Encoding_error:
        return B_ERROR;
    default:
        return B_ILLEGAL_DATA;
    }
}
