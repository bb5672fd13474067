#include "BitsRows.h"
#include "StreamReader.h"

namespace BPrivate {

BitsStreamWriter::BitsStreamWriter(BPositionIO* destination)
    : fDestination(destination), fRowBytes(0), fRowsLeft(0)
{}

status_t BitsStreamWriter::Start(uint32 width, uint32 height, bool alpha)
{
    status_t status = write_bits_header(fDestination, width, height, alpha ? B_RGBA32 : B_RGB32);
    if (status != B_OK)
        return status;
    fRowBytes = size_t(width) * 4;
    fRowsLeft = height;
    return B_OK;
}

status_t BitsStreamWriter::PutRows(const uint8* rows, uint32 count)
{
    // A codec that hands over more rows than it announced is broken; the
    // stream must not grow past what its header says.
    if (count > fRowsLeft)
        return B_ERROR;
    fRowsLeft -= count;
    return fDestination->WriteExactly(rows, fRowBytes * count);
}

BitsStreamReader::BitsStreamReader(BPositionIO* source, const BitsInfo& bits)
    : fSource(source), fRowBytes(bits.header.rowBytes), fPixelBytes(size_t(bits.width) * 4),
      fRowsLeft(bits.height)
{}

status_t BitsStreamReader::GetRows(uint8* rows, uint32 count)
{
    if (count > fRowsLeft)
        return B_ERROR;
    fRowsLeft -= count;
    status_t status = B_OK;
    if (fRowBytes == fPixelBytes) {
        status = fSource->ReadExactly(rows, fPixelBytes * count);
    } else {
        for (uint32 i = 0; i < count && status == B_OK; i++) {
            status = fSource->ReadExactly(rows + i * fPixelBytes, fPixelBytes);
            if (status == B_OK && fSource->Seek(fRowBytes - fPixelBytes, SEEK_CUR) < 0)
                status = B_IO_ERROR;
        }
    }
    // ReadExactly answers B_ERROR for a stream that ends too soon.
    return status == B_ERROR ? status_t(B_ILLEGAL_DATA) : status;
}

bool bits_rows_missing(const BitsInfo& bits, BPositionIO* source)
{
    off_t available = remaining_stream_size(source);
    return available >= 0 && uint64(available) < bits.header.dataSize;
}

} // namespace BPrivate
