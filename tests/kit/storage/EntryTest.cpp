#include <Directory.h>
#include <Entry.h>
#include <Path.h>

#include "TempDir.h"

#include <unistd.h>

namespace {

class EntryTest : public TempDirTest
{};

std::string PathOfRef(const entry_ref& ref)
{
    char buffer[1024];
    return ref.get_path(buffer, sizeof(buffer)) ? buffer : "<unset>";
}

TEST_F(EntryTest, UnsetReferenceHasEmptyStrings)
{
    entry_ref ref;
    ASSERT_NE(ref.directory, nullptr);
    ASSERT_NE(ref.name, nullptr);
    EXPECT_STREQ(ref.directory, "");
    EXPECT_STREQ(ref.name, "");
    char buffer[16];
    EXPECT_FALSE(ref.get_path(buffer, sizeof(buffer)));

    entry_ref nulls(nullptr, nullptr);
    EXPECT_STREQ(nulls.directory, "");
    EXPECT_TRUE(nulls == ref);
}

TEST_F(EntryTest, ReferencesCopyCompareAndPrint)
{
    entry_ref ref("/some/dir", "file.png");
    entry_ref copy(ref);
    EXPECT_TRUE(copy == ref);
    EXPECT_EQ(PathOfRef(copy), "/some/dir/file.png");
    copy.set_name("other.png");
    EXPECT_TRUE(copy != ref);
    EXPECT_TRUE(ref < copy);
    ref = copy;
    EXPECT_STREQ(ref.name, "other.png");
    EXPECT_EQ(PathOfRef(entry_ref("/", "top")), "/top");

    char small[8];
    EXPECT_FALSE(ref.get_path(small, sizeof(small)));
}

TEST_F(EntryTest, SymbolicLinkIsNotTraversedUnlessAsked)
{
    WriteFile("target.png", "x");
    ASSERT_EQ(symlink("target.png", PathOf("link.png").c_str()), 0);

    BEntry link(PathOf("link.png").c_str());
    ASSERT_EQ(link.InitCheck(), B_OK);
    EXPECT_TRUE(link.IsSymLink());
    EXPECT_FALSE(link.IsFile());
    entry_ref ref;
    ASSERT_EQ(link.GetRef(&ref), B_OK);
    EXPECT_STREQ(ref.directory, fDir.c_str());
    EXPECT_STREQ(ref.name, "link.png");

    BEntry traversed(PathOf("link.png").c_str(), true);
    ASSERT_EQ(traversed.GetRef(&ref), B_OK);
    EXPECT_STREQ(ref.name, "target.png");
    EXPECT_TRUE(traversed.IsFile());
}

TEST_F(EntryTest, DanglingLinkTraversesToTheMissingTarget)
{
    ASSERT_EQ(symlink("gone.png", PathOf("dangling").c_str()), 0);
    BEntry entry(PathOf("dangling").c_str(), true);
    entry_ref ref;
    ASSERT_EQ(entry.GetRef(&ref), B_OK);
    EXPECT_EQ(PathOfRef(ref), PathOf("gone.png"));
    EXPECT_FALSE(entry.Exists());

    ASSERT_EQ(symlink("loop2", PathOf("loop1").c_str()), 0);
    ASSERT_EQ(symlink("loop1", PathOf("loop2").c_str()), 0);
    BEntry loop(PathOf("loop1").c_str(), true);
    EXPECT_EQ(loop.InitCheck(), B_LINK_LIMIT);
}

TEST_F(EntryTest, MissingEntriesStillGiveReferences)
{
    struct Case
    {
        std::string path;
        status_t initCheck;
        std::string refPath;
    };
    const Case cases[] = {
        {PathOf("missing.png"), B_OK, PathOf("missing.png")},
        {PathOf("no/such/dir/../pic.png"), B_ENTRY_NOT_FOUND, PathOf("no/such/pic.png")},
        {"/nonexistent-tavrin-dir/a//b/./c.gif", B_ENTRY_NOT_FOUND,
         "/nonexistent-tavrin-dir/a/b/c.gif"},
    };
    for (const Case& c : cases) {
        BEntry entry(c.path.c_str());
        EXPECT_EQ(entry.InitCheck(), c.initCheck) << c.path;
        EXPECT_FALSE(entry.Exists()) << c.path;
        entry_ref ref;
        EXPECT_EQ(entry.GetRef(&ref), B_OK) << c.path;
        EXPECT_EQ(PathOfRef(ref), c.refPath) << c.path;
    }
}

TEST_F(EntryTest, RelativePathsAndDotsAreResolved)
{
    ASSERT_EQ(mkdir(PathOf("sub").c_str(), 0755), 0);
    WriteFile("sub/a.png", "a");
    char* cwd = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(PathOf("sub").c_str()), 0);
    BEntry relative("a.png");
    BEntry dotted("../sub/./a.png");
    BEntry parent("..");
    ASSERT_EQ(chdir(cwd), 0);
    free(cwd);

    entry_ref ref;
    ASSERT_EQ(relative.GetRef(&ref), B_OK);
    EXPECT_EQ(PathOfRef(ref), PathOf("sub/a.png"));
    EXPECT_TRUE(relative.IsFile());
    EXPECT_TRUE(relative == dotted);
    BPath path;
    ASSERT_EQ(parent.GetPath(&path), B_OK);
    EXPECT_STREQ(path.Path(), fDir.c_str());
}

TEST_F(EntryTest, BadInputIsRefused)
{
    BEntry empty("");
    EXPECT_EQ(empty.InitCheck(), B_BAD_VALUE);
    entry_ref ref("/x", "y");
    EXPECT_EQ(empty.GetRef(&ref), B_BAD_VALUE);
    EXPECT_STREQ(ref.name, "y");
    BEntry null((const char*)nullptr);
    EXPECT_EQ(null.InitCheck(), B_BAD_VALUE);
    entry_ref unset;
    BEntry fromUnset(&unset);
    EXPECT_EQ(fromUnset.InitCheck(), B_BAD_VALUE);
    BEntry none;
    EXPECT_EQ(none.InitCheck(), B_NO_INIT);
    EXPECT_EQ(none.Name(), nullptr);
}

TEST_F(EntryTest, EntriesFromReferencesAndDirectories)
{
    WriteFile("pic.png", "p");
    entry_ref ref(fDir.c_str(), "pic.png");
    BEntry fromRef(&ref);
    EXPECT_TRUE(fromRef.IsFile());
    char name[B_FILE_NAME_LENGTH];
    ASSERT_EQ(fromRef.GetName(name), B_OK);
    EXPECT_STREQ(name, "pic.png");

    BDirectory dir(fDir.c_str());
    BEntry inDir(&dir, "pic.png");
    EXPECT_TRUE(inDir == fromRef);
    EXPECT_TRUE(inDir.Exists());
    ASSERT_EQ(inDir.Remove(), B_OK);
    EXPECT_FALSE(fromRef.Exists());

    entry_ref viaFunction;
    ASSERT_EQ(get_ref_for_path(PathOf("pic.png").c_str(), &viaFunction), B_OK);
    EXPECT_TRUE(viaFunction == ref);
}

TEST_F(EntryTest, RootIsItsOwnDirectory)
{
    BEntry root("/");
    ASSERT_EQ(root.InitCheck(), B_OK);
    EXPECT_TRUE(root.IsDirectory());
    BPath path;
    ASSERT_EQ(root.GetPath(&path), B_OK);
    EXPECT_STREQ(path.Path(), "/");
}

} // namespace
