#ifndef TAVRIN_TESTS_MESSAGE_FLAT_BUILDER_H
#define TAVRIN_TESTS_MESSAGE_FLAT_BUILDER_H

#include <SupportDefs.h>

#include <cstring>
#include <string>
#include <vector>

// Writes flattened messages byte by byte, following the documented format
// rather than the kit's own writer, so that tests can build buffers the kit
// would never produce.
class FlatBuilder
{
public:
    FlatBuilder(uint32 what, uint32 fieldCount)
    {
        U32(0x47534d54); // 'T' 'M' 'S' 'G'
        U32(0);          // total size, patched by Bytes()
        U32(what);
        U32(fieldCount);
    }

    FlatBuilder& U32(uint32 value)
    {
        for (int i = 0; i < 4; i++)
            fData.push_back((char)((value >> (8 * i)) & 0xff));
        return *this;
    }

    FlatBuilder& Raw(const void* bytes, size_t size)
    {
        const char* p = static_cast<const char*>(bytes);
        fData.insert(fData.end(), p, p + size);
        return *this;
    }

    FlatBuilder& Raw(const std::string& bytes) { return Raw(bytes.data(), bytes.size()); }

    // A whole field; item sizes come from the items unless sizes is given.
    FlatBuilder& Field(const std::string& name, uint32 type, uint32 flags,
                       const std::vector<std::string>& items, const std::vector<uint32>& sizes = {})
    {
        U32((uint32)name.size() + 1);
        Raw(name.c_str(), name.size() + 1);
        U32(type);
        U32(flags);
        U32((uint32)items.size());
        for (size_t i = 0; i < items.size(); i++)
            U32(i < sizes.size() ? sizes[i] : (uint32)items[i].size());
        for (const std::string& item : items)
            Raw(item);
        return *this;
    }

    // The finished buffer, its total size set to its length (or to claimedSize).
    std::vector<char> Bytes(int64 claimedSize = -1) const
    {
        std::vector<char> bytes = fData;
        uint32 total = claimedSize < 0 ? (uint32)bytes.size() : (uint32)claimedSize;
        for (int i = 0; i < 4; i++)
            bytes[4 + i] = (char)((total >> (8 * i)) & 0xff);
        return bytes;
    }

private:
    std::vector<char> fData;
};

inline std::string Le32(uint32 value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; i++)
        bytes[i] = (char)((value >> (8 * i)) & 0xff);
    return bytes;
}

#endif
