#include <AppFileInfo.h>
#include <Entry.h>
#include <File.h>
#include <Node.h>

#include "TempDir.h"

#include <sys/xattr.h>

namespace {

// Skips when the temporary file system keeps no extended attributes.
class AttributeTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        WriteFile("person", "");
        if (setxattr(PathOf("person").c_str(), "user.probe", "1", 1, 0) != 0)
            GTEST_SKIP() << "no extended attributes on " << fDir;
        removexattr(PathOf("person").c_str(), "user.probe");
    }

    std::string RawAttr(const std::string& file, const char* key)
    {
        char buffer[512];
        ssize_t length = getxattr(PathOf(file).c_str(), key, buffer, sizeof(buffer));
        return length < 0 ? "<none>" : std::string(buffer, length);
    }
};

TEST_F(AttributeTest, WrittenAttributesReadBackAsUserAttributes)
{
    entry_ref ref(fDir.c_str(), "person");
    BNode node(&ref);
    ASSERT_EQ(node.InitCheck(), B_OK);
    EXPECT_EQ(node.WriteAttr("META:zip", B_STRING_TYPE, 0, "1234567", 7), 7);
    EXPECT_EQ(RawAttr("person", "user.META:zip"), "1234567");

    char buffer[16] = {};
    EXPECT_EQ(node.ReadAttr("META:zip", B_STRING_TYPE, 0, buffer, 15), 7);
    EXPECT_STREQ(buffer, "1234567");

    attr_info info;
    ASSERT_EQ(node.GetAttrInfo("META:zip", &info), B_OK);
    EXPECT_EQ(info.size, 7);
}

TEST_F(AttributeTest, ReadsHonourOffsetAndLength)
{
    ASSERT_EQ(setxattr(PathOf("person").c_str(), "user.META:address", "0123456789", 10, 0), 0);
    BNode node(PathOf("person").c_str());
    struct Case
    {
        off_t offset;
        size_t length;
        ssize_t result;
        const char* bytes;
    };
    const Case cases[] = {
        {0, 10, 10, "0123456789"},
        {0, 4, 4, "0123"},
        {0, 64, 10, "0123456789"},
        {3, 4, 4, "3456"},
        {8, 10, 2, "89"},
        {10, 5, 0, ""},
        {50, 5, 0, ""},
        {-1, 5, B_BAD_VALUE, ""},
    };
    for (const Case& c : cases) {
        char buffer[64] = {};
        ssize_t result = node.ReadAttr("META:address", B_STRING_TYPE, c.offset, buffer, c.length);
        EXPECT_EQ(result, c.result) << c.offset << "+" << c.length;
        if (result > 0) {
            EXPECT_EQ(std::string(buffer, result), c.bytes) << c.offset << "+" << c.length;
        }
    }
}

TEST_F(AttributeTest, MissingAttributesAndBadCalls)
{
    BNode node(PathOf("person").c_str());
    char buffer[8] = {'u', 'n', 't', 'o', 'u', 'c', 'h', 0};
    EXPECT_EQ(node.ReadAttr("META:firstname", B_STRING_TYPE, 0, buffer, 7), B_ENTRY_NOT_FOUND);
    EXPECT_STREQ(buffer, "untouch");
    EXPECT_EQ(node.ReadAttr(nullptr, B_STRING_TYPE, 0, buffer, 7), B_BAD_VALUE);
    EXPECT_EQ(node.WriteAttr("x", B_STRING_TYPE, 4, "abc", 3), B_NOT_SUPPORTED);
    EXPECT_EQ(node.RemoveAttr("never-written"), B_ENTRY_NOT_FOUND);
    std::string longName(300, 'n');
    EXPECT_EQ(node.ReadAttr(longName.c_str(), B_STRING_TYPE, 0, buffer, 7), B_NAME_TOO_LONG);

    BNode unopened;
    EXPECT_EQ(unopened.ReadAttr("META:zip", B_STRING_TYPE, 0, buffer, 7), B_FILE_ERROR);
    EXPECT_EQ(BNode(PathOf("missing").c_str()).InitCheck(), B_ENTRY_NOT_FOUND);
}

