#include <List.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Items are the addresses of these letters, so the list's order reads as a string.
char gLetters[] = "abcdefghijklmnopqrstuvwxyz";

void* Item(char letter)
{
    return &gLetters[letter - 'a'];
}

std::string Order(const BList& list)
{
    std::string order;
    for (int32 i = 0; i < list.CountItems(); i++)
        order += *static_cast<char*>(list.ItemAt(i));
    return order;
}

BList Make(const char* letters, int32 blockSize = 2)
{
    BList list(blockSize);
    for (const char* c = letters; *c != '\0'; c++)
        list.AddItem(Item(*c));
    return list;
}

TEST(ListTest, InsertsAtIndexWithinBounds)
{
    struct Case
    {
        int32 index;
        bool accepted;
        const char* order;
    };
    const Case cases[] = {
        {0, true, "xabc"}, {1, true, "axbc"},  {3, true, "abcx"},
        {4, false, "abc"}, {-1, false, "abc"},
    };
    for (const Case& c : cases) {
        BList list = Make("abc");
        EXPECT_EQ(list.AddItem(Item('x'), c.index), c.accepted) << c.index;
        EXPECT_EQ(Order(list), c.order) << c.index;
    }
}

TEST(ListTest, GrowsPastManyBlocks)
{
    BList list(3);
    for (int i = 0; i < 100; i++)
        ASSERT_TRUE(list.AddItem(Item('a' + i % 26)));
    EXPECT_EQ(list.CountItems(), 100);
    EXPECT_EQ(list.ItemAt(27), Item('b'));
    EXPECT_EQ(list.LastItem(), Item('a' + 99 % 26));
}

TEST(ListTest, RemovesByIndexAndByItem)
{
    BList list = Make("abcde");
    EXPECT_EQ(list.RemoveItem((int32)1), Item('b'));
    EXPECT_EQ(Order(list), "acde");
    EXPECT_TRUE(list.RemoveItem(Item('e')));
    EXPECT_EQ(Order(list), "acd");
    EXPECT_FALSE(list.RemoveItem(Item('z')));
    EXPECT_EQ(list.RemoveItem((int32)3), nullptr);
    EXPECT_EQ(list.RemoveItem((int32)-1), nullptr);
    EXPECT_EQ(Order(list), "acd");
}

TEST(ListTest, RemoveItemsClipsTheCount)
{
    struct Case
    {
        int32 index;
        int32 count;
        bool accepted;
        const char* order;
    };
    const Case cases[] = {
        {1, 2, true, "adef"},    {4, 10, true, "abcd"},    {0, 0, true, "abcdef"},
        {6, 1, false, "abcdef"}, {-1, 1, false, "abcdef"},
    };
    for (const Case& c : cases) {
        BList list = Make("abcdef");
        EXPECT_EQ(list.RemoveItems(c.index, c.count), c.accepted) << c.index;
        EXPECT_EQ(Order(list), c.order) << c.index;
    }
}

TEST(ListTest, ReadsOutsideTheListAnswerNull)
{
    BList list = Make("ab");
    EXPECT_EQ(list.ItemAt(-1), nullptr);
    EXPECT_EQ(list.ItemAt(2), nullptr);
    EXPECT_FALSE(list.ReplaceItem(2, Item('z')));
    EXPECT_TRUE(list.ReplaceItem(1, Item('z')));
    EXPECT_EQ(Order(list), "az");

    BList empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(empty.FirstItem(), nullptr);
    EXPECT_EQ(empty.LastItem(), nullptr);
    EXPECT_EQ(empty.IndexOf(Item('a')), -1);
}

TEST(ListTest, MovesSwapsAndSorts)
{
    BList list = Make("abcde");
    EXPECT_TRUE(list.MoveItem(0, 3));
    EXPECT_EQ(Order(list), "bcdae");
    EXPECT_TRUE(list.MoveItem(4, 0));
    EXPECT_EQ(Order(list), "ebcda");
    EXPECT_FALSE(list.MoveItem(0, 5));
    EXPECT_TRUE(list.SwapItems(0, 4));
    EXPECT_EQ(Order(list), "abcde");
    EXPECT_FALSE(list.SwapItems(-1, 2));

    BList shuffled = Make("dbeac");
    shuffled.SortItems([](const void* a, const void* b) {
        char left = **static_cast<char* const*>(a);
        char right = **static_cast<char* const*>(b);
        return left - right;
    });
    EXPECT_EQ(Order(shuffled), "abcde");
}

TEST(ListTest, AddsListsIncludingItself)
{
    BList list = Make("ab");
    BList other = Make("xy");
    EXPECT_TRUE(list.AddList(&other, 1));
    EXPECT_EQ(Order(list), "axyb");
    EXPECT_TRUE(list.AddList(&list));
    EXPECT_EQ(Order(list), "axybaxyb");
    EXPECT_FALSE(list.AddList(&other, 9));
    EXPECT_FALSE(list.AddList(nullptr));
}

TEST(ListTest, CopiesAreIndependent)
{
    BList list = Make("abc");
    BList copy(list);
    copy.AddItem(Item('d'));
    list.MakeEmpty();
    EXPECT_EQ(Order(copy), "abcd");
    EXPECT_EQ(list.CountItems(), 0);
    list = copy;
    EXPECT_EQ(Order(list), "abcd");
}

TEST(ListTest, DoForEachStopsWhenAsked)
{
    BList list = Make("abcde");
    std::string seen;
    list.DoForEach(
        [](void* item, void* arg) {
            auto* out = static_cast<std::string*>(arg);
            *out += *static_cast<char*>(item);
            return *static_cast<char*>(item) == 'c';
        },
        &seen);
    EXPECT_EQ(seen, "abc");
}

} // namespace
