#ifndef _TAVRIN_MESSAGE_FIELDS_H
#define _TAVRIN_MESSAGE_FIELDS_H

#include <SupportDefs.h>

#include <string>
#include <vector>

// The fields of a BMessage and their flattened form (described at the top
// of app/Message.cpp). BMessage owns one; nothing else uses it.
namespace BPrivate {

struct MessageField
{
    std::string name;
    type_code type;
    bool fixedSize;
    // Each item owns its bytes, so pointers handed out by FindData stay valid
    // until that item is replaced or removed.
    std::vector<std::vector<char>> items;
};

struct MessageFields
{
    // In the order the fields were first added.
    std::vector<MessageField> fields;

    MessageField* Find(const char* name);
    const MessageField* Find(const char* name) const;

    size_t FlattenedSize() const;
    // B_BAD_VALUE when the message is too large for the format.
    status_t Flatten(uint32 what, std::vector<char>* out) const;
    // Reads a flattened message of at most size bytes into what and fields,
    // which the caller passes empty. B_NOT_A_MESSAGE for a wrong magic number,
    // B_BAD_VALUE for anything else that is wrong.
    static status_t Unflatten(const char* data, size_t size, uint32* what, MessageFields* fields);
    // Whether an item of type may be stored: the known types' sizes and
    // contents (strings end in NUL, references are two strings, nested
    // messages unflatten).
    static status_t CheckItem(type_code type, const char* data, size_t size);
    // The total size a flattened message claims in its header, once the
    // first kHeaderSize bytes are known; B_NOT_A_MESSAGE or B_BAD_VALUE when
    // the header is wrong.
    static status_t ClaimedSize(const char* header, uint32* size);

    void PrintToStream(uint32 what) const;

    static const size_t kHeaderSize = 16;
};

} // namespace BPrivate

#endif
