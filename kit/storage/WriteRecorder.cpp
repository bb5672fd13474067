#include <WriteRecorder.h>

namespace BPrivate {

ssize_t WriteRecorder::_Record(ssize_t result)
{
    if (result < 0 && fError == B_OK)
        fError = (status_t)result;
    if (result > 0)
        fWritten += result;
    return result;
}

ssize_t WriteRecorder::Read(void* buffer, size_t size)
{
    return fTarget->Read(buffer, size);
}

ssize_t WriteRecorder::Write(const void* buffer, size_t size)
{
    return _Record(fTarget->Write(buffer, size));
}

ssize_t WriteRecorder::ReadAt(off_t position, void* buffer, size_t size)
{
    return fTarget->ReadAt(position, buffer, size);
}

ssize_t WriteRecorder::WriteAt(off_t position, const void* buffer, size_t size)
{
    return _Record(fTarget->WriteAt(position, buffer, size));
}

off_t WriteRecorder::Seek(off_t position, uint32 seekMode)
{
    return fTarget->Seek(position, seekMode);
}

off_t WriteRecorder::Position() const
{
    return fTarget->Position();
}

status_t WriteRecorder::SetSize(off_t size)
{
    return (status_t)_Record(fTarget->SetSize(size));
}

status_t WriteRecorder::GetSize(off_t* size) const
{
    return fTarget->GetSize(size);
}

void WriteRecorder::Reset()
{
    fError = B_OK;
    fWritten = 0;
}

} // namespace BPrivate
