#include "TIFFStream.h"

#include <cstdio>
#include <cstring>
#include <new>

#include <TranslationDefs.h>
#include <Translator.h>

namespace {

struct StreamHandle
{
    BPositionIO* stream;
    off_t base;
};

StreamHandle* handle_of(thandle_t handle)
{
    return static_cast<StreamHandle*>(handle);
}

// libtiff takes a short count for the end of the data, so both loops go on
// until the stream has taken or given all it can.
tmsize_t read_proc(thandle_t handle, void* buffer, tmsize_t size)
{
    BPositionIO* stream = handle_of(handle)->stream;
    tmsize_t done = 0;
    while (done < size) {
        ssize_t got = stream->Read(static_cast<uint8*>(buffer) + done, size_t(size - done));
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

tmsize_t write_proc(thandle_t handle, void* buffer, tmsize_t size)
{
    status_t status = handle_of(handle)->stream->WriteExactly(buffer, size_t(size));
    return status == B_OK ? size : -1;
}

toff_t seek_proc(thandle_t handle, toff_t offset, int whence)
{
    StreamHandle* h = handle_of(handle);
    off_t position;
    if (whence == SEEK_SET) {
        if (offset > toff_t(INT64_MAX) - toff_t(h->base))
            return toff_t(-1);
        position = h->stream->Seek(h->base + off_t(offset), SEEK_SET);
    } else {
        position = h->stream->Seek(off_t(offset), whence);
    }
    if (position < h->base)
        return toff_t(-1);
    return toff_t(position - h->base);
}

int close_proc(thandle_t handle)
{
    delete handle_of(handle);
    return 0;
}

toff_t size_proc(thandle_t handle)
{
    StreamHandle* h = handle_of(handle);
    off_t size = 0;
    if (h->stream->GetSize(&size) != B_OK || size < h->base)
        return 0;
    return toff_t(size - h->base);
}

const char kStreamName[] = "stream";

int quiet_handler(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

// libtiff's error, in its words, is the reason of the failure it causes; the
// module is left out where it is only the name given to the stream.
int error_handler(TIFF*, void*, const char* module, const char* format, va_list arguments)
{
    char message[200];
    vsnprintf(message, sizeof(message), format, arguments);
    if (module != nullptr && strcmp(module, kStreamName) != 0)
        set_translation_reason("libtiff: %s: %s", module, message);
    else
        set_translation_reason("libtiff: %s", message);
    return 1;
}

} // namespace

TIFF* tiff_open_stream(BPositionIO* stream, const char* mode)
{
    off_t base = stream->Position();
    if (base < 0)
        return nullptr;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr)
        return nullptr;
    // libtiff's own buffers (strip tables, one strip) get the same ceiling as
    // our pixel buffer.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(B_TRANSLATION_MAX_PIXEL_BYTES));
    TIFFOpenOptionsSetErrorHandlerExtR(options, error_handler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, quiet_handler, nullptr);

    StreamHandle* handle = new (std::nothrow) StreamHandle{stream, base};
    TIFF* tiff = nullptr;
    if (handle != nullptr) {
        // 'm': no memory mapping, the stream is not a file.
        tiff = TIFFClientOpenExt(kStreamName, mode, handle, read_proc, write_proc, seek_proc,
                                 close_proc, size_proc, nullptr, nullptr, options);
        // A failed open does not call close_proc; the handle is still ours.
        if (tiff == nullptr)
            delete handle;
    }
    TIFFOpenOptionsFree(options);
    return tiff;
}
