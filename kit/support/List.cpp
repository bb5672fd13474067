#include <List.h>

#include <cstdlib>
#include <cstring>

BList::BList(int32 blockSize)
    : fObjectList(nullptr), fPhysicalSize(0), fItemCount(0),
      fBlockSize(blockSize > 0 ? blockSize : 1)
{}

BList::BList(const BList& other)
    : fObjectList(nullptr), fPhysicalSize(0), fItemCount(0), fBlockSize(other.fBlockSize)
{
    *this = other;
}

BList::~BList()
{
    free(fObjectList);
}

BList& BList::operator=(const BList& other)
{
    if (this == &other)
        return *this;
    fBlockSize = other.fBlockSize;
    if (_ResizeArray(other.fItemCount)) {
        fItemCount = other.fItemCount;
        if (fItemCount > 0)
            memcpy(fObjectList, other.fObjectList, fItemCount * sizeof(void*));
    } else {
        fItemCount = 0;
    }
    return *this;
}

bool BList::AddItem(void* item)
{
    return AddItem(item, fItemCount);
}

bool BList::AddItem(void* item, int32 index)
{
    if (index < 0 || index > fItemCount || fItemCount == INT32_MAX)
        return false;
    if (!_ResizeArray(fItemCount + 1))
        return false;
    memmove(fObjectList + index + 1, fObjectList + index, (fItemCount - index) * sizeof(void*));
    fObjectList[index] = item;
    fItemCount++;
    return true;
}

bool BList::AddList(const BList* list)
{
    return list != nullptr && AddList(list, fItemCount);
}

bool BList::AddList(const BList* list, int32 index)
{
    if (list == nullptr || index < 0 || index > fItemCount)
        return false;
    int32 count = list->fItemCount;
    if (count == 0)
        return true;
    if (count > INT32_MAX - fItemCount)
        return false;
    // The source may be this very list, so its items are taken before the array moves.
    void** items = static_cast<void**>(malloc(count * sizeof(void*)));
    if (items == nullptr)
        return false;
    memcpy(items, list->fObjectList, count * sizeof(void*));
    bool resized = _ResizeArray(fItemCount + count);
    if (resized) {
        memmove(fObjectList + index + count, fObjectList + index,
                (fItemCount - index) * sizeof(void*));
        memcpy(fObjectList + index, items, count * sizeof(void*));
        fItemCount += count;
    }
    free(items);
    return resized;
}

bool BList::RemoveItem(void* item)
{
    int32 index = IndexOf(item);
    if (index < 0)
        return false;
    RemoveItem(index);
    return true;
}

void* BList::RemoveItem(int32 index)
{
    if (index < 0 || index >= fItemCount)
        return nullptr;
    void* item = fObjectList[index];
    RemoveItems(index, 1);
    return item;
}

bool BList::RemoveItems(int32 index, int32 count)
{
    if (index < 0 || index >= fItemCount || count < 0)
        return false;
    if (count > fItemCount - index)
        count = fItemCount - index;
    memmove(fObjectList + index, fObjectList + index + count,
            (fItemCount - index - count) * sizeof(void*));
    fItemCount -= count;
    return true;
}

bool BList::ReplaceItem(int32 index, void* item)
{
    if (index < 0 || index >= fItemCount)
        return false;
    fObjectList[index] = item;
    return true;
}

void BList::MakeEmpty()
{
    free(fObjectList);
    fObjectList = nullptr;
    fPhysicalSize = 0;
    fItemCount = 0;
}

void BList::SortItems(int (*compare)(const void*, const void*))
{
    // As on the platform, the comparison receives pointers to the list's slots.
    if (compare != nullptr && fItemCount > 1)
        qsort(fObjectList, fItemCount, sizeof(void*), compare);
}

bool BList::SwapItems(int32 indexA, int32 indexB)
{
    if (indexA < 0 || indexA >= fItemCount || indexB < 0 || indexB >= fItemCount)
        return false;
    void* item = fObjectList[indexA];
    fObjectList[indexA] = fObjectList[indexB];
    fObjectList[indexB] = item;
    return true;
}

bool BList::MoveItem(int32 fromIndex, int32 toIndex)
{
    if (fromIndex < 0 || fromIndex >= fItemCount || toIndex < 0 || toIndex >= fItemCount)
        return false;
    void* item = fObjectList[fromIndex];
    if (fromIndex < toIndex) {
        memmove(fObjectList + fromIndex, fObjectList + fromIndex + 1,
                (toIndex - fromIndex) * sizeof(void*));
    } else if (fromIndex > toIndex) {
        memmove(fObjectList + toIndex + 1, fObjectList + toIndex,
                (fromIndex - toIndex) * sizeof(void*));
    }
    fObjectList[toIndex] = item;
    return true;
}

void* BList::ItemAt(int32 index) const
{
    if (index < 0 || index >= fItemCount)
        return nullptr;
    return fObjectList[index];
}

void* BList::FirstItem() const
{
    return ItemAt(0);
}

void* BList::LastItem() const
{
    return ItemAt(fItemCount - 1);
}

void* BList::Items() const
{
    return fObjectList;
}

bool BList::HasItem(const void* item) const
{
    return IndexOf(item) >= 0;
}

int32 BList::IndexOf(const void* item) const
{
    for (int32 i = 0; i < fItemCount; i++) {
        if (fObjectList[i] == item)
            return i;
    }
    return -1;
}

int32 BList::CountItems() const
{
    return fItemCount;
}

bool BList::IsEmpty() const
{
    return fItemCount == 0;
}

void BList::DoForEach(bool (*func)(void* item))
{
    if (func == nullptr)
        return;
    for (int32 i = 0; i < fItemCount; i++) {
        if (func(fObjectList[i]))
            break;
    }
}

void BList::DoForEach(bool (*func)(void* item, void* arg), void* arg)
{
    if (func == nullptr)
        return;
    for (int32 i = 0; i < fItemCount; i++) {
        if (func(fObjectList[i], arg))
            break;
    }
}

// The array grows in whole blocks so that a run of AddItem calls reallocates rarely.
bool BList::_ResizeArray(int32 count)
{
    if (count <= fPhysicalSize)
        return true;
    int64 blocks = ((int64)count + fBlockSize - 1) / fBlockSize;
    int64 newSize = blocks * fBlockSize;
    if (newSize > INT32_MAX)
        newSize = INT32_MAX;
    void** list = static_cast<void**>(realloc(fObjectList, (size_t)newSize * sizeof(void*)));
    if (list == nullptr)
        return false;
    fObjectList = list;
    fPhysicalSize = (int32)newSize;
    return true;
}
