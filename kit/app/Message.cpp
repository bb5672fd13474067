// BMessage's fields and their flattened form.
//
// The flattened form is the kit's own; every integer is little-endian:
//
//   uint32 magic        the bytes 'T' 'M' 'S' 'G'
//   uint32 total size   of the whole flattened message, header included
//   uint32 what
//   uint32 field count
//   then each field, in the order the fields were first added:
//     uint32 name length, counting the name's NUL (at least 1)
//     char   name[name length], NUL-terminated, with no other NUL
//     uint32 type code
//     uint32 flags        bit 0: fixed size; other bits must be clear
//     uint32 item count   at least 1
//     uint32 item sizes[item count], each at least 1; all equal when fixed
//     the items' bytes, back to back
//
// Item contents: numbers, bools (one byte), points (two floats), rects (four
// floats) and pointers in memory order; strings with their NUL; an entry_ref
// as its directory and its name, each NUL-terminated; a nested message in
// this same form, nested at most 32 deep. Unflatten checks every length and
// count against the bytes that are really there, the known types' sizes and
// contents, and nested messages, and never allocates more than the input
// holds. The reading, writing and checking live in support/MessageFields.cpp.

#include <Entry.h>
#include <Message.h>
#include <Messenger.h>

#include "MessagePrivate.h"
#include "support/MessageFields.h"

#include <algorithm>
#include <cstring>
#include <vector>

using BPrivate::MessageField;
using BPrivate::MessageFields;

namespace {

// Unflatten(BDataIO*) reads the body in pieces of this size, so a header that
// claims more than the stream holds costs no more memory than the stream gives.
const size_t kStreamChunk = 64 * 1024;

const char kDropPoint[] = "_drop_point_";
const char kDropOffset[] = "_drop_offset_";

} // namespace

BMessage::BMessage() : BMessage((uint32)0) {}

BMessage::BMessage(uint32 command)
    : what(command), fFields(new MessageFields), fReplyTo(nullptr), fOriginal(nullptr), fFlags(0)
{}

BMessage::BMessage(const BMessage& other)
    : what(other.what), fFields(new MessageFields(*other.fFields)), fReplyTo(nullptr),
      fOriginal(nullptr), fFlags(0)
{
    _CopyDeliveryFrom(other);
}

BMessage::~BMessage()
{
    BPrivate::MessageDelivery::Release(this);
    delete fFields;
}

BMessage& BMessage::operator=(const BMessage& other)
{
    if (this != &other) {
        what = other.what;
        *fFields = *other.fFields;
        _CopyDeliveryFrom(other);
    }
    return *this;
}

status_t BMessage::GetInfo(type_code typeRequested, int32 index, char** nameFound,
                           type_code* typeFound, int32* countFound) const
{
    if (index < 0)
        return B_BAD_INDEX;
    int32 seen = 0;
    for (MessageField& field : fFields->fields) {
        if (typeRequested != B_ANY_TYPE && field.type != typeRequested)
            continue;
        if (seen++ < index)
            continue;
        if (nameFound != nullptr)
            *nameFound = field.name.data();
        if (typeFound != nullptr)
            *typeFound = field.type;
        if (countFound != nullptr)
            *countFound = (int32)field.items.size();
        return B_OK;
    }
    // As on the platform: no field of the type at all is a type error.
    return seen == 0 && typeRequested != B_ANY_TYPE ? B_BAD_TYPE : B_BAD_INDEX;
}

status_t BMessage::GetInfo(const char* name, type_code* typeFound, int32* countFound) const
{
    if (name == nullptr)
        return B_BAD_VALUE;
    const MessageField* field = fFields->Find(name);
    if (field == nullptr)
        return B_NAME_NOT_FOUND;
    if (typeFound != nullptr)
        *typeFound = field->type;
    if (countFound != nullptr)
        *countFound = (int32)field->items.size();
    return B_OK;
}

status_t BMessage::GetInfo(const char* name, type_code* typeFound, bool* fixedSize) const
{
    if (name == nullptr)
        return B_BAD_VALUE;
    const MessageField* field = fFields->Find(name);
    if (field == nullptr)
        return B_NAME_NOT_FOUND;
    if (typeFound != nullptr)
        *typeFound = field->type;
    if (fixedSize != nullptr)
        *fixedSize = field->fixedSize;
    return B_OK;
}

