// Startup locations: the Run family, the Startup folders, win.ini, the
// disabled entries, Winlogon and the shell extension points.
#include "startup_list.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "class_servers.h"
#include "data_folders.h"
#include "disabled_marks.h"
#include "folder_entries.h"
#include "folder_walk.h"
#include "growing_array.h"
#include "inventory.h"
#include "items.h"
#include "location_words.h"
#include "locations.h"
#include "options.h"
#include "platform.h"
#include "program_files.h"
#include "registry_views.h"
#include "signatures.h"
#include "startup_changes.h"
#include "startup_hooks.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"
#include "unicode_text.h"
#include "version_names.h"
#include "watch_places.h"

int walkMode;

// A shortcut's description becomes a record's info.
static_assert(ITEM_INFO_SIZE == SHORTCUT_TEXT_SIZE, "shortcut texts fit the record");

namespace {
const char *const kRunKeys[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup",
    "Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run",
};

// Disabled subkeys, in the order the disabled entries are listed.
const struct {
    int type;   // HKLM type; HKCU is type + 10 for the Run family
    const char *subkey;
} kDisabledSubkeys[] = {
    {1, DISABLED_KEY "\\Run"},         {2, DISABLED_KEY "\\RunOnce"},
    {3, DISABLED_KEY "\\RunOnceEx"},   {4, DISABLED_KEY "\\RunServices"},
    {5, DISABLED_KEY "\\RunServicesOnce"}, {6, DISABLED_KEY "\\RunSetup"},
    {7, DISABLED_KEY "\\Policy"},      {ITEM_WIN_LOAD, DISABLED_KEY "\\WinLoad"},
    {ITEM_WIN_RUN, DISABLED_KEY "\\WinRun"},
};
const char kWinNotifySubkey[] = DISABLED_KEY "\\WinNotify";


// 1 when a command holds anything but blanks: an empty value starts nothing.
int StartsSomething(const char *command)
{
    for (const char *c = command; *c; c++)
        if (*c != ' ' && *c != '\t') return 1;
    return 0;
}

int RunType(HKEY root, int keyNumber)
{
    return root == HKEY_LOCAL_MACHINE ? keyNumber : keyNumber + 10;
}

int IsRundll(const char *command)
{
    char rest[ITEM_PATH_SIZE];
    return SplitRundll(command, rest);
}

// The title of a registry entry: its value name, the default value by the
// string table's word for it. A name that holds a NUL (which the registry
// editor shows as the default value) says that it is hidden, and what
// cannot be shown of a name is shown as U+FFFD.
void RegistryEntryTitle(const char *name, char *title, size_t size)
{
    if (!name[0]) {
        LoadUiString(2114, title, (int)size);
        return;
    }
    if (TextIsPlain(name)) {
        CopyTextCut(title, size, name);
        return;
    }
    char shown[ITEM_TITLE_SIZE];
    ShownText(name, shown, sizeof shown);
    title[0] = 0;
    if (strstr(name, "\xC0\x80")) LoadUiString(2116, title, (int)size);
    AppendTextCut(title, size, shown);
}

// One Run-family key: every string value, whatever its name or length.
// Entries that were disabled and have been written back by their program
// are disabled again after the walk, so that the enumeration by index never
// sees a value vanish under it.
void ListRunKey(const MarkIndex &marks, HKEY root, int keyNumber, int view)
{
    int type = RunType(root, keyNumber);
    struct WrittenBack {
        char *name;
        char *stored;
    };
    WrittenBack *again = nullptr;
    int againCount = 0, againMax = 0;

    StoreForEachValue(root, RegistryViewFlag(view), kRunKeys[keyNumber - 1],
                      [&](const char *name, const StoreBlob *value) {
        if (!StoreBlobIsString(value)) return 1;
        const char *command = (const char *)value->data;
        // Only a mark of this very entry means "written back": an entry of
        // the same name elsewhere is another program.
        const char *stored = marks.Find(type, view, name);
        if (stored) {
            if (!MakeRoomForOne(again, againCount, againMax, 8)) return 1;
            again[againCount].name = DuplicateText(name);
            again[againCount].stored = DuplicateText(stored);
            if (again[againCount].name && again[againCount].stored) {
                againCount++;
            } else {
                free(again[againCount].name);
                free(again[againCount].stored);
            }
            return 1;
        }
        if (!StartsSomething(command)) return 1;
        char title[ITEM_TITLE_SIZE];
        RegistryEntryTitle(name, title, sizeof title);
        ItemIdentity identity = {name, view, 0, nullptr};
        AddItemAs(identity, title, command, "", "", type, IsRundll(command));
        return ItemListCut() ? 0 : 1;
    });

    for (int i = 0; i < againCount; i++) {
        RedisableStartupEntry(type, view, again[i].name, again[i].stored);
        free(again[i].name);
        free(again[i].stored);
    }
    free(again);
}

// HKLM in the program's own view, HKLM in the 32-bit view of 64-bit
// Windows, then HKCU (which has one view).
void ListRunValues(const MarkIndex &marks)
{
    for (int number = 1; number <= 7; number++) ListRunKey(marks, HKEY_LOCAL_MACHINE, number, VIEW_NATIVE);
    if (HasRegistryViews())
        for (int number = 1; number <= 7; number++)
            if (!StoreKeyIsShared(HKEY_LOCAL_MACHINE, kRunKeys[number - 1]))
                ListRunKey(marks, HKEY_LOCAL_MACHINE, number, VIEW_32);
    for (int number = 1; number <= 7; number++) ListRunKey(marks, HKEY_CURRENT_USER, number, VIEW_NATIVE);
}

// Startup-folder walks: param 0/1 is the hive the folder came from, and
// kDisabledFolderWalk the Disabled folder, whose files are disabled entries.
const LPARAM kDisabledFolderWalk = 2;

const HKEY kFolderRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
const char *const kFolderValues[] = {"Startup", "Common Startup"};

void ListStartupFolders(void)
{
    walkMode = 1;
    const HKEY *roots = kFolderRoots;
    for (int rootIndex = 0; rootIndex < 2; rootIndex++) {
        for (const char *value : kFolderValues) {
            char folder[PATH_SIZE];
            if (StoreReadString(roots[rootIndex], SHELL_FOLDERS_KEY, value, folder, sizeof folder) > 0)
                WalkFolder(folder, AddFoundFile, 0, rootIndex);
        }
    }
}

const char *WinIniKey(int type)
{
    return type == ITEM_WIN_LOAD ? "load" : "run";
}

// A win.ini piece: titled by its program's product name, else by its key.
void AddWinIniPiece(const char *piece, int type, int disabled, const char *stored)
{
    VersionNames names;
    ReadVersionNames(piece, &names);
    ItemIdentity identity = {piece, VIEW_NATIVE, disabled, stored};
    AddItemAs(identity, names.productName[0] ? names.productName : WinIniKey(type), piece, "", "", type, 0);
}

void ListWinIniEntries(void)
{
    static char list[WIN_INI_LIST_MAX];
    for (int type : {ITEM_WIN_RUN, ITEM_WIN_LOAD}) {
        GetProfileStringA("windows", WinIniKey(type), "", list, sizeof list);
        char *context = nullptr;
        for (char *piece = strtok_r(list, ";", &context); piece; piece = strtok_r(nullptr, ";", &context))
            if (StartsSomething(piece)) AddWinIniPiece(piece, type, 0, nullptr);
    }
}

void ListDisabledEntries(const MarkIndex &marks)
{
    for (const auto &d : kDisabledSubkeys) {
        StoreForEachValue(HKEY_LOCAL_MACHINE, 0, d.subkey, [&](const char *stored, const StoreBlob *value) {
            const MarkIndex::Mark *mark = marks.Stored(stored);
            // A saved copy counts only with a mark of a type kept in this subkey.
            if (!mark || !StoreBlobIsString(value) || DisabledSubkey(mark->type) != d.subkey) return 1;
            const char *command = (const char *)value->data;
            if (mark->type == ITEM_WIN_LOAD || mark->type == ITEM_WIN_RUN) {
                // A win.ini entry is its piece, which the saved copy holds.
                AddWinIniPiece(command, mark->type, 1, stored);
                return 1;
            }
            char title[ITEM_TITLE_SIZE];
            RegistryEntryTitle(mark->name, title, sizeof title);
            ItemIdentity identity = {mark->name, mark->view, 1, stored};
            AddItemAs(identity, title, command, "", "", mark->type, IsRundll(command));
            return 1;
        });
    }
    char folder[PATH_SIZE];
    if (GetDisabledFolder(folder)) WalkFolder(folder, AddFoundFile, 0, kDisabledFolderWalk);
}

// "userinit.exe," lists userinit.exe; "a,b" lists what follows the comma.
void ReadWinlogonUserinit(void)
{
    char value[PATH_SIZE];
    if (StoreReadString(HKEY_LOCAL_MACHINE, WINLOGON_KEY, "UserInit", value, sizeof value) <= 0) return;
    char *comma = strchr(value, ',');
    if (!comma) return;
    const char *command;
    if (comma[1] == 0) {
        *comma = 0;
        command = value;
    } else {
        command = comma + 1;
        while (*command == ' ') command++;
    }
    ItemIdentity identity = {"UserInit", VIEW_NATIVE, 0, nullptr};
    AddItemAs(identity, "Winlogon Userinit", command, "", "", ITEM_WINLOGON_USERINIT, 0);
}

void ReadWinlogonShell(void)
{
    char value[PATH_SIZE];
    if (StoreReadString(HKEY_LOCAL_MACHINE, WINLOGON_KEY, "Shell", value, sizeof value) <= 0) return;
    char *blank = strchr(value, ' ');
    const char *command = value;
    if (blank && blank[1] == 0) {
        *blank = 0;
    } else if (blank) {
        command = blank + 1;
        while (*command == ' ') command++;
    }
    ItemIdentity identity = {"Shell", VIEW_NATIVE, 0, nullptr};
    AddItemAs(identity, "Winlogon Shell", command, "", "", ITEM_WINLOGON_SHELL, 0);
}

void ListClassValues(const char *path, int type, int view)
{
    StoreForEachValue(HKEY_LOCAL_MACHINE, RegistryViewFlag(view), path, [&](const char *name, const StoreBlob *value) {
        if (!StoreBlobIsString(value)) return 1;
        const char *data = (const char *)value->data;
        char className[CLASS_NAME_SIZE], server[PATH_SIZE];
        VersionNames names;
        ItemIdentity identity = {name, view, 0, nullptr};
        if (type == ITEM_DELAYLOAD) {
            // The value's data is the class id.
            ClassServerPathIn(view, data, className, server);
            ReadVersionNames(server, &names);
            char title[ITEM_TITLE_SIZE];
            RegistryEntryTitle(name, title, sizeof title);
            AddItemAs(identity, title, server, data, names.productVersion, type, 0);
        } else {
            // The value's name is the class id, its data the description.
            ClassServerPathIn(view, name, className, server);
            ReadVersionNames(server, &names);
            const char *title = data[0] ? data : className;
            AddItemAs(identity, title, server, name, names.productVersion, type, 0);
        }
        return 1;
    });
}

// Every DLL of AppInit_DLLs, however long the value.
void ListAppInitDlls(int view)
{
    StoreBlob value;
    if (!StoreReadBlob(HKEY_LOCAL_MACHINE, RegistryViewFlag(view), WINDOWS_NT_KEY, "AppInit_Dlls", &value)) return;
    if (StoreBlobIsString(&value)) {
        char *context = nullptr;
        for (char *piece = strtok_r((char *)value.data, ", ", &context); piece;
             piece = strtok_r(nullptr, ", ", &context)) {
            VersionNames names;
            ReadVersionNames(piece, &names);
            ItemIdentity identity = {piece, view, 0, nullptr};
            AddItemAs(identity, names.productName, piece, names.companyName, names.productVersion,
                      ITEM_APPINIT_DLLS, 0);
        }
    }
    StoreFreeBlob(&value);
}

void ListWinlogonNotify(int view)
{
    StoreForEachSubkey(HKEY_LOCAL_MACHINE, RegistryViewFlag(view), WINLOGON_NOTIFY_KEY, [&](const char *sub) {
        char path[1024], dll[PATH_SIZE];
        if (!FormatText(path, sizeof path, "%s\\%s", WINLOGON_NOTIFY_KEY, sub)) return 1;
        if (StoreReadStringIn(HKEY_LOCAL_MACHINE, RegistryViewFlag(view), path, "DllName", dll, sizeof dll) <= 0)
            return 1;
        VersionNames names;
        ReadVersionNames(dll, &names);
        ItemIdentity identity = {sub, view, 0, nullptr};
        char title[ITEM_TITLE_SIZE];
        RegistryEntryTitle(sub, title, sizeof title);
        AddItemAs(identity, title, dll, names.fileDescription, names.productVersion, ITEM_WINLOGON_NOTIFY, 0);
        return 1;
    });
}


const struct {
    const char *path;
    int type;
} kClassPlaces[] = {{DELAYLOAD_KEY, ITEM_DELAYLOAD},
                    {SHARED_TASK_SCHEDULER_KEY, ITEM_TASK_SCHEDULER},
                    {SHELL_EXECUTE_HOOKS_KEY, ITEM_SHELL_EXECUTE_HOOK}};

void ListExtendedStartup(void)
{
    int views[2];
    for (const auto &place : kClassPlaces)
        for (int i = 0, n = ViewsOf(place.path, views); i < n; i++) ListClassValues(place.path, place.type, views[i]);
    for (int i = 0, n = ViewsOf(WINDOWS_NT_KEY, views); i < n; i++) ListAppInitDlls(views[i]);
    for (int i = 0, n = ViewsOf(WINLOGON_NOTIFY_KEY, views); i < n; i++) ListWinlogonNotify(views[i]);
    ListStartupHooks();
}

const char *FileNameOf(const char *path)
{
    const char *slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

bool EndsWithNoCase(const char *text, const char *end)
{
    size_t a = strlen(text), b = strlen(end);
    return a >= b && TextEqualNoCase(text + a - b, end);
}

// Walk mode 1: a file in a Startup folder (or the Disabled folder). The
// entry is the file itself: the shortcut, not the program it points to.
int AddStartupFile(const char *found, DWORD attributes, LPARAM param)
{
    if (attributes == FILE_ATTRIBUTE_DIRECTORY) return 0;
    char path[PATH_SIZE];
    CopyTextCut(path, sizeof path, found);
    size_t len = strlen(path);
    if (len > 1 && path[len - 1] == '\\' && path[len - 2] != ':') path[len - 1] = 0;
    if (EndsWithNoCase(path, "ini")) return 0;

    int disabled = param == kDisabledFolderWalk;
    char *stored = disabled ? FindDisabledMark(ITEM_STARTUP_FOLDER, VIEW_NATIVE, FileNameOf(path)) : nullptr;
    ItemIdentity identity = {path, VIEW_NATIVE, disabled, disabled ? (stored ? stored : "") : nullptr};
    if (EndsWithNoCase(path, "lnk")) {
        char target[PATH_SIZE], description[ITEM_INFO_SIZE];
        HRESULT hr = ResolveShortcut(nullptr, path, target, description);
        if (hr != S_FALSE) {
            // A shortcut that cannot be read at all is still listed, by its
            // own file, so that it can be seen and removed.
            if (FAILED(hr) || !target[0]) CopyText(target, sizeof target, path);
            VersionNames names = {};
            if (!description[0]) ReadVersionNames(target, &names);
            const char *title = description[0]             ? description
                                : names.fileDescription[0] ? names.fileDescription
                                                           : names.productName;
            AddItemAs(identity, title, target, path, "", ITEM_STARTUP_FOLDER, 0);
        }
    } else if (EndsWithNoCase(path, "exe")) {
        VersionNames names;
        ReadVersionNames(path, &names);
        AddItemAs(identity, names.fileDescription[0] ? names.fileDescription : names.productName, path, path,
                  "", ITEM_STARTUP_FOLDER, 0);
    } else {
        AddItemAs(identity, "", path, "", "", ITEM_STARTUP_FOLDER, 0);
    }
    free(stored);
    return 0;
}
}  // namespace

int StartupBaselineNameIn(int view, const char *command, char *out)
{
    if (view != VIEW_32) return StartupBaselineName(command, out);
    // An entry of the 32-bit view is approved apart from the same command
    // in the program's own view.
    char name[PATH_SIZE];
    StartupBaselineName(command, name);
    return (int)FormatTextCut(out, PATH_SIZE, "%s%s", STARTUP_BASELINE_32, name);
}

int StartupBaselineName(const char *command, char *out)
{
    size_t len = CopyTextCut(out, PATH_SIZE, command);
    for (char *c = out; *c; c++)
        if (*c == '=') *c = ':';
    return (int)len;
}

const char *RunKeyPath(int keyNumber)
{
    return keyNumber >= 1 && keyNumber <= 7 ? kRunKeys[keyNumber - 1] : nullptr;
}

int RunLocation(int type, HKEY *root, const char **path)
{
    if (type >= 1 && type <= 7) {
        *root = HKEY_LOCAL_MACHINE;
        *path = kRunKeys[type - 1];
        return 1;
    }
    if (type >= 11 && type <= 17) {
        *root = HKEY_CURRENT_USER;
        *path = kRunKeys[type - 11];
        return 1;
    }
    return 0;
}

const char *DisabledSubkey(int type)
{
    if (type >= 11 && type <= 17) type -= 10;
    for (const auto &d : kDisabledSubkeys)
        if (d.type == type) return d.subkey;
    if (type == ITEM_WINLOGON_NOTIFY) return kWinNotifySubkey;
    return nullptr;
}

int GetDisabledFolder(char *out)
{
    char folder[PATH_SIZE];
    out[0] = 0;
    if (!GetDataFolder(folder)) return 0;
    return (int)FormatText(out, PATH_SIZE, "%s\\Disabled", folder);
}

int SplitRundll(const char *command, char *out)
{
    out[0] = 0;
    if (!command) return 0;
    size_t len = strlen(command);
    if (FindTextNoCase(command, "RUNDLL32.EXE") && len >= 7) {
        for (size_t p = 0; p + 7 <= len; p++) {
            if (toupper((unsigned char)command[p]) == 'R' && toupper((unsigned char)command[p + 2]) == 'N' &&
                toupper((unsigned char)command[p + 4]) == 'L' && command[p + 6] == '3') {
                // What follows "rundll32.exe" and its separator; empty when nothing does.
                size_t start = p + 13 < len ? p + 13 : len;
                CopyTextCut(out, PATH_SIZE, command + start);
                return 1;
            }
        }
    }
    CopyTextCut(out, PATH_SIZE, command);
    return 0;
}

int AddFoundFile(const char *path, DWORD attributes, LPARAM param)
{
    switch (walkMode) {
    case 1: return AddStartupFile(path, attributes, param);
    default: return 0;   // the cookie and hidden-file walks add their own kinds
    }
}

int BuildStartupList(int respectShowAll)
{
    FreeItems();
    MarkIndex marks;
    marks.Load();
    // A list cut short (a first screen) stops at the place that filled it.
    ListRunValues(marks);
    if (!ItemListCut()) ListStartupFolders();
    if (!ItemListCut()) ListWinIniEntries();
    if (!ItemListCut()) ListDisabledEntries(marks);
    int showAll = !respectShowAll || GetOption("ShowAllStartup", 0) >= 1;
    if (showAll && IsNtFamily() && !ItemListCut()) {
        ReadWinlogonUserinit();
        ReadWinlogonShell();
    }
    if (showAll && !ItemListCut()) ListExtendedStartup();
    return ItemCount();
}

int ListDelayedPrograms(void)
{
    FreeItems();
    HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    for (int rootIndex = 0; rootIndex < 2; rootIndex++) {
        HKEY root = roots[rootIndex];
        StoreForEachValue(root, 0, STORE_ROOT "\\Delay", [&](const char *command, const StoreBlob *value) {
            if (!command[0] || !StoreBlobIsString(value)) return 1;
            int former = (int)DecimalValue((const char *)value->data);
            VersionNames names;
            ReadVersionNames(command, &names);

            char title[ITEM_TITLE_SIZE];
            if (StoreReadString(root, STORE_ROOT "\\Delay\\Title", command, title, sizeof title) <= 0) {
                if (names.productName[0]) {
                    CopyText(title, sizeof title, names.productName);
                } else {
                    const char *slash = strrchr(command, '\\');
                    CopyTextCut(title, sizeof title, slash ? slash + 1 : command);
                }
                if (strstr(title, "Microsoft\xAE Windows\xAE"))
                    CopyText(title, sizeof title, names.fileDescription);
            }
            char detail[ITEM_DETAIL_SIZE];
            if (former == ITEM_STARTUP_FOLDER)
                StoreReadString(root, STORE_ROOT "\\Delay\\Shortcuts", command, detail, sizeof detail);
            else
                CopyText(detail, sizeof detail, title);
            ItemIdentity identity = {command, VIEW_NATIVE, 0, nullptr};
            AddItemAs(identity, title, command, detail, names.fileDescription, former, rootIndex);
            return 1;
        });
    }
    return ItemCount();
}

int DescribeEntryPlace(const Item *record, char *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!record) return 0;
    char where[512], name[ITEM_TITLE_SIZE], pattern[128];
    if (IsStartupHookType(record->type)) return DescribeStartupHookPlace(record, out, size);
    // A Startup folder is named as the user's own or the one of all users.
    if (record->type == ITEM_STARTUP_FOLDER)
        LocationWords(record, where, sizeof where);
    else
        DescribeEntryLocation(record, 0, where, sizeof where);
    int registry = (record->type >= 1 && record->type < 30) || record->type == ITEM_DELAYLOAD ||
                   record->type == ITEM_TASK_SCHEDULER || record->type == ITEM_SHELL_EXECUTE_HOOK ||
                   record->type == ITEM_WINLOGON_NOTIFY;
    const char *own = record->name ? record->name : "";
    if (registry)
        RegistryEntryTitle(own, name, sizeof name);
    else
        ShownText(own, name, sizeof name);
    if (!name[0]) return (int)CopyTextCut(out, (size_t)size, where);
    LoadUiString(registry ? 2118 : 2119, pattern, sizeof pattern);
    const char *values[] = {where, name};
    if (!FillTemplate(out, size, pattern, values, 2)) CopyTextCut(out, (size_t)size, where);
    return (int)strlen(out);
}

