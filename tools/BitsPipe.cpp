#include "BitsPipe.h"

#include <SeekTarget.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Copies size bytes between buffer and the chunks that hold the stream from
// position on, into the chunks when toChunks is true.
void copy_pieces(const std::vector<uint8*>& chunks, off_t position, uint8* buffer, size_t size,
                 bool toChunks)
{
    size_t offset = size_t(position % off_t(BitsPipe::kChunkSize));
    size_t copied = 0;
    for (uint8* chunk : chunks) {
        size_t part = std::min(size - copied, BitsPipe::kChunkSize - offset);
        if (toChunks)
            memcpy(chunk + offset, buffer + copied, part);
        else
            memcpy(buffer + copied, chunk + offset, part);
        copied += part;
        offset = 0;
    }
}

} // namespace

BitsPipe::BitsPipe(off_t limit, size_t aheadLimit)
    : fLimit(limit), fAheadLimit(aheadLimit), fReleased(0), fHeld(0), fPeak(0), fDone(0), fEnd(0),
      fReadHigh(0), fReaderWants(-1), fWriteClosed(false), fReadClosed(false), fReadStatus(B_OK),
      fReaderFailedFirst(false), fBroken(false), fWriteEnd(this), fReadEnd(this)
{}

BitsPipe::~BitsPipe() {}

void BitsPipe::CloseWrite()
{
    std::lock_guard<std::mutex> guard(fLock);
    fWriteClosed = true;
    fChanged.notify_all();
}

void BitsPipe::CloseRead(status_t status)
{
    std::lock_guard<std::mutex> guard(fLock);
    fReadClosed = true;
    fReadStatus = status;
    fReaderFailedFirst = status != B_OK && !fWriteClosed;
    fChanged.notify_all();
}

bool BitsPipe::ReaderFailedFirst() const
{
    std::lock_guard<std::mutex> guard(fLock);
    return fReaderFailedFirst;
}

bool BitsPipe::Broken() const
{
    std::lock_guard<std::mutex> guard(fLock);
    return fBroken;
}

size_t BitsPipe::PeakBytes() const
{
    std::lock_guard<std::mutex> guard(fLock);
    return fPeak * kChunkSize;
}

void BitsPipe::_Break()
{
    fBroken = true;
    fChanged.notify_all();
}

uint8* BitsPipe::_Chunk(size_t index)
{
    if (index >= fChunks.size())
        fChunks.resize(index + 1);
    if (!fChunks[index]) {
        if (!fSpare.empty()) {
            fChunks[index] = std::move(fSpare.back());
            fSpare.pop_back();
        } else {
            fChunks[index].reset(new (std::nothrow) uint8[kChunkSize]);
            if (!fChunks[index])
                return nullptr;
        }
        fHeld++;
        fPeak = std::max(fPeak, fHeld);
    }
    return fChunks[index].get();
}

bool BitsPipe::_Chunks(off_t start, off_t end, bool allocate, std::vector<uint8*>* chunks)
{
    for (size_t index = size_t(start / off_t(kChunkSize));
         index <= size_t((end - 1) / off_t(kChunkSize)); index++) {
        uint8* chunk = allocate ? _Chunk(index) : fChunks[index].get();
        if (chunk == nullptr)
            return false;
        chunks->push_back(chunk);
    }
    return true;
}

void BitsPipe::_Release(off_t below)
{
    size_t last = size_t(below / off_t(kChunkSize));
    last = std::min(last, fChunks.size());
    // Enough spares to cover the writer's lead; beyond that memory goes back.
    size_t keep = fAheadLimit / kChunkSize + 2;
    for (; fReleased < last; fReleased++) {
        if (!fChunks[fReleased])
            continue;
        fHeld--;
        if (fSpare.size() < keep)
            fSpare.push_back(std::move(fChunks[fReleased]));
        else
            fChunks[fReleased].reset();
    }
}

void BitsPipe::_MarkWritten(off_t start, off_t end)
{
    fEnd = std::max(fEnd, end);
    if (start > fDone) {
        auto at = std::lower_bound(fPending.begin(), fPending.end(), std::make_pair(start, end));
        at = fPending.insert(at, {start, end});
        // Merge with the neighbours it touches.
        if (at != fPending.begin() && std::prev(at)->second >= at->first) {
            std::prev(at)->second = std::max(std::prev(at)->second, at->second);
            at = std::prev(fPending.erase(at));
        }
        while (std::next(at) != fPending.end() && std::next(at)->first <= at->second) {
            at->second = std::max(at->second, std::next(at)->second);
            fPending.erase(std::next(at));
        }
        return;
    }
    fDone = std::max(fDone, end);
    while (!fPending.empty() && fPending.front().first <= fDone) {
        fDone = std::max(fDone, fPending.front().second);
        fPending.erase(fPending.begin());
    }
}