int32 BMessage::CountNames(type_code type) const
{
    int32 count = 0;
    for (const MessageField& field : fFields->fields) {
        if (type == B_ANY_TYPE || field.type == type)
            count++;
    }
    return count;
}

bool BMessage::IsEmpty() const
{
    return fFields->fields.empty();
}

// System codes are an underscore followed by three capital letters ('_QRQ').
bool BMessage::IsSystem() const
{
    if ((what >> 24) != '_')
        return false;
    for (int shift = 16; shift >= 0; shift -= 8) {
        char c = (char)((what >> shift) & 0xff);
        if (c < 'A' || c > 'Z')
            return false;
    }
    return true;
}

status_t BMessage::Rename(const char* oldEntry, const char* newEntry)
{
    if (oldEntry == nullptr || newEntry == nullptr)
        return B_BAD_VALUE;
    MessageField* field = fFields->Find(oldEntry);
    if (field == nullptr)
        return B_NAME_NOT_FOUND;
    if (strcmp(oldEntry, newEntry) == 0)
        return B_OK;
    if (fFields->Find(newEntry) != nullptr)
        return B_NAME_IN_USE;
    field->name = newEntry;
    return B_OK;
}

bool BMessage::WasDropped() const
{
    return HasData(kDropPoint, B_POINT_TYPE);
}

BPoint BMessage::DropPoint(BPoint* offset) const
{
    if (offset != nullptr) {
        BPoint dropOffset;
        *offset = FindPoint(kDropOffset, &dropOffset) == B_OK ? dropOffset : B_ORIGIN;
    }
    BPoint point;
    return FindPoint(kDropPoint, &point) == B_OK ? point : B_ORIGIN;
}

ssize_t BMessage::FlattenedSize() const
{
    return (ssize_t)fFields->FlattenedSize();
}

status_t BMessage::Flatten(char* buffer, ssize_t size) const
{
    if (buffer == nullptr || size < 0)
        return B_BAD_VALUE;
    std::vector<char> flat;
    status_t status = fFields->Flatten(what, &flat);
    if (status != B_OK)
        return status;
    if ((size_t)size < flat.size())
        return B_BUFFER_OVERFLOW;
    memcpy(buffer, flat.data(), flat.size());
    return B_OK;
}

status_t BMessage::Flatten(BDataIO* stream, ssize_t* size) const
{
    if (stream == nullptr)
        return B_BAD_VALUE;
    std::vector<char> flat;
    status_t status = fFields->Flatten(what, &flat);
    if (status != B_OK)
        return status;
    size_t written = 0;
    status = stream->WriteExactly(flat.data(), flat.size(), &written);
    if (size != nullptr)
        *size = (ssize_t)written;
    return status;
}

// The new contents are built apart and swapped in only when all of them are
// sound, so a bad buffer leaves the message as it was.
status_t BMessage::Unflatten(const char* flatBuffer, ssize_t size)
{
    if (flatBuffer == nullptr || size < 0)
        return B_BAD_VALUE;
    uint32 newWhat;
    MessageFields fields;
    status_t status = MessageFields::Unflatten(flatBuffer, (size_t)size, &newWhat, &fields);
    if (status != B_OK)
        return status;
    what = newWhat;
    fFields->fields.swap(fields.fields);
    return B_OK;
}

status_t BMessage::Unflatten(BDataIO* stream)
{
    if (stream == nullptr)
        return B_BAD_VALUE;
    std::vector<char> flat(MessageFields::kHeaderSize);
    status_t status = stream->ReadExactly(flat.data(), flat.size());
    if (status != B_OK)
        return status == B_ERROR ? B_BAD_VALUE : status;
    uint32 total;
    status = MessageFields::ClaimedSize(flat.data(), &total);
    if (status != B_OK)
        return status;
    while (flat.size() < total) {
        size_t chunk = std::min(kStreamChunk, (size_t)total - flat.size());
        size_t offset = flat.size();
        flat.resize(offset + chunk);
        status = stream->ReadExactly(flat.data() + offset, chunk);
        if (status != B_OK)
            return status == B_ERROR ? B_BAD_VALUE : status;
    }
    return Unflatten(flat.data(), (ssize_t)flat.size());
}