namespace {
void VisitKey(WatchPlaceVisitor visit, void *context, HKEY root, int view, int subtree, const char *path)
{
    WatchPlace place = {WATCH_KEY, root, view, subtree, path};
    visit(&place, context);
}

// An HKLM key in every registry view the list reads it in.
void VisitMachineKey(WatchPlaceVisitor visit, void *context, int subtree, const char *path)
{
    int views[2];
    for (int i = 0, n = ViewsOf(path, views); i < n; i++)
        VisitKey(visit, context, HKEY_LOCAL_MACHINE, views[i], subtree, path);
}
}  // namespace

void ForEachStartupPlace(WatchPlaceVisitor visit, void *context)
{
    for (int number = 1; number <= 7; number++) {
        VisitMachineKey(visit, context, 0, kRunKeys[number - 1]);
        VisitKey(visit, context, HKEY_CURRENT_USER, VIEW_NATIVE, 0, kRunKeys[number - 1]);
    }
    // A Startup folder that moves is looked for in its new place.
    for (HKEY root : kFolderRoots) {
        VisitKey(visit, context, root, VIEW_NATIVE, 0, SHELL_FOLDERS_KEY);
        for (const char *value : kFolderValues) {
            char folder[PATH_SIZE];
            if (StoreReadString(root, SHELL_FOLDERS_KEY, value, folder, sizeof folder) > 0) {
                WatchPlace place = {WATCH_FOLDER, nullptr, VIEW_NATIVE, 0, folder};
                visit(&place, context);
            }
        }
    }
    // win.ini's run= and load=: the user's key on NT, the file before.
    if (IsNtFamily()) {
        VisitKey(visit, context, HKEY_CURRENT_USER, VIEW_NATIVE, 0, WINDOWS_NT_KEY);
    } else {
        char windows[PATH_SIZE];
        UINT n = GetWindowsDirectoryA(windows, sizeof windows);
        if (n > 0 && n < sizeof windows) {
            WatchPlace place = {WATCH_FOLDER, nullptr, VIEW_NATIVE, 0, windows};
            visit(&place, context);
        }
    }
    VisitKey(visit, context, HKEY_LOCAL_MACHINE, VIEW_NATIVE, 0, WINLOGON_KEY);
    VisitMachineKey(visit, context, 1, WINLOGON_NOTIFY_KEY);
    for (const auto &place : kClassPlaces) VisitMachineKey(visit, context, 0, place.path);
    VisitMachineKey(visit, context, 0, WINDOWS_NT_KEY);
    ForEachStartupHookPlace(visit, context);
}

long StartupBaselineStatus(const char *baselineName)
{
    char data[32];
    if (!StoreValueExists(HKEY_CURRENT_USER, STARTUP_BASELINE, baselineName)) return STARTUP_STATUS_MISSING;
    if (StoreReadString(HKEY_CURRENT_USER, STARTUP_BASELINE, baselineName, data, sizeof data) <= 0)
        return STARTUP_STATUS_MISSING;
    return DecimalValue(data);
}

int IsStartupEntryApproved(int view, const char *command)
{
    char baselineName[ITEM_PATH_SIZE];
    StartupBaselineNameIn(view, command, baselineName);
    long status = StartupBaselineStatus(baselineName);
    return status != STARTUP_STATUS_MISSING && status != 0 && status != STARTUP_DELAYED_MARK;
}

void RememberStartupSigner(const char *baselineName, const char *command)
{
    RememberApprovedSigner(STARTUP_SIGNERS, baselineName, command);
}

int StartupSignatureHolds(const char *baselineName, const char *command, char *signer)
{
    return ApprovedSignerHolds(STARTUP_SIGNERS, baselineName, command, signer);
}
