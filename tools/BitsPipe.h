#ifndef TAVRIN_BITS_PIPE_H
#define TAVRIN_BITS_PIPE_H

// A stream between two threads: a decoder writes a 'bits' stream into one end
// while an encoder reads it from the other, so the two run side by side and
// only a window of the picture is held at a time instead of all of it.
//
// The reader only ever sees bytes that the writer has finished, counted from
// the start without gaps: a writer that fills rows out of order (a bottom-up
// file, say) simply keeps the reader waiting until the gap closes, holding
// what it wrote meanwhile. What the pipe cannot do is take back bytes the
// reader has already been given or has moved past: a writer rewriting them,
// or a reader going back to them, marks the pipe as broken (Broken()) and
// fails the call, and the caller falls back to holding the whole picture.

#include <DataIO.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

class BitsPipe
{
public:
    // limit bounds the bytes the stream may hold in all; aheadLimit is how
    // far an in-order writer may run ahead of the reader before it waits.
    explicit BitsPipe(off_t limit, size_t aheadLimit = 16 * 1024 * 1024);
    ~BitsPipe();

    BPositionIO* WriteEnd() { return &fWriteEnd; }
    BPositionIO* ReadEnd() { return &fReadEnd; }

    // The writer is done. Reads past what was written end the stream from
    // then on.
    void CloseWrite();
    // The reader is done; later writes are dropped (and fail with the
    // reader's status when its work failed, so that the writer stops early
    // and can tell why).
    void CloseRead(status_t status);
    // Whether the reader failed while the writer was still writing: a
    // writer's failure after that is the reader's, passed back to it.
    bool ReaderFailedFirst() const;

    // Waits until the writer has written the first count bytes, or closed
    // its end. What the writer did before writing them (filling in a message
    // the reader then reads, say) is done by then.
    void WaitForBytes(off_t count);

    bool Broken() const;
    // The most bytes held at once, for measurements.
    size_t PeakBytes() const;

    static const size_t kChunkSize = 1024 * 1024;

private:
    class WriteEndIO : public BPositionIO
    {
    public:
        explicit WriteEndIO(BitsPipe* pipe) : fPipe(pipe), fPosition(0) {}
        ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
        ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
        off_t Seek(off_t position, uint32 seekMode) override;
        off_t Position() const override { return fPosition; }
        status_t SetSize(off_t size) override;
        status_t GetSize(off_t* size) const override;

    private:
        BitsPipe* fPipe;
        off_t fPosition;
    };

    class ReadEndIO : public BPositionIO
    {
    public:
        explicit ReadEndIO(BitsPipe* pipe) : fPipe(pipe), fPosition(0) {}
        ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
        ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
        off_t Seek(off_t position, uint32 seekMode) override;
        off_t Position() const override { return fPosition; }
        status_t GetSize(off_t* size) const override;

    private:
        BitsPipe* fPipe;
        off_t fPosition;
    };

    BitsPipe(const BitsPipe&) = delete;
    BitsPipe& operator=(const BitsPipe&) = delete;

    ssize_t _Write(off_t position, const uint8* data, size_t size);
    ssize_t _Read(off_t position, uint8* data, size_t size);
    off_t _WaitForEnd();
    void _Break();
    uint8* _Chunk(size_t index);
    // The chunks holding bytes [start, end), made where allocate says so.
    bool _Chunks(off_t start, off_t end, bool allocate, std::vector<uint8*>* chunks);
    void _Release(off_t below);
    void _MarkWritten(off_t start, off_t end);

    mutable std::mutex fLock;
    std::condition_variable fChanged;
    const off_t fLimit;
    const size_t fAheadLimit;

    std::vector<std::unique_ptr<uint8[]>> fChunks;
    std::vector<std::unique_ptr<uint8[]>> fSpare;
    // Chunks below this index are gone; the reader may not come back to them.
    size_t fReleased;
    size_t fHeld;
    size_t fPeak;

    // Bytes [0, fDone) are written; fPending are ranges written beyond a gap,
    // in order and disjoint.
    off_t fDone;
    std::vector<std::pair<off_t, off_t>> fPending;
    off_t fEnd;

    // The furthest byte the reader has been given.
    off_t fReadHigh;
    // While the reader waits: the end of the bytes it waits for, or -1.
    off_t fReaderWants;

    bool fWriteClosed;
    bool fReadClosed;
    status_t fReadStatus;
    bool fReaderFailedFirst;
    bool fBroken;

    WriteEndIO fWriteEnd;
    ReadEndIO fReadEnd;
};

#endif