status_t BMessage::AddData(const char* name, type_code type, const void* data, ssize_t numBytes,
                           bool isFixedSize, int32 count)
{
    if (name == nullptr || data == nullptr || numBytes <= 0 || type == B_ANY_TYPE)
        return B_BAD_VALUE;
    const char* bytes = static_cast<const char*>(data);
    status_t status = MessageFields::CheckItem(type, bytes, (size_t)numBytes);
    if (status != B_OK)
        return status;
    MessageField* field = fFields->Find(name);
    if (field == nullptr) {
        MessageField added;
        added.name = name;
        added.type = type;
        added.fixedSize = isFixedSize;
        added.items.emplace_back(bytes, bytes + numBytes);
        fFields->fields.push_back(std::move(added));
        return B_OK;
    }
    if (field->type != type)
        return B_BAD_TYPE;
    if (field->fixedSize && (size_t)numBytes != field->items[0].size())
        return B_BAD_VALUE;
    if (field->items.size() >= (size_t)INT32_MAX)
        return B_NO_MEMORY;
    field->items.emplace_back(bytes, bytes + numBytes);
    return B_OK;
}

status_t BMessage::RemoveData(const char* name, int32 index)
{
    if (name == nullptr)
        return B_BAD_VALUE;
    MessageField* field = fFields->Find(name);
    if (field == nullptr)
        return B_NAME_NOT_FOUND;
    if (index < 0 || (size_t)index >= field->items.size())
        return B_BAD_INDEX;
    field->items.erase(field->items.begin() + index);
    if (field->items.empty())
        return RemoveName(name);
    return B_OK;
}

status_t BMessage::RemoveName(const char* name)
{
    if (name == nullptr)
        return B_BAD_VALUE;
    std::vector<MessageField>& fields = fFields->fields;
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        if (it->name == name) {
            fields.erase(it);
            return B_OK;
        }
    }
    return B_NAME_NOT_FOUND;
}

status_t BMessage::MakeEmpty()
{
    fFields->fields.clear();
    return B_OK;
}

status_t BMessage::FindData(const char* name, type_code type, int32 index, const void** data,
                            ssize_t* numBytes) const
{
    if (name == nullptr || data == nullptr)
        return B_BAD_VALUE;
    const MessageField* field = fFields->Find(name);
    if (field == nullptr)
        return B_NAME_NOT_FOUND;
    if (type != B_ANY_TYPE && field->type != type)
        return B_BAD_TYPE;
    if (index < 0 || (size_t)index >= field->items.size())
        return B_BAD_INDEX;
    const std::vector<char>& item = field->items[index];
    *data = item.data();
    if (numBytes != nullptr)
        *numBytes = (ssize_t)item.size();
    return B_OK;
}

status_t BMessage::FindData(const char* name, type_code type, const void** data,
                            ssize_t* numBytes) const
{
    return FindData(name, type, 0, data, numBytes);
}

status_t BMessage::ReplaceData(const char* name, type_code type, int32 index, const void* data,
                               ssize_t numBytes)
{
    if (name == nullptr || data == nullptr || numBytes <= 0)
        return B_BAD_VALUE;
    MessageField* field = fFields->Find(name);
    if (field == nullptr)
        return B_NAME_NOT_FOUND;
    if (type != B_ANY_TYPE && field->type != type)
        return B_BAD_TYPE;
    if (index < 0 || (size_t)index >= field->items.size())
        return B_BAD_INDEX;
    const char* bytes = static_cast<const char*>(data);
    status_t status = MessageFields::CheckItem(field->type, bytes, (size_t)numBytes);
    if (status != B_OK)
        return status;
    if (field->fixedSize && (size_t)numBytes != field->items[index].size())
        return B_BAD_VALUE;
    field->items[index].assign(bytes, bytes + numBytes);
    return B_OK;
}

status_t BMessage::ReplaceData(const char* name, type_code type, const void* data, ssize_t numBytes)
{
    return ReplaceData(name, type, 0, data, numBytes);
}

bool BMessage::HasData(const char* name, type_code type, int32 index) const
{
    const void* data;
    return FindData(name, type, index, &data, nullptr) == B_OK;
}

