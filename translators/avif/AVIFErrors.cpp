#include "AVIFErrors.h"

#include <Translator.h>

status_t status_for(avifResult result, status_t streamError, const avifDiagnostics* diagnostics)
{
    if (result != AVIF_RESULT_OK && (result != AVIF_RESULT_IO_ERROR || streamError == B_OK)) {
        if (diagnostics != nullptr && diagnostics->error[0] != '\0')
            set_translation_reason("libavif: %s: %s", avifResultToString(result),
                                   diagnostics->error);
        else
            set_translation_reason("libavif: %s", avifResultToString(result));
    }
    switch (result) {
    case AVIF_RESULT_OK:
        return B_OK;
    case AVIF_RESULT_OUT_OF_MEMORY:
        return B_NO_MEMORY;
    case AVIF_RESULT_IO_ERROR:
        return streamError != B_OK ? streamError : B_IO_ERROR;
    case AVIF_RESULT_NO_CODEC_AVAILABLE:
    case AVIF_RESULT_NOT_IMPLEMENTED:
        return B_NOT_SUPPORTED;
    case AVIF_RESULT_ENCODE_COLOR_FAILED:
    case AVIF_RESULT_ENCODE_ALPHA_FAILED:
    case AVIF_RESULT_REFORMAT_FAILED:
        return B_ERROR;
    default:
        return B_ILLEGAL_DATA;
    }
}