TEST_F(AttributeTest, RemoveAndReplace)
{
    BNode node(PathOf("person").c_str());
    ASSERT_EQ(node.WriteAttr("META:lastname", B_STRING_TYPE, 0, "Longername", 10), 10);
    ASSERT_EQ(node.WriteAttr("META:lastname", B_STRING_TYPE, 0, "Kim", 3), 3);
    EXPECT_EQ(RawAttr("person", "user.META:lastname"), "Kim");
    EXPECT_EQ(node.RemoveAttr("META:lastname"), B_OK);
    EXPECT_EQ(RawAttr("person", "user.META:lastname"), "<none>");
}

TEST_F(AttributeTest, UnreadableFilesStillOpenAsNodes)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    WriteFile("secret", "s");
    ASSERT_EQ(chmod(PathOf("secret").c_str(), 0), 0);
    BNode node(PathOf("secret").c_str());
    EXPECT_EQ(node.InitCheck(), B_OK);
    char buffer[4];
    EXPECT_EQ(node.ReadAttr("META:zip", B_STRING_TYPE, 0, buffer, 4), B_PERMISSION_DENIED);
}

TEST_F(AttributeTest, SetTypeWritesTheFreedesktopAttribute)
{
    BFile file(PathOf("person").c_str(), B_READ_WRITE);
    BAppFileInfo info(&file);
    ASSERT_EQ(info.InitCheck(), B_OK);
    EXPECT_EQ(info.SetType("image/png"), B_OK);
    // Written without the NUL, as file managers expect.
    EXPECT_EQ(RawAttr("person", "user.mime_type"), "image/png");

    char type[B_MIME_TYPE_LENGTH];
    ASSERT_EQ(info.GetType(type), B_OK);
    EXPECT_STREQ(type, "image/png");

    EXPECT_EQ(info.SetType(""), B_BAD_VALUE);
    EXPECT_EQ(info.SetType("bad type"), B_BAD_VALUE);
    EXPECT_EQ(info.SetType(std::string(300, 'a').c_str()), B_BAD_VALUE);
    EXPECT_EQ(RawAttr("person", "user.mime_type"), "image/png");

    EXPECT_EQ(info.SetType(nullptr), B_OK);
    EXPECT_EQ(RawAttr("person", "user.mime_type"), "<none>");
    EXPECT_EQ(info.GetType(type), B_ENTRY_NOT_FOUND);
}

TEST_F(AttributeTest, SetTypeOnAReadOnlyFileAndBadFiles)
{
    BFile file(PathOf("person").c_str(), B_READ_ONLY);
    BAppFileInfo info(&file);
    EXPECT_EQ(info.SetType("image/x-targa"), B_OK);
    EXPECT_EQ(RawAttr("person", "user.mime_type"), "image/x-targa");

    BFile unopened;
    EXPECT_EQ(BAppFileInfo(&unopened).InitCheck(), B_NO_INIT);
    EXPECT_EQ(BAppFileInfo(nullptr).InitCheck(), B_BAD_VALUE);
    BAppFileInfo none;
    EXPECT_EQ(none.SetType("image/png"), B_NO_INIT);
}

TEST_F(AttributeTest, OverlongStoredTypeIsNotCutShort)
{
    std::string longType = "image/" + std::string(300, 'x');
    ASSERT_EQ(
        setxattr(PathOf("person").c_str(), "user.mime_type", longType.data(), longType.size(), 0),
        0);
    BFile file(PathOf("person").c_str(), B_READ_ONLY);
    BAppFileInfo info(&file);
    char type[B_MIME_TYPE_LENGTH] = "unchanged";
    EXPECT_EQ(info.GetType(type), B_BAD_DATA);
    EXPECT_STREQ(type, "unchanged");
}

} // namespace