namespace {

template <typename T>
status_t find_value(const BMessage* message, const char* name, type_code type, int32 index,
                    T* value)
{
    if (value == nullptr)
        return B_BAD_VALUE;
    const void* data;
    ssize_t size;
    status_t status = message->FindData(name, type, index, &data, &size);
    if (status != B_OK)
        return status;
    if ((size_t)size != sizeof(T))
        return B_BAD_DATA;
    memcpy(value, data, sizeof(T));
    return B_OK;
}

} // namespace

// The fixed-size types share one pattern: Add appends the value's bytes, Find
// copies them out only when the field, type and index all match.
#define TAVRIN_MESSAGE_ADD_FIND(Name, Type, code)                                                  \
    status_t BMessage::Add##Name(const char* name, Type value)                                     \
    {                                                                                              \
        return AddData(name, code, &value, sizeof(Type), true);                                    \
    }                                                                                              \
    status_t BMessage::Find##Name(const char* name, Type* value) const                             \
    {                                                                                              \
        return find_value(this, name, code, 0, value);                                             \
    }                                                                                              \
    status_t BMessage::Find##Name(const char* name, int32 index, Type* value) const                \
    {                                                                                              \
        return find_value(this, name, code, index, value);                                         \
    }

#define TAVRIN_MESSAGE_REPLACE_HAS(Name, Type, code)                                               \
    status_t BMessage::Replace##Name(const char* name, Type value)                                 \
    {                                                                                              \
        return ReplaceData(name, code, 0, &value, sizeof(Type));                                   \
    }                                                                                              \
    status_t BMessage::Replace##Name(const char* name, int32 index, Type value)                    \
    {                                                                                              \
        return ReplaceData(name, code, index, &value, sizeof(Type));                               \
    }                                                                                              \
    bool BMessage::Has##Name(const char* name, int32 index) const                                  \
    {                                                                                              \
        return HasData(name, code, index);                                                         \
    }

TAVRIN_MESSAGE_ADD_FIND(Rect, BRect, B_RECT_TYPE)
TAVRIN_MESSAGE_ADD_FIND(Point, BPoint, B_POINT_TYPE)
TAVRIN_MESSAGE_ADD_FIND(Int8, int8, B_INT8_TYPE)
TAVRIN_MESSAGE_ADD_FIND(UInt8, uint8, B_UINT8_TYPE)
TAVRIN_MESSAGE_ADD_FIND(Int16, int16, B_INT16_TYPE)
TAVRIN_MESSAGE_ADD_FIND(UInt16, uint16, B_UINT16_TYPE)
TAVRIN_MESSAGE_ADD_FIND(Int32, int32, B_INT32_TYPE)
TAVRIN_MESSAGE_ADD_FIND(UInt32, uint32, B_UINT32_TYPE)
TAVRIN_MESSAGE_ADD_FIND(Int64, int64, B_INT64_TYPE)
TAVRIN_MESSAGE_ADD_FIND(UInt64, uint64, B_UINT64_TYPE)
TAVRIN_MESSAGE_ADD_FIND(Float, float, B_FLOAT_TYPE)
TAVRIN_MESSAGE_ADD_FIND(Double, double, B_DOUBLE_TYPE)

TAVRIN_MESSAGE_REPLACE_HAS(Rect, BRect, B_RECT_TYPE)
TAVRIN_MESSAGE_REPLACE_HAS(Point, BPoint, B_POINT_TYPE)
TAVRIN_MESSAGE_REPLACE_HAS(Int8, int8, B_INT8_TYPE)
TAVRIN_MESSAGE_REPLACE_HAS(Int16, int16, B_INT16_TYPE)
TAVRIN_MESSAGE_REPLACE_HAS(Int32, int32, B_INT32_TYPE)
TAVRIN_MESSAGE_REPLACE_HAS(Int64, int64, B_INT64_TYPE)
TAVRIN_MESSAGE_REPLACE_HAS(Float, float, B_FLOAT_TYPE)
TAVRIN_MESSAGE_REPLACE_HAS(Double, double, B_DOUBLE_TYPE)

