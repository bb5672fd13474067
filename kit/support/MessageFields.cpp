#include "MessageFields.h"

#include <Rect.h>
#include <TypeConstants.h>

#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_set>

namespace BPrivate {

MessageField* MessageFields::Find(const char* name)
{
    if (name == nullptr)
        return nullptr;
    for (MessageField& field : fields) {
        if (field.name == name)
            return &field;
    }
    return nullptr;
}

const MessageField* MessageFields::Find(const char* name) const
{
    return const_cast<MessageFields*>(this)->Find(name);
}

namespace {

const uint32 kMessageMagic = 0x47534d54; // "TMSG" in memory
const size_t kHeaderSize = MessageFields::kHeaderSize;
const uint32 kFixedSizeFlag = 0x1;
const int kNestingLimit = 32;

// Reads a flattened message into fields, or only checks it when fields is null.
status_t parse_message(const char* data, size_t size, int depth, uint32* what,
                       MessageFields* fields);

// The size an item of a known fixed-size type must have; 0 for other types.
size_t known_size(type_code type)
{
    switch (type) {
    case B_INT8_TYPE:
    case B_UINT8_TYPE:
    case B_BOOL_TYPE:
        return 1;
    case B_INT16_TYPE:
    case B_UINT16_TYPE:
        return 2;
    case B_INT32_TYPE:
    case B_UINT32_TYPE:
    case B_FLOAT_TYPE:
        return 4;
    case B_INT64_TYPE:
    case B_UINT64_TYPE:
    case B_DOUBLE_TYPE:
        return 8;
    case B_POINT_TYPE:
        return sizeof(BPoint);
    case B_RECT_TYPE:
        return sizeof(BRect);
    case B_POINTER_TYPE:
        return sizeof(void*);
    default:
        return 0;
    }
}

// A reference is two NUL-terminated strings and nothing else.
bool valid_ref_data(const char* data, size_t size)
{
    const char* firstNul = static_cast<const char*>(memchr(data, '\0', size));
    if (firstNul == nullptr || firstNul == data + size - 1)
        return false;
    size_t rest = size - (size_t)(firstNul + 1 - data);
    return memchr(firstNul + 1, '\0', rest) == firstNul + rest;
}

// Whatever a message holds can be flattened and read back, so items of the
// known types are checked on the way in as well as on unflattening.
status_t check_item(type_code type, const char* data, size_t size, int depth)
{
    if (size == 0 || size > UINT32_MAX)
        return B_BAD_VALUE;
    size_t expected = known_size(type);
    if (expected != 0 && size != expected)
        return B_BAD_VALUE;
    switch (type) {
    case B_STRING_TYPE:
        return data[size - 1] == '\0' ? B_OK : B_BAD_VALUE;
    case B_REF_TYPE:
        return valid_ref_data(data, size) ? B_OK : B_BAD_VALUE;
    case B_MESSAGE_TYPE: {
        uint32 what;
        status_t status = parse_message(data, size, depth + 1, &what, nullptr);
        return status == B_NOT_A_MESSAGE ? B_BAD_VALUE : status;
    }
    default:
        return B_OK;
    }
}

void put32(std::vector<char>* out, uint32 value)
{
    char bytes[4] = {(char)(value & 0xff), (char)((value >> 8) & 0xff),
                     (char)((value >> 16) & 0xff), (char)((value >> 24) & 0xff)};
    out->insert(out->end(), bytes, bytes + 4);
}

uint32 get32(const char* data)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
    return (uint32)p[0] | ((uint32)p[1] << 8) | ((uint32)p[2] << 16) | ((uint32)p[3] << 24);
}

// Reads from a bounded buffer; every read fails once the buffer is exhausted.
class Reader
{
public:
    Reader(const char* data, size_t size) : fData(data), fSize(size), fOffset(0) {}

