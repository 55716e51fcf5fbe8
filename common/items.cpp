#include "items.h"

#include <cstdlib>

#include "text.h"

namespace {
Item *items[ITEM_MAX];
int itemCount;

const Item *At(int index)
{
    return index >= 0 && index < itemCount ? items[index] : nullptr;
}
}  // namespace

int AddItem(const char *title, const char *path, const char *detail, const char *info, int type,
            int qualifier)
{
    if (itemCount >= ITEM_MAX) return 0;
    Item *item = (Item *)calloc(1, sizeof(Item));
    if (!item) return 0;
    CopyTextCut(item->title, sizeof item->title, title);
    CopyTextCut(item->path, sizeof item->path, path);
    CopyTextCut(item->detail, sizeof item->detail, detail);
    CopyTextCut(item->info, sizeof item->info, info);
    item->type = type;
    item->qualifier = qualifier;
    items[itemCount++] = item;
    return 1;
}

void FreeItems(void)
{
    for (int i = 0; i < itemCount; i++) {
        free(items[i]);
        items[i] = nullptr;
    }
    itemCount = 0;
}

int ItemCount(void)
{
    return itemCount;
}

const char *GetItemTitle(int index) { const Item *i = At(index); return i ? i->title : ""; }
const char *GetItemPath(int index) { const Item *i = At(index); return i ? i->path : ""; }
const char *GetItemDetail(int index) { const Item *i = At(index); return i ? i->detail : ""; }
const char *GetItemInfo(int index) { const Item *i = At(index); return i ? i->info : ""; }
int GetItemType(int index) { const Item *i = At(index); return i ? i->type : 0; }
int GetItemQualifier(int index) { const Item *i = At(index); return i ? i->qualifier : 0; }
