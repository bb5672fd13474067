// The fuzz target of one decoder; FUZZ_FORMAT, set by the build, names the
// format whose translator is linked in.

#include "FuzzHarness.h"

#include <TranslatorFormats.h>

#ifndef FUZZ_FORMAT
#error FUZZ_FORMAT names the format to fuzz
#endif

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::use_scratch_settings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::run_decoder(data, size, FUZZ_FORMAT);
    return 0;
}
