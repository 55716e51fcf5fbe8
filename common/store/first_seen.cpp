#include "store.h"

#include "first_seen.h"

#include "dates.h"
#include "inventory.h"
#include "startup_list.h"
#include "items.h"
#include "processes.h"
#include "program_files.h"
#include "text.h"

const char *FirstSeenKey(int type)
{
    if (type < 300) return DETECTED_STARTUP;
    switch (type) {
    case 370: return DETECTED_HIDDEN;
    case 400: return DETECTED_FILETYPES;
    case 700: case 701: return DETECTED_SERVICES;
    case 800: return DETECTED_TASKS;
    case 900: case 901: case 902: return DETECTED_IEHELPER;
    default: return DETECTED_ACTIVETASKS;
    }
}

int RecordFirstSeen(const char *path, const char *categoryKey)
{
    char file[PATH_SIZE], found[PATH_SIZE];
    if (!ResolveCommandPath(path, file)) return 0;
    // FileExists may turn a bare name into the full path it found; the date
    // is kept under the resolved name, which GetFirstSeen looks up.
    CopyText(found, sizeof found, file);
    if (!FileExists(found)) return 0;
    char date[DATE_TEXT_SIZE];
    if (StoreReadString(HKEY_CURRENT_USER, categoryKey, file, date, sizeof date) > 0) return 1;
    FormatNow(date);
    StoreWriteString(HKEY_CURRENT_USER, categoryKey, file, date);
    return 0;
}

int GetFirstSeen(const char *path, int type, char *out)
{
    out[0] = 0;
    char file[PATH_SIZE];
    if (!ResolveCommandPath(path, file)) return 0;
    return StoreReadString(HKEY_CURRENT_USER, FirstSeenKey(type), file, out, DATE_TEXT_SIZE);
}

static void RecordItems(const char *categoryKey)
{
    for (int i = 0; i < ItemCount(); i++) RecordFirstSeen(GetItemPath(i), categoryKey);
    FreeItems();
}

static int RecordRunningProgram(DWORD, WORD, const char *path, void *)
{
    RecordFirstSeen(path, DETECTED_ACTIVETASKS);
    return 1;
}

void BuildFirstSeenSets(void)
{
    static const char *const kCategories[] = {DETECTED_STARTUP,     DETECTED_IEHELPER,
                                              DETECTED_SERVICES,    DETECTED_TASKS,
                                              DETECTED_ACTIVETASKS, DETECTED_FILETYPES,
                                              DETECTED_HIDDEN};
    StoreCreateKey(HKEY_CURRENT_USER, STORE_DETECTED);
    for (const char *key : kCategories) StoreCreateKey(HKEY_CURRENT_USER, key);
    char date[DATE_TEXT_SIZE];
    FormatNow(date);
    StoreWriteString(HKEY_CURRENT_USER, STORE_DETECTED, "", date);

    BuildStartupList(0);
    RecordItems(DETECTED_STARTUP);
    EnumerateIEHelpers();
    RecordItems(DETECTED_IEHELPER);
    EnumerateTasks();
    RecordItems(DETECTED_TASKS);
    EnumerateServices(0);
    RecordItems(DETECTED_SERVICES);
    ListFileTypes();
    RecordItems(DETECTED_FILETYPES);
    EnumerateProcesses(RecordRunningProgram, nullptr);
    ListHiddenFiles();
    RecordItems(DETECTED_HIDDEN);
}
