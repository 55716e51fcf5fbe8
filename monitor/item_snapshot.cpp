#include "item_snapshot.h"

#include <cstdlib>

ItemSnapshot::ItemSnapshot(int (*keep)(const Item &record))
{
    int listed = ItemCount();
    if (listed <= 0) return;
    records = (Item *)calloc((size_t)listed, sizeof(Item));
    if (!records) return;
    for (int i = 0; i < listed; i++) {
        const Item *item = GetItem(i);
        if (item && (!keep || keep(*item)) && CopyItemRecord(&records[count], item)) count++;
    }
}

ItemSnapshot::~ItemSnapshot()
{
    for (int i = 0; i < count; i++) ReleaseItemCopy(&records[i]);
    free(records);
}
