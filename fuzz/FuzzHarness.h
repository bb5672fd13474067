#ifndef TAVRIN_FUZZ_HARNESS_H
#define TAVRIN_FUZZ_HARNESS_H

// What every decoder's fuzz target does with an input: identify it, decode
// it to a bitmap stream, and when that worked, encode the bitmap back into
// the translator's own format. Only crashes and sanitizer reports count;
// every status is an acceptable answer.

#include <BitmapStream.h>
#include <DataIO.h>
#include <Translator.h>

#include <cstdlib>
#include <unistd.h>

extern "C" BTranslator* make_nth_translator(int32 n, void* image, uint32 flags, ...);

namespace fuzz {

// Settings go to a private folder, so fuzzing never touches the user's.
inline void use_scratch_settings()
{
    static char folder[] = "/tmp/tavrin-fuzz-config-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return;
    setenv("XDG_CONFIG_HOME", folder, 1);
    // Nothing writes settings while fuzzing, so the folder is empty at exit.
    atexit([] { rmdir(folder); });
}

inline BTranslator* translator()
{
    static BTranslator* sTranslator = make_nth_translator(0, nullptr, 0);
    return sTranslator;
}

inline void run_decoder(const uint8_t* data, size_t size, uint32 ownType)
{
    BTranslator* t = translator();
    BMemoryIO source(data, size);
    translator_info info;
    if (t->Identify(&source, nullptr, nullptr, &info, B_TRANSLATOR_BITMAP) != B_OK)
        return;
    source.Seek(0, SEEK_SET);
    BBitmapStream bits;
    if (t->Translate(&source, &info, nullptr, B_TRANSLATOR_BITMAP, &bits) != B_OK)
        return;
    // Encoding is exercised on pictures of ordinary size; a tiny run-length
    // file may legitimately decode to hundreds of megabytes, and writing that
    // again only spends the fuzzer's time.
    if (bits.Size() > (16 << 20))
        return;
    bits.Seek(0, SEEK_SET);
    BMallocIO encoded;
    t->Translate(&bits, nullptr, nullptr, ownType, &encoded);
}

} // namespace fuzz

#endif