#undef TAVRIN_MESSAGE_ADD_FIND
#undef TAVRIN_MESSAGE_REPLACE_HAS

// A bool is one byte; any nonzero byte (from a flattened buffer) reads as true.
status_t BMessage::AddBool(const char* name, bool value)
{
    uint8 byte = value ? 1 : 0;
    return AddData(name, B_BOOL_TYPE, &byte, 1, true);
}

status_t BMessage::FindBool(const char* name, bool* value) const
{
    return FindBool(name, 0, value);
}

status_t BMessage::FindBool(const char* name, int32 index, bool* value) const
{
    uint8 byte;
    status_t status = find_value(this, name, B_BOOL_TYPE, index, &byte);
    if (status == B_OK)
        *value = byte != 0;
    return status;
}

status_t BMessage::ReplaceBool(const char* name, bool value)
{
    return ReplaceBool(name, 0, value);
}

status_t BMessage::ReplaceBool(const char* name, int32 index, bool value)
{
    uint8 byte = value ? 1 : 0;
    return ReplaceData(name, B_BOOL_TYPE, index, &byte, 1);
}

bool BMessage::HasBool(const char* name, int32 index) const
{
    return HasData(name, B_BOOL_TYPE, index);
}

status_t BMessage::AddPointer(const char* name, const void* pointer)
{
    return AddData(name, B_POINTER_TYPE, &pointer, sizeof(pointer), true);
}

status_t BMessage::FindPointer(const char* name, void** pointer) const
{
    return find_value(this, name, B_POINTER_TYPE, 0, pointer);
}

status_t BMessage::FindPointer(const char* name, int32 index, void** pointer) const
{
    return find_value(this, name, B_POINTER_TYPE, index, pointer);
}

status_t BMessage::ReplacePointer(const char* name, const void* pointer)
{
    return ReplaceData(name, B_POINTER_TYPE, 0, &pointer, sizeof(pointer));
}

status_t BMessage::ReplacePointer(const char* name, int32 index, const void* pointer)
{
    return ReplaceData(name, B_POINTER_TYPE, index, &pointer, sizeof(pointer));
}

bool BMessage::HasPointer(const char* name, int32 index) const
{
    return HasData(name, B_POINTER_TYPE, index);
}

// Strings are kept with their NUL; Find hands out a pointer into the message.
status_t BMessage::AddString(const char* name, const char* string)
{
    if (string == nullptr)
        return B_BAD_VALUE;
    return AddData(name, B_STRING_TYPE, string, (ssize_t)strlen(string) + 1, false);
}

status_t BMessage::FindString(const char* name, const char** string) const
{
    return FindString(name, 0, string);
}

status_t BMessage::FindString(const char* name, int32 index, const char** string) const
{
    if (string == nullptr)
        return B_BAD_VALUE;
    const void* data;
    status_t status = FindData(name, B_STRING_TYPE, index, &data, nullptr);
    if (status == B_OK)
        *string = static_cast<const char*>(data);
    return status;
}

status_t BMessage::ReplaceString(const char* name, const char* string)
{
    return ReplaceString(name, 0, string);
}

status_t BMessage::ReplaceString(const char* name, int32 index, const char* string)
{
    if (string == nullptr)
        return B_BAD_VALUE;
    return ReplaceData(name, B_STRING_TYPE, index, string, (ssize_t)strlen(string) + 1);
}

bool BMessage::HasString(const char* name, int32 index) const
{
    return HasData(name, B_STRING_TYPE, index);
}

namespace {

std::vector<char> ref_bytes(const entry_ref* ref)
{
    const char* directory = ref->directory != nullptr ? ref->directory : "";
    const char* leaf = ref->name != nullptr ? ref->name : "";
    std::vector<char> bytes(directory, directory + strlen(directory) + 1);
    bytes.insert(bytes.end(), leaf, leaf + strlen(leaf) + 1);
    return bytes;
}

} // namespace

status_t BMessage::AddRef(const char* name, const entry_ref* ref)
{
    if (ref == nullptr)
        return B_BAD_VALUE;
    std::vector<char> bytes = ref_bytes(ref);
    return AddData(name, B_REF_TYPE, bytes.data(), (ssize_t)bytes.size(), false);
}