ssize_t BitsPipe::_Write(off_t position, const uint8* data, size_t size)
{
    if (position < 0)
        return B_BAD_VALUE;
    std::unique_lock<std::mutex> guard(fLock);
    if (fBroken)
        return B_ERROR;
    if (size == 0)
        return 0;
    if (off_t(size) > fLimit || position > fLimit - off_t(size))
        return B_NO_MEMORY;
    // An in-order writer far ahead of the reader waits for it, unless the
    // reader is itself waiting for bytes not yet written (a large block).
    fChanged.wait(guard, [&] {
        return position != fDone || fDone - fReadHigh <= off_t(fAheadLimit) ||
               fReaderWants > fDone || fReadClosed || fBroken;
    });
    if (fBroken)
        return B_ERROR;
    if (fReadClosed)
        return fReadStatus == B_OK ? ssize_t(size) : ssize_t(fReadStatus);
    if (position < fReadHigh) {
        // The reader has these bytes already; they cannot change now.
        _Break();
        return B_ERROR;
    }

    off_t end = position + off_t(size);
    std::vector<uint8*> chunks;
    if (!_Chunks(position, end, true, &chunks))
        return B_NO_MEMORY;
    // Bytes not yet handed out cannot be read until they are marked below,
    // so new ones are copied without the lock; rewriting bytes the reader
    // could take at any moment is done while holding it.
    bool rewrite = position < fDone;
    if (!rewrite)
        guard.unlock();
    copy_pieces(chunks, position, const_cast<uint8*>(data), size, true);
    if (!rewrite)
        guard.lock();
    _MarkWritten(position, end);
    fChanged.notify_all();
    return ssize_t(size);
}

void BitsPipe::WaitForBytes(off_t count)
{
    std::unique_lock<std::mutex> guard(fLock);
    fChanged.wait(guard, [&] { return count <= fDone || fWriteClosed || fBroken; });
}

ssize_t BitsPipe::_Read(off_t position, uint8* data, size_t size)
{
    if (position < 0)
        return B_BAD_VALUE;
    std::unique_lock<std::mutex> guard(fLock);
    if (fBroken)
        return B_ERROR;
    if (size == 0)
        return 0;
    if (size_t(position / off_t(kChunkSize)) < fReleased) {
        // Gone already: the reader came back further than the pipe keeps.
        _Break();
        return B_ERROR;
    }
    off_t wanted = position + off_t(std::min<size_t>(size, size_t(fLimit)));
    fReaderWants = wanted;
    fChanged.notify_all();
    fChanged.wait(guard, [&] { return wanted <= fDone || fWriteClosed || fBroken; });
    fReaderWants = -1;
    if (fBroken)
        return B_ERROR;
    size_t available = position < fDone ? size_t(std::min(fDone, wanted) - position) : 0;
    if (available == 0)
        return 0;

    fReadHigh = std::max(fReadHigh, position + off_t(available));
    _Release(position);
    std::vector<uint8*> chunks;
    _Chunks(position, position + off_t(available), false, &chunks);
    fChanged.notify_all();
    // Only this reader releases chunks, and nothing may write below
    // fReadHigh any more, so these bytes stay as they are without the lock.
    guard.unlock();

    copy_pieces(chunks, position, data, available, false);
    return ssize_t(available);
}

off_t BitsPipe::_WaitForEnd()
{
    std::unique_lock<std::mutex> guard(fLock);
    fReaderWants = fLimit;
    fChanged.notify_all();
    fChanged.wait(guard, [&] { return fWriteClosed || fBroken; });
    fReaderWants = -1;
    return fBroken ? off_t(B_ERROR) : fDone;
}

// #pragma mark - the writer's end

ssize_t BitsPipe::WriteEndIO::ReadAt(off_t position, void* buffer, size_t size)
{
    // Reading back what was written would race the reader; the caller goes
    // the long way instead.
    std::lock_guard<std::mutex> guard(fPipe->fLock);
    fPipe->_Break();
    return B_NOT_ALLOWED;
}

ssize_t BitsPipe::WriteEndIO::WriteAt(off_t position, const void* buffer, size_t size)
{
    return fPipe->_Write(position, static_cast<const uint8*>(buffer), size);
}

off_t BitsPipe::WriteEndIO::Seek(off_t position, uint32 seekMode)
{
    off_t target = BPrivate::seek_target(position, seekMode, fPosition, [this] {
        std::lock_guard<std::mutex> guard(fPipe->fLock);
        return fPipe->fEnd;
    });
    if (target >= 0)
        fPosition = target;
    return target;
}

status_t BitsPipe::WriteEndIO::SetSize(off_t size)
{
    std::lock_guard<std::mutex> guard(fPipe->fLock);
    fPipe->_Break();
    return B_NOT_SUPPORTED;
}

status_t BitsPipe::WriteEndIO::GetSize(off_t* size) const
{
    std::lock_guard<std::mutex> guard(fPipe->fLock);
    *size = fPipe->fEnd;
    return B_OK;
}

// #pragma mark - the reader's end

ssize_t BitsPipe::ReadEndIO::ReadAt(off_t position, void* buffer, size_t size)
{
    return fPipe->_Read(position, static_cast<uint8*>(buffer), size);
}

ssize_t BitsPipe::ReadEndIO::WriteAt(off_t position, const void* buffer, size_t size)
{
    std::lock_guard<std::mutex> guard(fPipe->fLock);
    fPipe->_Break();
    return B_NOT_ALLOWED;
}

off_t BitsPipe::ReadEndIO::Seek(off_t position, uint32 seekMode)
{
    off_t target = BPrivate::seek_target(position, seekMode, fPosition,
                                         [this] { return fPipe->_WaitForEnd(); });
    if (target >= 0)
        fPosition = target;
    return target;
}

status_t BitsPipe::ReadEndIO::GetSize(off_t* size) const
{
    // The size is known only once the writer is done; until then readers
    // that ask are told it cannot be said, as for a pipe.
    std::lock_guard<std::mutex> guard(fPipe->fLock);
    if (!fPipe->fWriteClosed)
        return B_NOT_SUPPORTED;
    *size = fPipe->fDone;
    return B_OK;
}
