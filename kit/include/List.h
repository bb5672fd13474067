#ifndef _LIST_H
#define _LIST_H

#include <SupportDefs.h>

// An ordered list of untyped pointers. The list never owns what it points to.
class BList
{
public:
    BList(int32 blockSize = 20);
    BList(const BList& other);
    virtual ~BList();

    BList& operator=(const BList& other);

    bool AddItem(void* item);
    bool AddItem(void* item, int32 index);
    bool AddList(const BList* list);
    bool AddList(const BList* list, int32 index);

    bool RemoveItem(void* item);
    void* RemoveItem(int32 index);
    bool RemoveItems(int32 index, int32 count);
    bool ReplaceItem(int32 index, void* item);
    void MakeEmpty();

    void SortItems(int (*compare)(const void*, const void*));
    bool SwapItems(int32 indexA, int32 indexB);
    bool MoveItem(int32 fromIndex, int32 toIndex);

    void* ItemAt(int32 index) const;
    void* FirstItem() const;
    void* LastItem() const;
    void* Items() const;

    bool HasItem(const void* item) const;
    int32 IndexOf(const void* item) const;
    int32 CountItems() const;
    bool IsEmpty() const;

    void DoForEach(bool (*func)(void* item));
    void DoForEach(bool (*func)(void* item, void* arg), void* arg);

private:
    bool _ResizeArray(int32 count);

    void** fObjectList;
    int32 fPhysicalSize;
    int32 fItemCount;
    int32 fBlockSize;
};

#endif
