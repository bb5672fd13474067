#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <Path.h>

#include "TempDir.h"

#include <sys/stat.h>

namespace {

class DirectoryTest : public TempDirTest
{};

TEST_F(DirectoryTest, CreateFileRefusesNamesThatAreNotOneComponent)
{
    BDirectory dir(fDir.c_str());
    ASSERT_EQ(dir.InitCheck(), B_OK);
    struct Case
    {
        const char* name;
        status_t status;
    };
    const Case cases[] = {
        {"", B_BAD_VALUE},
        {".", B_BAD_VALUE},
        {"..", B_BAD_VALUE},
        {"a/b", B_BAD_VALUE},
        {"/etc/passwd", B_BAD_VALUE},
        {"../escape", B_BAD_VALUE},
        {nullptr, B_BAD_VALUE},
        {"ok.png", B_OK},
        {"..hidden", B_OK},
        {"sp ace", B_OK},
    };
    for (const Case& c : cases) {
        BFile file;
        EXPECT_EQ(dir.CreateFile(c.name, &file), c.status) << (c.name ? c.name : "null");
        EXPECT_EQ(file.InitCheck() == B_OK, c.status == B_OK);
        if (c.status == B_OK) {
            EXPECT_TRUE(file.IsWritable());
            EXPECT_EQ(file.Write("data", 4), 4);
            EXPECT_EQ(ReadFile(c.name), "data");
        }
    }
    EXPECT_FALSE(std::filesystem::exists(fDir + "/../escape"));
    EXPECT_FALSE(std::filesystem::exists(PathOf("a")));
}

TEST_F(DirectoryTest, CreateFileTruncatesOrFailsOnExistingFiles)
{
    WriteFile("old", "old contents");
    BDirectory dir(fDir.c_str());
    BFile file;
    EXPECT_EQ(dir.CreateFile("old", &file, true), B_FILE_EXISTS);
    EXPECT_EQ(file.InitCheck(), B_FILE_EXISTS);
    EXPECT_EQ(ReadFile("old"), "old contents");
    EXPECT_EQ(dir.CreateFile("old", &file, false), B_OK);
    off_t size = -1;
    EXPECT_EQ(file.GetSize(&size), B_OK);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(ReadFile("old"), "");
    EXPECT_EQ(dir.CreateFile("nofile", nullptr), B_OK);
    EXPECT_TRUE(std::filesystem::exists(PathOf("nofile")));
}

TEST_F(DirectoryTest, NewFilesHonourTheUmask)
{
    mode_t old = umask(022);
    BDirectory dir(fDir.c_str());
    BFile file;
    ASSERT_EQ(dir.CreateFile("masked", &file), B_OK);
    umask(old);
    struct stat st;
    ASSERT_EQ(stat(PathOf("masked").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(DirectoryTest, OpensByReferenceAndRefusesOtherNodes)
{
    std::string parent = std::filesystem::path(fDir).parent_path().string();
    std::string leaf = std::filesystem::path(fDir).filename().string();
    entry_ref ref(parent.c_str(), leaf.c_str());
    BDirectory dir(&ref);
    ASSERT_EQ(dir.InitCheck(), B_OK);
    EXPECT_STREQ(dir.Path(), fDir.c_str());

    WriteFile("plain", "x");
    EXPECT_EQ(BDirectory(PathOf("plain").c_str()).InitCheck(), B_NOT_A_DIRECTORY);
    EXPECT_EQ(BDirectory(PathOf("missing").c_str()).InitCheck(), B_ENTRY_NOT_FOUND);
    entry_ref unset;
    BDirectory none(&unset);
    EXPECT_EQ(none.InitCheck(), B_BAD_VALUE);
    BFile file;
    EXPECT_NE(none.CreateFile("x", &file), B_OK);
    EXPECT_NE(file.InitCheck(), B_OK);
}

TEST_F(DirectoryTest, ContainsLooksBelowTheDirectoryOnly)
{
    BDirectory dir(fDir.c_str());
    ASSERT_EQ(dir.CreateDirectory("sub", nullptr), B_OK);
    WriteFile("sub/deep.png", "d");
    WriteFile("top.png", "t");
    EXPECT_TRUE(dir.Contains("top.png"));
    EXPECT_TRUE(dir.Contains("sub/deep.png"));
    EXPECT_TRUE(dir.Contains(PathOf("sub/deep.png").c_str()));
    EXPECT_TRUE(dir.Contains("sub", B_DIRECTORY_NODE));
    EXPECT_FALSE(dir.Contains("sub", B_FILE_NODE));
    EXPECT_FALSE(dir.Contains("missing.png"));
    EXPECT_FALSE(dir.Contains("../"));
    EXPECT_FALSE(dir.Contains("/etc/hostname"));

    BDirectory sub;
    ASSERT_EQ(dir.CreateDirectory("other", &sub), B_OK);
    EXPECT_EQ(std::string(sub.Path()), PathOf("other"));
    EXPECT_EQ(dir.CreateDirectory("other", nullptr), B_FILE_EXISTS);

    BEntry entry;
    ASSERT_EQ(sub.GetEntry(&entry), B_OK);
    EXPECT_TRUE(entry.IsDirectory());
    EXPECT_STREQ(entry.Name(), "other");
}

TEST_F(DirectoryTest, CopiesShareNoDescriptor)
{
    BDirectory dir(fDir.c_str());
    BDirectory copy(dir);
    dir.Unset();
    EXPECT_EQ(dir.InitCheck(), B_NO_INIT);
    BFile file;
    EXPECT_EQ(copy.CreateFile("fromcopy", &file), B_OK);
}

} // namespace
