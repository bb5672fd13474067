#ifndef _TAVRIN_WRITE_RECORDER_H
#define _TAVRIN_WRITE_RECORDER_H

#include <DataIO.h>

namespace BPrivate {

// Forwards to another stream, counting the bytes written and keeping the
// first failure, which a translator may report only as a generic error.
class WriteRecorder : public BPositionIO
{
public:
    explicit WriteRecorder(BPositionIO* target) : fTarget(target) {}

    virtual ssize_t Read(void* buffer, size_t size);
    virtual ssize_t Write(const void* buffer, size_t size);
    virtual ssize_t ReadAt(off_t position, void* buffer, size_t size);
    virtual ssize_t WriteAt(off_t position, const void* buffer, size_t size);
    virtual off_t Seek(off_t position, uint32 seekMode);
    virtual off_t Position() const;
    virtual status_t SetSize(off_t size);
    virtual status_t GetSize(off_t* size) const;

    status_t Error() const { return fError; }
    off_t Written() const { return fWritten; }
    void Reset();

private:
    ssize_t _Record(ssize_t result);

    BPositionIO* fTarget;
    status_t fError = B_OK;
    off_t fWritten = 0;
};

} // namespace BPrivate

#endif
