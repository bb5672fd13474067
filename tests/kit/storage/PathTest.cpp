#include <Entry.h>
#include <Path.h>

#include "TempDir.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(PathTest, PathsAreNormalisedByText)
{
    struct Case
    {
        const char* dir;
        const char* leaf;
        const char* expected;
    };
    const Case cases[] = {
        {"/a/b", nullptr, "/a/b"}, {"/a//b/", nullptr, "/a/b"}, {"/a/./b/../c", nullptr, "/a/c"},
        {"/a", "b/c", "/a/b/c"},   {"/", nullptr, "/"},         {"/..", "x", "/x"},
        {"/a/b", "../../..", "/"},
    };
    for (const Case& c : cases) {
        BPath path(c.dir, c.leaf);
        ASSERT_EQ(path.InitCheck(), B_OK) << c.dir;
        EXPECT_STREQ(path.Path(), c.expected) << c.dir;
    }
}

TEST(PathTest, BadArgumentsAreRefused)
{
    EXPECT_EQ(BPath("").InitCheck(), B_BAD_VALUE);
    EXPECT_EQ(BPath((const char*)nullptr).InitCheck(), B_BAD_VALUE);
    EXPECT_EQ(BPath("/a", "/b").InitCheck(), B_BAD_VALUE);
    BPath unset;
    EXPECT_EQ(unset.InitCheck(), B_NO_INIT);
    EXPECT_EQ(unset.Path(), nullptr);
    EXPECT_EQ(unset.Leaf(), nullptr);
    entry_ref empty;
    EXPECT_EQ(BPath(&empty).InitCheck(), B_BAD_VALUE);
}

TEST(PathTest, LeafParentAndAppend)
{
    BPath path("/usr/share/pixmaps");
    EXPECT_STREQ(path.Leaf(), "pixmaps");
    BPath parent;
    ASSERT_EQ(path.GetParent(&parent), B_OK);
    EXPECT_STREQ(parent.Path(), "/usr/share");
    ASSERT_EQ(path.Append("icons/x.png"), B_OK);
    EXPECT_STREQ(path.Path(), "/usr/share/pixmaps/icons/x.png");
    EXPECT_EQ(path.Append("/abs"), B_BAD_VALUE);

    BPath root("/");
    EXPECT_STREQ(root.Leaf(), "");
    EXPECT_EQ(root.GetParent(&parent), B_ENTRY_NOT_FOUND);
    ASSERT_EQ(BPath("/top").GetParent(&parent), B_OK);
    EXPECT_STREQ(parent.Path(), "/");
}

TEST(PathTest, FromReferenceAndComparison)
{
    entry_ref ref("/tmp/dir", "f.tga");
    BPath path(&ref);
    EXPECT_STREQ(path.Path(), "/tmp/dir/f.tga");
    EXPECT_TRUE(path == "/tmp/dir/f.tga");
    BPath copy = path;
    EXPECT_TRUE(copy == path);
    copy = "/tmp/other";
    EXPECT_TRUE(copy != path);
}

class NormalizedPathTest : public TempDirTest
{};

TEST_F(NormalizedPathTest, NormalizeResolvesLinkedDirectoriesButNotTheLeaf)
{
    ASSERT_EQ(mkdir(PathOf("real").c_str(), 0755), 0);
    ASSERT_EQ(symlink("real", PathOf("alias").c_str()), 0);
    ASSERT_EQ(symlink("elsewhere", PathOf("real/leaflink").c_str()), 0);
    BPath path(PathOf("alias").c_str(), "leaflink", true);
    ASSERT_EQ(path.InitCheck(), B_OK);
    EXPECT_EQ(std::string(path.Path()), PathOf("real/leaflink"));
    BPath plain(PathOf("alias").c_str(), "leaflink");
    EXPECT_EQ(std::string(plain.Path()), PathOf("alias/leaflink"));
}

} // namespace
