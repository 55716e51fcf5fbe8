// The item list: the one process-wide list into which every inventory is
// enumerated. Each enumeration empties it first, so one inventory is held
// at a time.
#pragma once
#include "registry_views.h"   // the view a record was read from

// The list holds every entry a machine has (an entry beyond a small limit
// would be one Windows starts and nobody is asked about).
#define ITEM_MAX         65536
// Texts are UTF-8: a title holds 127 characters of any script, a path or
// detail 259.
#define ITEM_TITLE_SIZE  384
#define ITEM_PATH_SIZE   784
#define ITEM_DETAIL_SIZE 784
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
    ITEM_IFEO_DEBUGGER = 257,        // 257-261: the startup hooks (startup_hooks.h)
    ITEM_SILENT_EXIT_MONITOR = 258,
    ITEM_ACTIVE_SETUP = 259,
    ITEM_BOOT_EXECUTE = 260,
    ITEM_WINLOGON_VALUE = 261,
    ITEM_HIDDEN = 370,
    ITEM_FILETYPE = 400,
    ITEM_COOKIE = 500,
    ITEM_PROCESS = 600,
    ITEM_SERVICE_EXE = 700,
    ITEM_SERVICE_SVCHOST = 701,
    ITEM_TASK = 800,
    ITEM_TASK2 = 801,            // a Task Scheduler 2.0 task
    ITEM_BHO = 900,
    ITEM_TOOLBAR = 901,
    ITEM_EXTENSION = 902,
    ITEM_UNKNOWN = 3000,
};


struct Item {
    char title[ITEM_TITLE_SIZE];   // shown only: it may be cut or rewritten
    char path[ITEM_PATH_SIZE];
    char detail[ITEM_DETAIL_SIZE];
    int type;
    int qualifier;
    char info[ITEM_INFO_SIZE];
    // What the entry really is: the exact name in its location (a value
    // name of any length, a win.ini piece, a file, a key), never null in
    // a record; the registry view it was read from; for a disabled startup
    // entry the stored name of its disabled mark and saved copy.
    char *name;
    char *mark;   // null unless disabled
    int view;
    int disabled;
};

// The identity a record is appended with. A null name stands for "".
struct ItemIdentity {
    const char *name;
    int view;
    int disabled;
    const char *mark;
};

// Appends a record: the path loses its quotes and takes its long form, an
// empty title is made from the file name, texts too long for their field
// are cut. 1 when appended, 0 when the list is full, the cookie limit is
// reached or memory is short.
int AddItem(const char *title, const char *path, const char *detail, const char *info, int type,
            int qualifier);
// The same with the record's identity.
int AddItemAs(const ItemIdentity &identity, const char *title, const char *path, const char *detail,
              const char *info, int type, int qualifier);

// Empties the list.
void FreeItems(void);

// A first screen of a long list: while a limit is set (0: none), the list
// takes no more than limit records. Once a record is refused for room (the
// limit or ITEM_MAX), ItemListCut says so until the list is emptied, and a
// walk that asks it stops there.
void SetItemLimit(int limit);
int ItemListCut(void);

int ItemCount(void);

// Readers; an index outside the list gives an empty text or 0.
const char *GetItemTitle(int index);
const char *GetItemPath(int index);
const char *GetItemDetail(int index);
const char *GetItemInfo(int index);
int GetItemType(int index);
int GetItemQualifier(int index);
const char *GetItemName(int index);   // the exact name; "" when none
int GetItemView(int index);
// The whole record; null outside the list.
const Item *GetItem(int index);

// A record copied out of the list (its name and mark duplicated), so that
// a later refill of the list cannot change it; released with
// ReleaseItemCopy. 1 when copied, 0 when memory is short (dst is then empty).
int CopyItemRecord(Item *dst, const Item *src);
void ReleaseItemCopy(Item *item);
// 1 when two records stand for the same entry: type, view and exact name
// (case ignored, as the registry and the file system ignore it).
int SameEntry(const Item *a, const Item *b);

// A heap copy of a text (null stays null); free() releases it.
char *DuplicateText(const char *text);

// --- Reports: the list held aside ------------------------------------------
// A report fills the list with one inventory after another. Holding the
// list moves its records aside (the list is then empty); restoring empties
// the list and puts the same records back, so whatever the caller had in
// the list still means the same entries afterwards.
struct HeldItems {
    Item **records;
    int count;
};
void HoldItemList(HeldItems *held);
void RestoreItemList(HeldItems *held);
