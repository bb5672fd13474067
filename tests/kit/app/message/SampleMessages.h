#ifndef TAVRIN_TESTS_MESSAGE_SAMPLE_MESSAGES_H
#define TAVRIN_TESTS_MESSAGE_SAMPLE_MESSAGES_H

#include <Entry.h>
#include <Message.h>

#include <gtest/gtest.h>

#include <vector>

// A message with a field of every type the kit knows, and more than one item
// in some of them.
inline BMessage MessageWithEveryType()
{
    BMessage nested('nest');
    nested.AddString("inside", "yes");
    entry_ref ref("/home/user", "photo.png");
    static int anchor = 0;

    BMessage message('evry');
    message.AddString("string", "text");
    message.AddString("string", "second");
    message.AddInt8("int8", -8);
    message.AddUInt8("uint8", 200);
    message.AddInt16("int16", -1600);
    message.AddUInt16("uint16", 60000);
    message.AddInt32("int32", -320000);
    message.AddUInt32("uint32", 4000000000u);
    message.AddInt64("int64", -(int64)1 << 40);
    message.AddUInt64("uint64", (uint64)1 << 63);
    message.AddBool("bool", true);
    message.AddFloat("float", 0.25f);
    message.AddDouble("double", 1e300);
    message.AddPoint("point", BPoint(3, 4));
    message.AddRect("rect", BRect(1, 2, 3, 4));
    message.AddRef("ref", &ref);
    message.AddMessage("message", &nested);
    message.AddPointer("pointer", &anchor);
    message.AddData("image/png", B_MIME_TYPE, "\x89PNG\r\n", 6);
    message.AddData("raw", B_RAW_TYPE, "\0\1\2", 3, false);
    return message;
}

inline std::vector<char> Flat(const BMessage& message)
{
    std::vector<char> bytes(message.FlattenedSize());
    EXPECT_EQ(message.Flatten(bytes.data(), (ssize_t)bytes.size()), B_OK);
    return bytes;
}

#endif
