// The item list: the one process-wide list into which every inventory is
// enumerated. Each enumeration empties it first.
#pragma once

#define ITEM_MAX         4096
#define ITEM_TITLE_SIZE  128
#define ITEM_PATH_SIZE   260
#define ITEM_DETAIL_SIZE 260
#define ITEM_INFO_SIZE   1024

struct Item {
    char title[ITEM_TITLE_SIZE];
    char path[ITEM_PATH_SIZE];
    char detail[ITEM_DETAIL_SIZE];
    int type;
    int qualifier;
    char info[ITEM_INFO_SIZE];
};

// Appends a record. 1 when appended, 0 when the list is full or memory is short.
int AddItem(const char *title, const char *path, const char *detail, const char *info, int type,
            int qualifier);

// Empties the list.
void FreeItems(void);

int ItemCount(void);

// Readers; an index outside the list gives an empty text or 0.
const char *GetItemTitle(int index);
const char *GetItemPath(int index);
const char *GetItemDetail(int index);
const char *GetItemInfo(int index);
int GetItemType(int index);
int GetItemQualifier(int index);
