#include "TempDir.h"

#include <ReplacementFile.h>

#include <filesystem>
#include <sys/stat.h>

namespace {

class ReplacementFileTest : public TempDirTest
{
protected:
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(fDir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    mode_t ModeOf(const std::string& name) const
    {
        struct stat st;
        return stat(PathOf(name).c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }
};

// One row per way a replacement can end: what was there, whether the new
// bytes are committed, and what the folder holds afterwards.
struct EndingCase
{
    const char* name;
    const char* existing; // nullptr: no file at first
    mode_t existingMode;
    bool commit;
    const char* expected; // the target's bytes afterwards; nullptr: none
    mode_t expectedMode;  // 0: 0666 less the umask
};

void PrintTo(const EndingCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReplacementFileEndings : public ReplacementFileTest,
                               public testing::WithParamInterface<EndingCase>
{};

TEST_P(ReplacementFileEndings, TheTargetIsWholeOldOrWholeNew)
{
    const EndingCase& c = GetParam();
    if (c.existing != nullptr) {
        WriteFile("picture.png", c.existing);
        chmod(PathOf("picture.png").c_str(), c.existingMode);
    }
    {
        BPrivate::ReplacementFile file;
        ASSERT_EQ(file.Open(fDir, "picture.png"), B_OK);
        EXPECT_EQ(file.TargetPath(), PathOf("picture.png"));
        ASSERT_EQ(file.File()->WriteExactly("new bytes", 9), B_OK);
        // Until committed, the old file is untouched and the new one has no
        // name in the folder.
        EXPECT_EQ(ReadFile("picture.png"), c.existing ? c.existing : "");
        EXPECT_EQ(file.TemporaryPath(), "");
        EXPECT_EQ(Names(), c.existing ? std::vector<std::string>{"picture.png"}
                                      : std::vector<std::string>{});
        if (c.commit) {
            ASSERT_EQ(file.Commit(), B_OK);
        }
    }
    if (c.expected == nullptr) {
        EXPECT_TRUE(Names().empty());
        return;
    }
    EXPECT_EQ(Names(), std::vector<std::string>{"picture.png"});
    EXPECT_EQ(ReadFile("picture.png"), c.expected);
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(ModeOf("picture.png"), c.expectedMode ? c.expectedMode : 0666 & ~mask);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, ReplacementFileEndings,
    testing::Values(EndingCase{"NewFile", nullptr, 0, true, "new bytes", 0},
                    EndingCase{"ReplacedKeepsItsPermissions", "old", 0600, true, "new bytes", 0600},
                    EndingCase{"ReplacedReadOnlyFile", "old", 0444, true, "new bytes", 0444},
                    EndingCase{"AbandonedLeavesTheOldFile", "old", 0640, false, "old", 0640},
                    EndingCase{"AbandonedLeavesNothingNew", nullptr, 0, false, nullptr, 0}),
    [](const testing::TestParamInfo<EndingCase>& info) { return info.param.name; });

TEST_F(ReplacementFileTest, NamesThatAreNotPlainAreRefused)
{
    for (const char* name : {"", ".", "..", "a/b", "../escaped.png"}) {
        BPrivate::ReplacementFile file;
        EXPECT_EQ(file.Open(fDir, name), B_BAD_VALUE) << name;
    }
    EXPECT_TRUE(Names().empty());
}

TEST_F(ReplacementFileTest, AMissingFolderIsAnError)
{
    BPrivate::ReplacementFile file;
    EXPECT_NE(file.Open(PathOf("missing"), "picture.png"), B_OK);
    EXPECT_NE(file.Commit(), B_OK);
}

TEST_F(ReplacementFileTest, ALongNameStillGetsAHiddenFileBesideIt)
{
    std::string name(250, 'n');
    name += ".png";
    BPrivate::ReplacementFile file;
    ASSERT_EQ(file.Open(fDir, name), B_OK);
    ASSERT_EQ(file.File()->WriteExactly("x", 1), B_OK);
    ASSERT_EQ(file.Commit(), B_OK);
    EXPECT_EQ(Names(), std::vector<std::string>{name});
}

TEST_F(ReplacementFileTest, AFailedRenameLeavesNothingBehind)
{
    // A folder where the file should go cannot be replaced by a file.
    std::filesystem::create_directory(PathOf("picture.png"));
    BPrivate::ReplacementFile file;
    EXPECT_EQ(file.Open(fDir, "picture.png"), B_IS_A_DIRECTORY);
    EXPECT_NE(file.Commit(), B_OK);
    EXPECT_EQ(Names(), std::vector<std::string>{"picture.png"});
    EXPECT_TRUE(std::filesystem::is_directory(PathOf("picture.png")));
}

} // namespace