    bool Read32(uint32* value)
    {
        if (Remaining() < 4)
            return false;
        *value = get32(fData + fOffset);
        fOffset += 4;
        return true;
    }
    const char* Take(size_t size)
    {
        if (Remaining() < size)
            return nullptr;
        const char* data = fData + fOffset;
        fOffset += size;
        return data;
    }
    size_t Remaining() const { return fSize - fOffset; }

private:
    const char* fData;
    size_t fSize;
    size_t fOffset;
};

// names holds the names seen so far (pointing into the buffer), so that a
// buffer with many fields is checked for duplicates in linear time.
status_t parse_field(Reader* reader, int depth, MessageFields* fields,
                     std::unordered_set<std::string_view>* names)
{
    uint32 nameLength;
    if (!reader->Read32(&nameLength) || nameLength == 0)
        return B_BAD_VALUE;
    const char* name = reader->Take(nameLength);
    if (name == nullptr || memchr(name, '\0', nameLength) != name + nameLength - 1)
        return B_BAD_VALUE;
    if (!names->insert(std::string_view(name, nameLength - 1)).second)
        return B_BAD_VALUE;

    uint32 type;
    uint32 flags;
    uint32 count;
    if (!reader->Read32(&type) || !reader->Read32(&flags) || !reader->Read32(&count))
        return B_BAD_VALUE;
    if ((flags & ~kFixedSizeFlag) != 0 || count == 0 || count > reader->Remaining() / 4)
        return B_BAD_VALUE;

    const char* sizes = reader->Take((size_t)count * 4);
    uint64 total = 0;
    for (uint32 i = 0; i < count; i++) {
        uint32 size = get32(sizes + (size_t)i * 4);
        if (size == 0 || ((flags & kFixedSizeFlag) && size != get32(sizes)))
            return B_BAD_VALUE;
        total += size;
    }
    if (total > reader->Remaining())
        return B_BAD_VALUE;

    MessageField field;
    field.name.assign(name, nameLength - 1);
    field.type = type;
    field.fixedSize = (flags & kFixedSizeFlag) != 0;
    if (fields != nullptr)
        field.items.reserve(count);
    for (uint32 i = 0; i < count; i++) {
        uint32 size = get32(sizes + (size_t)i * 4);
        const char* data = reader->Take(size);
        status_t status = check_item(type, data, size, depth);
        if (status != B_OK)
            return status;
        if (fields != nullptr)
            field.items.emplace_back(data, data + size);
    }
    if (fields != nullptr)
        fields->fields.push_back(std::move(field));
    return B_OK;
}

status_t parse_message(const char* data, size_t size, int depth, uint32* what,
                       MessageFields* fields)
{
    if (depth > kNestingLimit)
        return B_BAD_VALUE;
    if (data == nullptr || size < 4)
        return B_BAD_VALUE;
    if (get32(data) != kMessageMagic)
        return B_NOT_A_MESSAGE;
    if (size < kHeaderSize)
        return B_BAD_VALUE;
    uint32 total = get32(data + 4);
    if (total < kHeaderSize || total > size)
        return B_BAD_VALUE;

    Reader reader(data + kHeaderSize, total - kHeaderSize);
    *what = get32(data + 8);
    uint32 count = get32(data + 12);
    std::unordered_set<std::string_view> names;
    for (uint32 i = 0; i < count; i++) {
        status_t status = parse_field(&reader, depth, fields, &names);
        if (status != B_OK)
            return status;
    }
    return reader.Remaining() == 0 ? B_OK : B_BAD_VALUE;
}

size_t flattened_size(const MessageFields& fields)
{
    size_t size = kHeaderSize;
    for (const MessageField& field : fields.fields) {
        size += 4 + field.name.size() + 1 + 12 + 4 * field.items.size();
        for (const std::vector<char>& item : field.items)
            size += item.size();
    }
    return size;
}

status_t flatten_into(uint32 what, const MessageFields& fields, std::vector<char>* out)
{
    size_t size = flattened_size(fields);
    if (size > UINT32_MAX)
        return B_BAD_VALUE;
    out->clear();
    out->reserve(size);
    put32(out, kMessageMagic);
    put32(out, (uint32)size);
    put32(out, what);
    put32(out, (uint32)fields.fields.size());
    for (const MessageField& field : fields.fields) {
        put32(out, (uint32)field.name.size() + 1);
        out->insert(out->end(), field.name.c_str(), field.name.c_str() + field.name.size() + 1);
        put32(out, field.type);
        put32(out, field.fixedSize ? kFixedSizeFlag : 0);
        put32(out, (uint32)field.items.size());
        for (const std::vector<char>& item : field.items)
            put32(out, (uint32)item.size());
        for (const std::vector<char>& item : field.items)
            out->insert(out->end(), item.begin(), item.end());
    }
    return B_OK;
}

void print_code(uint32 code)
{
    char chars[4] = {(char)(code >> 24), (char)(code >> 16), (char)(code >> 8), (char)code};
    bool printable = true;
    for (char c : chars)
        printable = printable && c >= 0x20 && c < 0x7f;
    if (printable)
        printf("'%.4s'", chars);
    else
        printf("0x%08x", code);
}

void print_message(uint32 what, const MessageFields& fields, int indent);

void print_item(type_code type, const std::vector<char>& item, int indent)
{
    const char* data = item.data();
    switch (type) {
    case B_STRING_TYPE:
        printf("string(\"%s\", %zu bytes)\n", data, item.size());
        return;
    case B_INT8_TYPE:
        printf("int8(%d)\n", (int)(int8)data[0]);
        return;
    case B_UINT8_TYPE:
        printf("uint8(%u)\n", (unsigned)(uint8)data[0]);
        return;
    case B_BOOL_TYPE:
        printf("bool(%s)\n", data[0] != 0 ? "true" : "false");
        return;
    case B_REF_TYPE:
        printf("entry_ref(directory: \"%s\", name: \"%s\")\n", data, data + strlen(data) + 1);
        return;
    case B_MESSAGE_TYPE: {
        uint32 what;
        MessageFields nested;
        if (parse_message(data, item.size(), 0, &what, &nested) == B_OK) {
            print_message(what, nested, indent);
            return;
        }
        break;
    }
    default:
        break;
    }
    switch (type) {
#define TAVRIN_PRINT_FIXED(code, Type, format, ...)                                                \
    case code: {                                                                                   \
        Type v;                                                                                    \
        memcpy(&v, data, sizeof(v));                                                               \
        printf(format "\n", __VA_ARGS__);                                                          \
        return;                                                                                    \
    }
        TAVRIN_PRINT_FIXED(B_INT16_TYPE, int16, "int16(%d)", (int)v)
        TAVRIN_PRINT_FIXED(B_UINT16_TYPE, uint16, "uint16(%u)", (unsigned)v)
        TAVRIN_PRINT_FIXED(B_INT32_TYPE, int32, "int32(%d or 0x%x)", (int)v, (unsigned)v)
        TAVRIN_PRINT_FIXED(B_UINT32_TYPE, uint32, "uint32(%u or 0x%x)", (unsigned)v, (unsigned)v)
        TAVRIN_PRINT_FIXED(B_INT64_TYPE, int64, "int64(%lld)", (long long)v)
        TAVRIN_PRINT_FIXED(B_UINT64_TYPE, uint64, "uint64(%llu)", (unsigned long long)v)
        TAVRIN_PRINT_FIXED(B_FLOAT_TYPE, float, "float(%.4f)", v)
        TAVRIN_PRINT_FIXED(B_DOUBLE_TYPE, double, "double(%.8f)", v)
        TAVRIN_PRINT_FIXED(B_POINT_TYPE, BPoint, "BPoint(x:%.1f, y:%.1f)", v.x, v.y)
        TAVRIN_PRINT_FIXED(B_RECT_TYPE, BRect, "BRect(l:%.1f, t:%.1f, r:%.1f, b:%.1f)", v.left,
                           v.top, v.right, v.bottom)
        TAVRIN_PRINT_FIXED(B_POINTER_TYPE, void*, "pointer(%p)", v)
#undef TAVRIN_PRINT_FIXED
    default:
        break;
    }
    print_code(type);
    printf(" %zu bytes:", item.size());
    for (size_t i = 0; i < item.size() && i < 16; i++)
        printf(" %02x", (unsigned)(unsigned char)data[i]);
    printf(item.size() > 16 ? " ...\n" : "\n");
}

void print_message(uint32 what, const MessageFields& fields, int indent)
{
    printf("BMessage(");
    print_code(what);
    printf(") {\n");
    for (const MessageField& field : fields.fields) {
        for (size_t i = 0; i < field.items.size(); i++) {
            printf("%*s%s", indent + 4, "", field.name.c_str());
            if (field.items.size() > 1)
                printf("[%zu]", i);
            printf(" = ");
            print_item(field.type, field.items[i], indent + 4);
        }
    }
    printf("%*s}\n", indent, "");
}

} // namespace

size_t MessageFields::FlattenedSize() const
{
    return flattened_size(*this);
}

status_t MessageFields::Flatten(uint32 what, std::vector<char>* out) const
{
    return flatten_into(what, *this, out);
}

status_t MessageFields::Unflatten(const char* data, size_t size, uint32* what,
                                  MessageFields* fields)
{
    return parse_message(data, size, 0, what, fields);
}

status_t MessageFields::CheckItem(type_code type, const char* data, size_t size)
{
    return check_item(type, data, size, 0);
}

status_t MessageFields::ClaimedSize(const char* header, uint32* size)
{
    if (get32(header) != kMessageMagic)
        return B_NOT_A_MESSAGE;
    uint32 total = get32(header + 4);
    if (total < kHeaderSize)
        return B_BAD_VALUE;
    *size = total;
    return B_OK;
}

void MessageFields::PrintToStream(uint32 what) const
{
    print_message(what, *this, 0);
}

} // namespace BPrivate
