#include <StreamCopy.h>

namespace BPrivate {

status_t copy_stream(BDataIO* source, BDataIO* destination)
{
    char block[64 * 1024];
    ssize_t got;
    while ((got = source->Read(block, sizeof(block))) > 0) {
        ssize_t written = destination->Write(block, (size_t)got);
        if (written != got)
            return written < 0 ? (status_t)written : B_IO_ERROR;
    }
    return got < 0 ? (status_t)got : B_OK;
}

} // namespace BPrivate
