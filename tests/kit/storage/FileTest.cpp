#include <Entry.h>
#include <File.h>

#include "TempDir.h"

#include <sys/stat.h>

namespace {

class FileTest : public TempDirTest
{};

TEST_F(FileTest, UnopenedFileRefusesEverything)
{
    BFile file;
    EXPECT_EQ(file.InitCheck(), B_NO_INIT);
    EXPECT_FALSE(file.IsReadable());
    EXPECT_FALSE(file.IsWritable());
    char c;
    EXPECT_LT(file.Read(&c, 1), 0);
    EXPECT_LT(file.Write(&c, 1), 0);
    EXPECT_LT(file.Seek(0, SEEK_SET), 0);
    off_t size;
    EXPECT_LT(file.GetSize(&size), 0);
}

TEST_F(FileTest, OpenModesDecideAccess)
{
    WriteFile("data", "0123456789");
    struct Case
    {
        uint32 mode;
        status_t status;
        bool readable;
        bool writable;
    };
    const Case cases[] = {
        {B_READ_ONLY, B_OK, true, false},
        {B_WRITE_ONLY, B_OK, false, true},
        {B_READ_WRITE, B_OK, true, true},
        // Bits other than the open flags (the platform's O_BINARY is 0x8000) are ignored.
        {0x8000, B_OK, true, false},
        {B_READ_WRITE | B_CREATE_FILE | B_FAIL_IF_EXISTS, B_FILE_EXISTS, false, false},
    };
    for (const Case& c : cases) {
        BFile file(PathOf("data").c_str(), c.mode);
        EXPECT_EQ(file.InitCheck(), c.status) << c.mode;
        EXPECT_EQ(file.IsReadable(), c.readable) << c.mode;
        EXPECT_EQ(file.IsWritable(), c.writable) << c.mode;
    }
    EXPECT_EQ(ReadFile("data"), "0123456789");
}

TEST_F(FileTest, ReadsWritesSeeksAndResizes)
{
    BFile file(PathOf("new").c_str(), B_READ_WRITE | B_CREATE_FILE);
    ASSERT_EQ(file.InitCheck(), B_OK);
    EXPECT_EQ(file.Write("hello world", 11), 11);
    EXPECT_EQ(file.Position(), 11);
    EXPECT_EQ(file.WriteAt(0, "J", 1), 1);
    EXPECT_EQ(file.Position(), 11);
    EXPECT_EQ(file.Seek(-5, SEEK_END), 6);
    char buffer[16] = {};
    EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 5);
    EXPECT_STREQ(buffer, "world");
    EXPECT_EQ(file.ReadAt(1, buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "ello");
    EXPECT_EQ(file.ReadAt(-1, buffer, 1), B_BAD_VALUE);
    EXPECT_EQ(file.Seek(-1, SEEK_SET), B_BAD_VALUE);
    EXPECT_EQ(file.Seek(0, 9), B_BAD_VALUE);

    EXPECT_EQ(file.SetSize(5), B_OK);
    off_t size = 0;
    EXPECT_EQ(file.GetSize(&size), B_OK);
    EXPECT_EQ(size, 5);
    EXPECT_EQ(ReadFile("new"), "Jello");
}

TEST_F(FileTest, ReadOnlyFileRefusesWrites)
{
    WriteFile("ro", "abc");
    BFile file(PathOf("ro").c_str(), B_READ_ONLY);
    EXPECT_EQ(file.Write("x", 1), B_PERMISSION_DENIED);
    EXPECT_EQ(file.WriteAt(0, "x", 1), B_PERMISSION_DENIED);
    EXPECT_EQ(file.SetSize(0), B_PERMISSION_DENIED);
    EXPECT_EQ(ReadFile("ro"), "abc");
}

TEST_F(FileTest, EraseAndAppendModes)
{
    WriteFile("log", "first");
    {
        BFile file(PathOf("log").c_str(), B_WRITE_ONLY | B_OPEN_AT_END);
        EXPECT_EQ(file.Write("+second", 7), 7);
    }
    EXPECT_EQ(ReadFile("log"), "first+second");
    {
        BFile file(PathOf("log").c_str(), B_WRITE_ONLY | B_ERASE_FILE);
        EXPECT_EQ(file.Write("new", 3), 3);
    }
    EXPECT_EQ(ReadFile("log"), "new");
}

TEST_F(FileTest, OpensByReferenceAndRefusesDirectoriesAndMissingFiles)
{
    WriteFile("pic", "PIC");
    entry_ref ref(fDir.c_str(), "pic");
    BFile file(&ref, B_READ_ONLY);
    char buffer[4] = {};
    EXPECT_EQ(file.Read(buffer, 3), 3);
    EXPECT_STREQ(buffer, "PIC");

    EXPECT_EQ(BFile(fDir.c_str(), B_READ_ONLY).InitCheck(), B_IS_A_DIRECTORY);
    EXPECT_EQ(BFile(PathOf("missing").c_str(), B_READ_ONLY).InitCheck(), B_ENTRY_NOT_FOUND);
    entry_ref unset;
    EXPECT_EQ(BFile(&unset, B_READ_ONLY).InitCheck(), B_BAD_VALUE);
    EXPECT_EQ(BFile(PathOf("pic").c_str(), O_WRONLY | O_RDWR | 1).InitCheck(), B_BAD_VALUE);
}

TEST_F(FileTest, ReferencesLongerThanThePlatformLimitStillOpen)
{
    std::string dir = fDir;
    while (dir.size() < 1500) {
        dir += "/" + std::string(100, 'd');
        ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    }
    std::ofstream(dir + "/deep.txt") << "deep";
    entry_ref ref(dir.c_str(), "deep.txt");
    BFile file(&ref, B_READ_ONLY);
    ASSERT_EQ(file.InitCheck(), B_OK);
    char buffer[5] = {};
    EXPECT_EQ(file.Read(buffer, 4), 4);
    EXPECT_STREQ(buffer, "deep");
}

TEST_F(FileTest, WorksAsAPositionStream)
{
    BFile file(PathOf("stream").c_str(), B_READ_WRITE | B_CREATE_FILE);
    BPositionIO* io = &file;
    EXPECT_EQ(io->Write("abcdef", 6), 6);
    EXPECT_EQ(io->Seek(2, SEEK_SET), 2);
    char buffer[3] = {};
    EXPECT_EQ(io->Read(buffer, 2), 2);
    EXPECT_EQ(std::string(buffer, 2), "cd");
    off_t size = 0;
    EXPECT_EQ(io->GetSize(&size), B_OK);
    EXPECT_EQ(size, 6);
}

} // namespace