status_t BMessage::FindRef(const char* name, entry_ref* ref) const
{
    return FindRef(name, 0, ref);
}

status_t BMessage::FindRef(const char* name, int32 index, entry_ref* ref) const
{
    if (ref == nullptr)
        return B_BAD_VALUE;
    const void* data;
    status_t status = FindData(name, B_REF_TYPE, index, &data, nullptr);
    if (status != B_OK)
        return status;
    // Items were checked on the way in: two NUL-terminated strings.
    const char* directory = static_cast<const char*>(data);
    entry_ref found(directory, directory + strlen(directory) + 1);
    if (found.directory == nullptr || found.name == nullptr)
        return B_NO_MEMORY;
    *ref = found;
    return B_OK;
}

status_t BMessage::ReplaceRef(const char* name, const entry_ref* ref)
{
    return ReplaceRef(name, 0, ref);
}

status_t BMessage::ReplaceRef(const char* name, int32 index, const entry_ref* ref)
{
    if (ref == nullptr)
        return B_BAD_VALUE;
    std::vector<char> bytes = ref_bytes(ref);
    return ReplaceData(name, B_REF_TYPE, index, bytes.data(), (ssize_t)bytes.size());
}

bool BMessage::HasRef(const char* name, int32 index) const
{
    return HasData(name, B_REF_TYPE, index);
}

// A nested message is stored flattened; Find unflattens a fresh copy.
status_t BMessage::AddMessage(const char* name, const BMessage* message)
{
    if (message == nullptr)
        return B_BAD_VALUE;
    std::vector<char> flat;
    status_t status = message->fFields->Flatten(message->what, &flat);
    if (status != B_OK)
        return status;
    return AddData(name, B_MESSAGE_TYPE, flat.data(), (ssize_t)flat.size(), false);
}

status_t BMessage::FindMessage(const char* name, BMessage* message) const
{
    return FindMessage(name, 0, message);
}

status_t BMessage::FindMessage(const char* name, int32 index, BMessage* message) const
{
    if (message == nullptr)
        return B_BAD_VALUE;
    const void* data;
    ssize_t size;
    status_t status = FindData(name, B_MESSAGE_TYPE, index, &data, &size);
    if (status != B_OK)
        return status;
    return message->Unflatten(static_cast<const char*>(data), size);
}

status_t BMessage::ReplaceMessage(const char* name, const BMessage* message)
{
    return ReplaceMessage(name, 0, message);
}

status_t BMessage::ReplaceMessage(const char* name, int32 index, const BMessage* message)
{
    if (message == nullptr)
        return B_BAD_VALUE;
    std::vector<char> flat;
    status_t status = message->fFields->Flatten(message->what, &flat);
    if (status != B_OK)
        return status;
    return ReplaceData(name, B_MESSAGE_TYPE, index, flat.data(), (ssize_t)flat.size());
}

bool BMessage::HasMessage(const char* name, int32 index) const
{
    return HasData(name, B_MESSAGE_TYPE, index);
}

// A messenger holds a live connection to a looper and cannot be kept as
// bytes; messengers travel in the delivery state instead.
status_t BMessage::AddMessenger(const char* name, BMessenger messenger)
{
    return B_NOT_SUPPORTED;
}

status_t BMessage::FindMessenger(const char* name, BMessenger* messenger) const
{
    return B_NOT_SUPPORTED;
}

status_t BMessage::FindMessenger(const char* name, int32 index, BMessenger* messenger) const
{
    return B_NOT_SUPPORTED;
}

bool BMessage::GetBool(const char* name, bool defaultValue) const
{
    bool value;
    return FindBool(name, &value) == B_OK ? value : defaultValue;
}

int32 BMessage::GetInt32(const char* name, int32 defaultValue) const
{
    int32 value;
    return FindInt32(name, &value) == B_OK ? value : defaultValue;
}

float BMessage::GetFloat(const char* name, float defaultValue) const
{
    float value;
    return FindFloat(name, &value) == B_OK ? value : defaultValue;
}

const char* BMessage::GetString(const char* name, const char* defaultValue) const
{
    const char* value;
    return FindString(name, &value) == B_OK ? value : defaultValue;
}

void BMessage::PrintToStream() const
{
    fFields->PrintToStream(what);
}
