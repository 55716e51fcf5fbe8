// The item list: the one process-wide list into which every inventory is
// enumerated. Each enumeration empties it first, so one inventory is held
// at a time.
#pragma once

#define ITEM_MAX         4096
#define ITEM_TITLE_SIZE  128
#define ITEM_PATH_SIZE   260
#define ITEM_DETAIL_SIZE 260
#define ITEM_INFO_SIZE   1024

// Item types: where an entry lives or what kind of thing it is.
enum ItemType {
    ITEM_MACHINE_RUN = 1,        // 1-7: the HKLM Run family
    ITEM_CURRENT_RUN = 11,       // 11-17: the HKCU Run family
    ITEM_WIN_LOAD = 100,
    ITEM_WIN_RUN = 101,
    ITEM_STARTUP_FOLDER = 200,
    ITEM_WINLOGON_USERINIT = 250,
    ITEM_WINLOGON_SHELL = 251,
    ITEM_DELAYLOAD = 252,
    ITEM_TASK_SCHEDULER = 253,
    ITEM_SHELL_EXECUTE_HOOK = 254,
    ITEM_APPINIT_DLLS = 255,
    ITEM_WINLOGON_NOTIFY = 256,
    ITEM_HIDDEN = 370,
    ITEM_FILETYPE = 400,
    ITEM_COOKIE = 500,
    ITEM_PROCESS = 600,
    ITEM_SERVICE_EXE = 700,
    ITEM_SERVICE_SVCHOST = 701,
    ITEM_TASK = 800,
    ITEM_BHO = 900,
    ITEM_TOOLBAR = 901,
    ITEM_EXTENSION = 902,
    ITEM_UNKNOWN = 3000,
};

struct Item {
    char title[ITEM_TITLE_SIZE];
    char path[ITEM_PATH_SIZE];
    char detail[ITEM_DETAIL_SIZE];
    int type;
    int qualifier;
    char info[ITEM_INFO_SIZE];
};

// Appends a record: the path loses its quotes and takes its long form, an
// empty title is made from the file name, texts too long for their field
// are cut. 1 when appended, 0 when the list is full, the cookie limit is
// reached or memory is short.
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
