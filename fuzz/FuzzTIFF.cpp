#include "FuzzHarness.h"

#include <TranslatorFormats.h>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::use_scratch_settings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::run_decoder(data, size, B_TIFF_FORMAT);
    return 0;
}
