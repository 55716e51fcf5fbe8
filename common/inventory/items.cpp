#include "items.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "options.h"
#include "program_files.h"
#include "text.h"
#include "ui_strings.h"

namespace {
Item *items[ITEM_MAX];
int itemCount;
int itemLimit = ITEM_MAX;
int itemsCut;

const int kMaxCookieMonitor = 315;
const int kMaxCookieExplorer = 4096;

const Item *At(int index)
{
    return index >= 0 && index < itemCount ? items[index] : nullptr;
}

int CookieLimit(void)
{
    if (settings.maxCookie > 0) return settings.maxCookie;
    return programKind == PROGRAM_EXPLORER ? kMaxCookieExplorer : kMaxCookieMonitor;
}

// The long form of a path, or the path itself (cut to the field) when it
// has none or is too long to convert.
void LongForm(char *out, size_t size, const char *path)
{
    if (!GetLongPath(out, path) && !out[0]) CopyTextCut(out, size, path);
}

void TitleFromPath(char *title, size_t size, const char *path)
{
    const char *slash = strrchr(path, '\\');
    const char *name = slash ? slash + 1 : path;
    size_t len = strlen(name);
    if (strlen(path) >= 4 && len > 4) len -= 4;   // without the extension and its dot
    CopyTextN(title, size, name, len);
}
}  // namespace

char *DuplicateText(const char *text)
{
    if (!text) return nullptr;
    size_t len = strlen(text);
    char *copy = (char *)malloc(len + 1);
    if (copy) memcpy(copy, text, len + 1);
    return copy;
}

int AddItem(const char *title, const char *path, const char *detail, const char *info, int type,
            int qualifier)
{
    ItemIdentity none = {nullptr, VIEW_NATIVE, 0, nullptr};
    return AddItemAs(none, title, path, detail, info, type, qualifier);
}

int AddItemAs(const ItemIdentity &identity, const char *title, const char *path, const char *detail,
              const char *info, int type, int qualifier)
{
    if (itemCount >= itemLimit) {
        itemsCut = 1;
        return 0;
    }
    if (type == ITEM_COOKIE && itemCount >= CookieLimit()) return 0;
    // The exact name lives in the record's own block: one allocation per
    // record keeps long lists quick to build.
    const char *name = identity.name ? identity.name : "";
    size_t nameSize = strlen(name) + 1;
    // Every field is written below: nothing needs clearing first.
    Item *item = (Item *)malloc(sizeof(Item) + nameSize);
    if (!item) return 0;
    item->name = (char *)(item + 1);
    memcpy(item->name, name, nameSize);
    item->mark = identity.mark ? DuplicateText(identity.mark) : nullptr;
    if (identity.mark && !item->mark) {
        free(item);
        return 0;
    }
    item->view = identity.view;
    item->disabled = identity.disabled;

    CopyTextCut(item->info, sizeof item->info, info);

    char unquoted[ITEM_PATH_SIZE];
    size_t n = 0;
    for (const char *c = path ? path : ""; *c && n < sizeof unquoted - 1; c++)
        if (*c != '"') unquoted[n++] = *c;
    unquoted[n] = 0;
    int longForms = n >= 4;
    if (longForms)
        LongForm(item->path, sizeof item->path, unquoted);
    else
        CopyText(item->path, sizeof item->path, unquoted);

    // A title is the entry's own, whatever it holds (a look-alike that
    // names itself after Sentrel is shown as it names itself).
    if (!title || !title[0])
        TitleFromPath(item->title, sizeof item->title, item->path);
    else
        CopyTextCut(item->title, sizeof item->title, title);

    if (longForms && detail && detail[0])
        LongForm(item->detail, sizeof item->detail, detail);
    else
        CopyTextCut(item->detail, sizeof item->detail, detail);

    item->type = type;
    item->qualifier = qualifier;
    items[itemCount++] = item;
    return 1;
}

void FreeItems(void)
{
    for (int i = 0; i < itemCount; i++) {
        free(items[i]->mark);   // the name is part of the record's block
        free(items[i]);
        items[i] = nullptr;
    }
    itemCount = 0;
    itemsCut = 0;
}

void SetItemLimit(int limit)
{
    itemLimit = limit > 0 && limit < ITEM_MAX ? limit : ITEM_MAX;
}

int ItemListCut(void)
{
    return itemsCut;
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
const char *GetItemName(int index) { const Item *i = At(index); return i ? i->name : ""; }
int GetItemView(int index) { const Item *i = At(index); return i ? i->view : 0; }
const Item *GetItem(int index) { return At(index); }

int CopyItemRecord(Item *dst, const Item *src)
{
    *dst = *src;
    dst->name = DuplicateText(src->name ? src->name : "");
    dst->mark = src->mark ? DuplicateText(src->mark) : nullptr;
    if (dst->name && (!src->mark || dst->mark)) return 1;
    ReleaseItemCopy(dst);
    memset(dst, 0, sizeof *dst);
    return 0;
}

void ReleaseItemCopy(Item *item)
{
    if (!item) return;
    free(item->name);
    free(item->mark);
    item->name = nullptr;
    item->mark = nullptr;
}

int SameEntry(const Item *a, const Item *b)
{
    return a && b && a->type == b->type && a->view == b->view &&
           TextEqualNoCase(a->name ? a->name : "", b->name ? b->name : "");
}

void HoldItemList(HeldItems *held)
{
    held->count = 0;
    held->records = nullptr;
    if (itemCount == 0) return;
    held->records = (Item **)malloc(sizeof(Item *) * (size_t)itemCount);
    if (!held->records) {
        // No room to hold them: they stay where they are and the report
        // replaces them.
        held->count = -1;
        return;
    }
    memcpy(held->records, items, sizeof(Item *) * (size_t)itemCount);
    held->count = itemCount;
    memset(items, 0, sizeof(Item *) * (size_t)itemCount);
    itemCount = 0;
}

void RestoreItemList(HeldItems *held)
{
    if (held->count < 0) return;
    FreeItems();
    if (held->records) memcpy(items, held->records, sizeof(Item *) * (size_t)held->count);
    itemCount = held->count;
    free(held->records);
    held->records = nullptr;
    held->count = 0;
}
