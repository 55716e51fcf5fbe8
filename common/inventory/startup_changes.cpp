// Changes to startup entries: disable, enable, delete, reset and restore.
#include "startup_changes.h"

#include <objbase.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "disabled_marks.h"
#include "folder_walk.h"
#include "history.h"
#include "inventory.h"
#include "items.h"
#include "locations.h"
#include "platform.h"
#include "program_files.h"
#include "registry_views.h"
#include "startup_hooks.h"
#include "startup_list.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"


namespace {
const char kRunBaseline[] = STORE_ROOT "\\Run";
const char kMachineRunSaved[] = STORE_ROOT "\\Run";   // under HKLM: reset Winlogon values

const int kWinIniMax = WIN_INI_LIST_MAX;   // one size for reading and writing the run=/load= lists
const int kAppInitMax = 255;

enum {
    LOG_START_REMOVE = 0,
    LOG_START_DISABLE = 1,
    LOG_START_ENABLE = 2,
    LOG_REMOVE_WINLOGON_NOTIFY = 30,
    LOG_RESET_USERINIT = 21,
    LOG_RESET_SHELL = 22,
    LOG_REMOVE_TASKSCHEDULER = 23,
    LOG_REMOVE_DELAYLOAD = 24,
    LOG_REMOVE_SHELLEXECUTEHOOK = 25,
    LOG_REMOVE_APPINIT = 26,
};

const char *WinIniKey(int type)
{
    return type == ITEM_WIN_LOAD ? "load" : "run";
}

int ReadWinIniList(const char *key, char *list, int size);
int ClearWinIniReadOnly(void);
int IsStartupFile(const char *file);

int IsRunType(int type)
{
    return (type >= 1 && type <= 7) || (type >= 11 && type <= 17);
}

// Writes a saved copy and reads it back.
int SaveCopy(const char *subkey, const char *stored, const StoreBlob *value)
{
    if (!StoreWriteBlob(HKEY_LOCAL_MACHINE, 0, subkey, stored, value)) return 0;
    StoreBlob check;
    if (!StoreReadBlob(HKEY_LOCAL_MACHINE, 0, subkey, stored, &check)) return 0;
    int same = StoreSameBlob(&check, value);
    StoreFreeBlob(&check);
    return same;
}

// Keeps what is needed to put an entry back: the saved copy under the
// stored name the entry takes, then its mark, both read back. On failure
// nothing new is left behind (an existing mark of the entry stays). Returns
// the stored name (heap) or null.
char *KeepDisabledCopy(int type, int view, const char *name, const StoreBlob *copy)
{
    const char *subkey = DisabledSubkey(type);
    char *stored = ChooseMarkName(type, view, name);
    if (!stored || !subkey) {
        free(stored);
        return nullptr;
    }
    int existed = MarkTypeOf(stored) == type;
    if (StoreCreateKey(HKEY_LOCAL_MACHINE, subkey) && SaveCopy(subkey, stored, copy) &&
        WriteDisabledMark(stored, type, view, name))
        return stored;
    if (!existed) DeleteDisabledMark(stored, subkey);
    free(stored);
    return nullptr;
}

void TextBlob(StoreBlob *blob, const char *text)
{
    blob->type = REG_SZ;
    blob->data = (BYTE *)text;
    blob->size = (DWORD)strlen(text) + 1;
}

// Registry kinds: the live value is kept as it was stored (type, quotes and
// all, of any length), so enabling puts back exactly what was there.
int ToggleRunEntry(const StartupRef &entry)
{
    HKEY root;
    const char *live;
    if (!RunLocation(entry.type, &root, &live)) return 0;
    REGSAM view = RegistryViewFlag(entry.view);
    const char *subkey = DisabledSubkey(entry.type);

    if (entry.mark) {
        // Enable: the live value first, then the copy and the mark go.
        StoreBlob saved;
        if (!StoreReadBlob(HKEY_LOCAL_MACHINE, 0, subkey, entry.mark, &saved)) return 0;
        int written = StoreWriteBlob(root, view, live, entry.name, &saved);
        StoreFreeBlob(&saved);
        if (!written) return 0;
        return DeleteDisabledMark(entry.mark, subkey);
    }

    // Disable: the copy and the mark first; the live value goes only then.
    StoreBlob value;
    if (!StoreReadBlob(root, view, live, entry.name, &value)) return 0;
    char *stored = KeepDisabledCopy(entry.type, entry.view, entry.name, &value);
    StoreFreeBlob(&value);
    if (!stored) return 0;
    int removed = StoreDeleteValueIn(root, view, live, entry.name);
    if (!removed && StoreValueExistsIn(root, view, live, entry.name)) DeleteDisabledMark(stored, subkey);
    free(stored);
    return removed;
}

// win.ini pieces are kept verbatim (quotes and all) and put back as they
// were: where the list is still as the Disable left it, the whole list
// comes back byte for byte (the piece in its place); else the piece goes to
// the end.
int ToggleWinIniEntry(const StartupRef &entry)
{
    const char *key = WinIniKey(entry.type);
    const char *subkey = DisabledSubkey(entry.type);
    if (entry.mark) {
        StoreBlob saved;
        if (!StoreReadBlob(HKEY_LOCAL_MACHINE, 0, subkey, entry.mark, &saved)) return 0;
        static char now[kWinIniMax], before[kWinIniMax], after[kWinIniMax];
        int added = 0;
        if (ReadWinIniList(key, now, sizeof now) &&
            StoreReadString(HKEY_LOCAL_MACHINE, DISABLED_WININI_KEY "\\Before", entry.mark, before, sizeof before) > 0 &&
            StoreReadString(HKEY_LOCAL_MACHINE, DISABLED_WININI_KEY "\\After", entry.mark, after, sizeof after) >= 0 &&
            StoreValueExists(HKEY_LOCAL_MACHINE, DISABLED_WININI_KEY "\\After", entry.mark) && strcmp(now, after) == 0) {
            ClearWinIniReadOnly();
            added = WriteProfileStringA("windows", key, before) != 0;
        }
        if (!added) added = AddWinIniEntry(key, (const char *)saved.data);
        StoreFreeBlob(&saved);
        if (!added) return 0;
        DeleteDisabledMark(entry.mark, subkey);
        return 1;
    }
    StoreBlob piece;
    TextBlob(&piece, entry.name);
    static char before[kWinIniMax], after[kWinIniMax];
    int known = ReadWinIniList(key, before, sizeof before);
    char *stored = KeepDisabledCopy(entry.type, VIEW_NATIVE, entry.name, &piece);
    if (!stored) return 0;
    int removed = RemoveWinIniEntry(key, entry.name);
    if (!removed) DeleteDisabledMark(stored, subkey);
    if (removed && known && ReadWinIniList(key, after, sizeof after)) {
        StoreWriteString(HKEY_LOCAL_MACHINE, DISABLED_WININI_KEY "\\Before", stored, before);
        StoreWriteString(HKEY_LOCAL_MACHINE, DISABLED_WININI_KEY "\\After", stored, after);
    }
    free(stored);
    return removed;
}

const char *FileNameOf(const char *path)
{
    const char *slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

int FindStartupFolder(char *folder)
{
    if (StoreReadString(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, "Startup", folder, PATH_SIZE) > 0) return 1;
    if (StoreReadString(HKEY_LOCAL_MACHINE, SHELL_FOLDERS_KEY, "Startup", folder, PATH_SIZE) > 0) return 1;
    return StoreReadString(HKEY_LOCAL_MACHINE, SHELL_FOLDERS_KEY, "Common Startup", folder, PATH_SIZE) > 0;
}

// The file a Startup-folder entry is: the record's own file (the shortcut,
// never the program it points to).
const char *FolderEntryFile(const StartupRef &entry)
{
    if (entry.name && entry.name[0]) return entry.name;
    return entry.detail && entry.detail[0] ? entry.detail : entry.command;
}

// Startup-folder files move to the Disabled folder and back, never over
// another file; the mark is written only once the file has moved.
int ToggleFolderEntry(const StartupRef &entry)
{
    const char *file = FolderEntryFile(entry);
    const char *fileName = FileNameOf(file);
    if (entry.disabled) {
        // Back into the Startup folder it came from (the all users' one
        // too); a mark of before that names none goes to the user's own.
        char folder[PATH_SIZE], target[PATH_SIZE], origin[PATH_SIZE + 4];
        int known = entry.mark && entry.mark[0] &&
                    StoreReadString(HKEY_LOCAL_MACHINE, DISABLED_FOLDERS_KEY, entry.mark, folder, sizeof folder) > 0 &&
                    FormatText(origin, sizeof origin, "%s\\x", folder) && IsStartupFile(origin);
        if (!known && !FindStartupFolder(folder)) return 1;
        if (!JoinPath(target, sizeof target, folder, fileName)) return 0;
        if (!MoveFileExA(file, target, MOVEFILE_COPY_ALLOWED)) return 0;
        if (entry.mark && entry.mark[0]) DeleteDisabledMark(entry.mark, nullptr);
        return 1;
    }
    char disabledFolder[PATH_SIZE], stored[PATH_SIZE];
    if (!GetDisabledFolder(disabledFolder)) return 0;
    if (!JoinPath(stored, sizeof stored, disabledFolder, fileName)) return 0;
    char *markName = ChooseMarkName(ITEM_STARTUP_FOLDER, VIEW_NATIVE, fileName);
    if (!markName) return 0;
    CreateDirectoryA(disabledFolder, nullptr);
    // The folder it lies in now, so that Enable puts it back there.
    char origin[PATH_SIZE];
    CopyTextN(origin, sizeof origin, file, (size_t)(fileName - file > 0 ? fileName - file - 1 : 0));
    int moved = MoveFileExA(file, stored, MOVEFILE_COPY_ALLOWED) != 0;
    if (moved && (!WriteDisabledMark(markName, ITEM_STARTUP_FOLDER, VIEW_NATIVE, fileName) ||
                  !StoreWriteString(HKEY_LOCAL_MACHINE, DISABLED_FOLDERS_KEY, markName, origin))) {
        DeleteDisabledMark(markName, nullptr);
        MoveFileExA(stored, file, MOVEFILE_COPY_ALLOWED);
        moved = 0;
    }
    free(markName);
    return moved;
}

int ToggleNotifyEntry(const StartupRef &entry)
{
    const char *subkey = DisabledSubkey(ITEM_WINLOGON_NOTIFY);
    if (entry.mark) {
        if (!EnableNotifyDllIn(entry.view, entry.name)) return 0;
        DeleteDisabledMark(entry.mark, subkey);
        return 0;
    }
    StoreBlob dll;
    TextBlob(&dll, entry.command);
    char *stored = KeepDisabledCopy(ITEM_WINLOGON_NOTIFY, entry.view, entry.name, &dll);
    if (!stored) return 0;
    free(stored);
    char baseline[PATH_SIZE];
    StartupBaselineNameIn(entry.view, entry.command, baseline);
    StoreWriteString(HKEY_CURRENT_USER, kRunBaseline, baseline, "256");
    DisableNotifyDllIn(entry.view, entry.name);
    return 1;
}

void DeleteBaselineValues(int view, const char *command)
{
    char baseline[PATH_SIZE];
    StartupBaselineNameIn(view, command, baseline);
    StoreDeleteValue(HKEY_CURRENT_USER, kRunBaseline, baseline);
    if (view == VIEW_NATIVE) StoreDeleteValue(HKEY_CURRENT_USER, kRunBaseline, command);
}

// The type a history line names: with the 32-bit view's mark.
int HistoryType(const StartupRef &entry)
{
    return entry.view == VIEW_32 ? entry.type | HISTORY_VIEW_32 : entry.type;
}

// 1 when file lies directly or further down inside folder.
int IsInFolder(const char *file, const char *folder)
{
    size_t len = strlen(folder);
    if (len && folder[len - 1] == '\\') len--;
    return len && strlen(file) > len && file[len] == '\\' && _strnicmp(file, folder, len) == 0;
}

// Only files in a Startup folder or the Disabled folder are ever deleted:
// never the program a shortcut points to.
int IsStartupFile(const char *file)
{
    char folder[PATH_SIZE];
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (const char *value : {"Startup", "Common Startup"}) {
            if (StoreReadString(root, SHELL_FOLDERS_KEY, value, folder, sizeof folder) > 0 &&
                IsInFolder(file, folder))
                return 1;
        }
    }
    return GetDisabledFolder(folder) && IsInFolder(file, folder);
}

int DeleteFolderEntry(const StartupRef &entry)
{
    const char *file = FolderEntryFile(entry);
    if (!IsStartupFile(file)) return 0;
    if (entry.mark && entry.mark[0]) DeleteDisabledMark(entry.mark, nullptr);
    if (GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES) return 1;
    SetFileAttributesA(file, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(file) ? 1 : 0;
}

// The name a history line gives an entry: the exact name of a registry
// entry, so that it says which value changed; else the title shown.
const char *HistoryName(const StartupRef &entry)
{
    if ((IsRunType(entry.type) || entry.type == ITEM_WINLOGON_NOTIFY || IsStartupHookType(entry.type)) && entry.name &&
        entry.name[0])
        return entry.name;
    return entry.title ? entry.title : "";
}

int ClearWinIniReadOnly(void)
{
    char path[PATH_SIZE];
    UINT n = GetWindowsDirectoryA(path, sizeof path);
    if (n == 0 || n >= sizeof path || !AppendText(path, sizeof path, "\\win.ini")) return 0;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    return 1;
}

// Reads a run=/load= list; 0 when it may have been cut.
int ReadWinIniList(const char *key, char *list, int size)
{
    DWORD n = GetProfileStringA("windows", key, "", list, (DWORD)size);
    return n < (DWORD)size - 2;
}
}  // namespace

StartupRef StartupRefOf(const Item &record)
{
    StartupRef entry = {record.type,   record.view, record.disabled, record.name ? record.name : "",
                        record.mark,   record.path, record.detail,   record.title};
    return entry;
}

namespace {
int Toggle(const StartupRef &entry)
{
    if (IsRunType(entry.type)) return ToggleRunEntry(entry);
    if (entry.type == ITEM_WIN_LOAD || entry.type == ITEM_WIN_RUN) return ToggleWinIniEntry(entry);
    if (entry.type == ITEM_STARTUP_FOLDER) return ToggleFolderEntry(entry);
    if (entry.type == ITEM_WINLOGON_NOTIFY) return ToggleNotifyEntry(entry);
    return 0;
}

// Disable and Enable each leave a line naming the entry as a removal does.
void LogToggle(const StartupRef &entry, int disabled)
{
    if (FindTextNoCase(entry.command, "Sentrel")) return;
    WriteHistory(HistoryName(entry), entry.command, entry.detail, HistoryType(entry),
                 disabled ? LOG_START_DISABLE : LOG_START_ENABLE);
}
}  // namespace

int ToggleStartupEntry(const StartupRef &entry)
{
    if (!entry.name || !entry.command) return 0;
    // A disabled registry entry is known by its mark; without one there is
    // nothing to put back.
    if (entry.disabled && !entry.mark && entry.type != ITEM_STARTUP_FOLDER) return 0;
    int result = Toggle(entry);
    // An enabled win.ini piece or Notify entry reports 0 as ever; its mark
    // being gone tells that it went back.
    int done = result || (entry.disabled && entry.mark && entry.mark[0] && !MarkTypeOf(entry.mark));
    if (done) LogToggle(entry, !entry.disabled);
    return result;
}

int RedisableStartupEntry(int type, int view, const char *name, const char *stored)
{
    (void)stored;   // the entry's mark is found again by its identity
    StartupRef entry = {type, view, 0, name, nullptr, "", "", name};
    int result = IsRunType(type) ? ToggleRunEntry(entry) : 0;
    if (result) LogToggle(entry, 1);
    return result;
}

int DeleteStartupEntry(const StartupRef &entry)
{
    if (!entry.name || !entry.command) return 0;
    int type = entry.type, result = 0;
    if (IsRunType(type)) {
        if (entry.disabled) {
            result = entry.mark ? DeleteDisabledMark(entry.mark, DisabledSubkey(type)) : 0;
        } else {
            HKEY root;
            const char *live;
            RunLocation(type, &root, &live);
            result = StoreDeleteValueIn(root, RegistryViewFlag(entry.view), live, entry.name);
        }
    } else if (type == ITEM_WIN_LOAD || type == ITEM_WIN_RUN) {
        // A disabled piece is only in the store; a live one only in win.ini.
        if (entry.disabled)
            result = entry.mark ? DeleteDisabledMark(entry.mark, DisabledSubkey(type)) : 0;
        else
            result = RemoveWinIniEntry(WinIniKey(type), entry.name);
    } else if (type == ITEM_STARTUP_FOLDER) {
        result = DeleteFolderEntry(entry);
    } else if (type >= ITEM_WINLOGON_USERINIT && type <= ITEM_APPINIT_DLLS) {
        return RemoveKeyLocationEntry(startupOwner, entry);
    } else if (IsStartupHookType(type)) {
        result = DeleteStartupHook(entry);
    } else if (type == ITEM_WINLOGON_NOTIFY) {
        // The entry's own subkey of Winlogon\Notify (a disabled one: its mark
        // and saved copy too).
        char key[1024];
        if (!entry.name[0] || strchr(entry.name, '\\') ||
            !JoinPath(key, sizeof key, WINLOGON_NOTIFY_KEY, entry.name))
            return 0;
        result = StoreDeleteKeyIn(HKEY_LOCAL_MACHINE, RegistryViewFlag(entry.view), key);
        if (entry.disabled && entry.mark) DeleteDisabledMark(entry.mark, DisabledSubkey(type));
        if (!result) return 0;
        if (!FindTextNoCase(entry.command, "Sentrel"))
            WriteHistory(HistoryName(entry), entry.command, entry.detail, HistoryType(entry),
                         LOG_REMOVE_WINLOGON_NOTIFY);
        DeleteBaselineValues(entry.view, entry.command);
        return result;
    } else {
        return 0;
    }
    // Nothing was removed: no history line, and the approvals stay.
    if (!result) return 0;
    if (!FindTextNoCase(entry.command, "Sentrel"))
        WriteHistory(HistoryName(entry), entry.command, entry.detail, HistoryType(entry), LOG_START_REMOVE);
    DeleteBaselineValues(entry.view, entry.command);
    return result;
}

// The entry of a location by its exact name, disabled when it has a mark
// (a Startup-folder file when it lies in the Disabled folder).
static StartupRef LookUpEntry(const char *name, const char *command, const char *detail, int type, char **mark,
                       char *file /* PATH_SIZE */)
{
    const char *exact = name;
    int disabled = 0;
    if (type == ITEM_WIN_LOAD || type == ITEM_WIN_RUN) exact = command;
    if (type == ITEM_STARTUP_FOLDER) {
        const char *given = detail && detail[0] ? detail : command;
        char folder[PATH_SIZE];
        CopyTextCut(file, PATH_SIZE, given);
        *mark = FindDisabledMark(type, VIEW_NATIVE, FileNameOf(given));
        disabled = *mark && GetDisabledFolder(folder) &&
                   JoinPath(file, PATH_SIZE, folder, FileNameOf(given)) > 0;
        if (!disabled) CopyTextCut(file, PATH_SIZE, given);
        StartupRef entry = {type, VIEW_NATIVE, disabled, file, *mark, command, detail, name};
        return entry;
    }
    *mark = FindDisabledMark(type, VIEW_NATIVE, exact);
    StartupRef entry = {type, VIEW_NATIVE, *mark != nullptr, exact, *mark, command, detail, name};
    return entry;
}

// Acts on the entry looked up by its name and command.
static int ActOnLookedUp(int (*act)(const StartupRef &), const char *name, const char *command,
                         const char *detail, int type)
{
    if (!name || !command) return 0;
    char *mark = nullptr, file[PATH_SIZE];
    int result = act(LookUpEntry(name, command, detail, type, &mark, file));
    free(mark);
    return result;
}

int ToggleStartupEntry(const char *name, const char *command, const char *detail, int type)
{
    return ActOnLookedUp(ToggleStartupEntry, name, command, detail, type);
}

int DeleteStartupEntry(const char *name, const char *command, const char *detail, int type)
{
    return ActOnLookedUp(DeleteStartupEntry, name, command, detail, type);
}

int RemoveKeyLocationEntry(HWND owner, const StartupRef &entry)
{
    int type = entry.type;
    const char *title = entry.title ? entry.title : entry.name;
    if (type == ITEM_WINLOGON_USERINIT) {
        if (ResetUserinit()) WriteHistory(title, entry.command, entry.detail, type, LOG_RESET_USERINIT);
        return 1;
    }
    if (type == ITEM_WINLOGON_SHELL) {
        if (ResetShell()) WriteHistory(title, entry.command, entry.detail, type, LOG_RESET_SHELL);
        return 1;
    }
    if (type < ITEM_DELAYLOAD || type > ITEM_APPINIT_DLLS) return 1;

    char caption[64];
    LoadUiString(2, caption, sizeof caption);
    if (UiMessageBox(owner, 1013, caption, MB_YESNO | MB_DEFBUTTON2 | MB_ICONSTOP | MB_TOPMOST) != IDYES)
        return 1;
    char baseline[PATH_SIZE];
    StartupBaselineNameIn(entry.view, entry.command, baseline);
    StoreDeleteValue(HKEY_CURRENT_USER, kRunBaseline, baseline);
    // Each extension point's value is the entry's own name there, in the
    // registry view it was found in.
    REGSAM flag = RegistryViewFlag(entry.view);
    int removed = 0, action = 0;
    switch (type) {
    case ITEM_DELAYLOAD:
        removed = StoreDeleteValueIn(HKEY_LOCAL_MACHINE, flag, DELAYLOAD_KEY, entry.name);
        action = LOG_REMOVE_DELAYLOAD;
        break;
    case ITEM_TASK_SCHEDULER:
        removed = StoreDeleteValueIn(HKEY_LOCAL_MACHINE, flag, SHARED_TASK_SCHEDULER_KEY, entry.name);
        action = LOG_REMOVE_TASKSCHEDULER;
        break;
    case ITEM_SHELL_EXECUTE_HOOK:
        removed = StoreDeleteValueIn(HKEY_LOCAL_MACHINE, flag, SHELL_EXECUTE_HOOKS_KEY, entry.name);
        action = LOG_REMOVE_SHELLEXECUTEHOOK;
        break;
    case ITEM_APPINIT_DLLS:
        removed = RemoveAppInitDllIn(entry.view, entry.name);
        action = LOG_REMOVE_APPINIT;
        break;
    }
    if (removed) WriteHistory(title, entry.command, entry.detail, HistoryType(entry), action);
    return 1;
}

int RemoveKeyLocationEntry(HWND owner, const char *name, const char *command, const char *detail,
                           int type)
{
    // The extension points name their entries by value name (253, 254: the
    // class id the record keeps as detail) or by the DLL itself (255).
    const char *exact = type == ITEM_TASK_SCHEDULER || type == ITEM_SHELL_EXECUTE_HOOK ? detail
                        : type == ITEM_APPINIT_DLLS                                    ? command
                                                                                       : name;
    StartupRef entry = {type, VIEW_NATIVE, 0, exact ? exact : "", nullptr, command, detail, name};
    return RemoveKeyLocationEntry(owner, entry);
}

int ResetUserinit(void)
{
    char system[PATH_SIZE], value[PATH_SIZE + 20];
    UINT n = GetSystemDirectoryA(system, sizeof system);
    if (n == 0 || n >= sizeof system) return 0;
    if (!FormatText(value, sizeof value, "%s\\Userinit.exe,", system)) return 0;
    if (!StoreWriteString(HKEY_LOCAL_MACHINE, WINLOGON_KEY, "Userinit", value)) return 0;
    StoreWriteString(HKEY_LOCAL_MACHINE, kMachineRunSaved, value, "250");
    return 1;
}

int ResetShell(void)
{
    if (!StoreWriteString(HKEY_LOCAL_MACHINE, WINLOGON_KEY, "Shell", "Explorer.exe")) return 0;
    StoreWriteString(HKEY_LOCAL_MACHINE, kMachineRunSaved, "Explorer.exe", "251");
    return 1;
}

int DisableNotifyDll(const char *name)
{
    return DisableNotifyDllIn(VIEW_NATIVE, name);
}

int EnableNotifyDll(const char *name)
{
    return EnableNotifyDllIn(VIEW_NATIVE, name);
}

// Moves the Notify subkey's DLL name from one value to the other.
static int MoveNotifyDll(int view, const char *name, const char *from, const char *to)
{
    char key[1024], dll[PATH_SIZE];
    REGSAM flag = RegistryViewFlag(view);
    if (!name || !name[0] || !JoinPath(key, sizeof key, WINLOGON_NOTIFY_KEY, name)) return 0;
    if (StoreReadStringIn(HKEY_LOCAL_MACHINE, flag, key, from, dll, sizeof dll) <= 0) return 0;
    if (!StoreWriteStringIn(HKEY_LOCAL_MACHINE, flag, key, to, dll)) return 0;
    return StoreWriteStringIn(HKEY_LOCAL_MACHINE, flag, key, from, "");
}

int DisableNotifyDllIn(int view, const char *name)
{
    return MoveNotifyDll(view, name, "DLLName", "OldName");
}

int EnableNotifyDllIn(int view, const char *name)
{
    return MoveNotifyDll(view, name, "OldName", "DLLName");
}

int RemoveAppInitDll(const char *dll)
{
    return RemoveAppInitDllIn(VIEW_NATIVE, dll);
}

int RemoveAppInitDllIn(int view, const char *dll)
{
    // Read whole, however long: the rest of the list is written back as it was.
    StoreBlob value;
    REGSAM flag = RegistryViewFlag(view);
    if (!StoreReadBlob(HKEY_LOCAL_MACHINE, flag, WINDOWS_NT_KEY, "AppInit_Dlls", &value)) return 0;
    size_t room = value.size + 2;
    char *result = (char *)calloc(room, 1);
    int written = 0;
    if (result && (value.type == REG_SZ || value.type == REG_EXPAND_SZ)) {
        char wanted[PATH_SIZE];
        GetLongPath(wanted, dll);
        char *context = nullptr;
        for (char *piece = strtok_r((char *)value.data, ", ", &context); piece;
             piece = strtok_r(nullptr, ", ", &context)) {
            char longPiece[PATH_SIZE];
            GetLongPath(longPiece, piece);
            if (TextEqualNoCase(longPiece, wanted) || TextEqualNoCase(piece, dll)) continue;
            if (result[0]) AppendText(result, room, ",");
            AppendText(result, room, piece);
        }
        written = StoreWriteStringIn(HKEY_LOCAL_MACHINE, flag, WINDOWS_NT_KEY, "AppInit_Dlls", result);
    }
    free(result);
    StoreFreeBlob(&value);
    return written;
}

int AddAppInitDll(const char *dll)
{
    return AddAppInitDllIn(VIEW_NATIVE, dll);
}

int AddAppInitDllIn(int view, const char *dll)
{
    char value[kAppInitMax + 1];
    REGSAM flag = RegistryViewFlag(view);
    StoreReadStringIn(HKEY_LOCAL_MACHINE, flag, WINDOWS_NT_KEY, "AppInit_Dlls", value, sizeof value);
    char shortPath[PATH_SIZE];
    DWORD n = GetShortPathNameA(dll, shortPath, sizeof shortPath);
    if (n == 0 || n >= sizeof shortPath) CopyTextCut(shortPath, sizeof shortPath, dll);
    // A value that would not fit is refused whole, never written half.
    if (value[0] && !AppendText(value, sizeof value, ",")) return 0;
    if (!AppendText(value, sizeof value, shortPath)) return 0;
    return StoreWriteStringIn(HKEY_LOCAL_MACHINE, flag, WINDOWS_NT_KEY, "AppInit_Dlls", value);
}

int RemoveWinIniEntry(const char *key, const char *command)
{
    char list[kWinIniMax];
    // A list too long to read whole is left alone rather than cut.
    if (!ReadWinIniList(key, list, sizeof list)) return 0;
    // Every piece of that text goes with one separator beside it; the rest
    // of the list stays byte for byte.
    size_t length = strlen(list), start = 0;
    int removed = 0;
    while (start <= length) {
        size_t end = start;
        while (end < length && list[end] != ';') end++;
        char piece[kWinIniMax];
        CopyTextN(piece, sizeof piece, list + start, end - start);
        if (end > start && TextEqualNoCase(piece, command)) {
            size_t from = start, to = end;
            if (to < length) to++;          // the separator behind it
            else if (from > 0) from--;      // the last piece: the one before it
            memmove(list + from, list + to, length - to + 1);
            length -= to - from;
            removed = 1;
            start = from;
            continue;
        }
        start = end + 1;
    }
    if (!removed) return 0;
    ClearWinIniReadOnly();
    return WriteProfileStringA("windows", key, list) != 0;
}

int AddWinIniEntry(const char *key, const char *command)
{
    char list[kWinIniMax];
    if (!ReadWinIniList(key, list, sizeof list)) return 0;
    size_t length = strlen(list);
    if (length && list[length - 1] != ';' && !AppendText(list, sizeof list, ";")) return 0;
    if (!AppendText(list, sizeof list, command)) return 0;
    ClearWinIniReadOnly();
    return WriteProfileStringA("windows", key, list) != 0;
}

int RestoreStartupEntry(const char *name, const char *command, const char *detail, int type)
{
    return RestoreStartupEntryIn(VIEW_NATIVE, name, command, detail, type);
}

int RestoreStartupEntryIn(int view, const char *name, const char *command, const char *detail, int type)
{
    int written = 0;
    HKEY root;
    const char *live;
    REGSAM flag = RegistryViewFlag(view);
    if (RunLocation(type, &root, &live)) {
        written = StoreWriteStringIn(root, root == HKEY_LOCAL_MACHINE ? flag : 0, live, name, command);
    } else if (type == ITEM_WIN_LOAD || type == ITEM_WIN_RUN) {
        written = AddWinIniEntry(type == ITEM_WIN_LOAD ? "load" : "run", command);
    } else if (type == ITEM_STARTUP_FOLDER) {
        char folder[PATH_SIZE];
        CopyTextCut(folder, sizeof folder, command);
        char *slash = strrchr(folder, '\\');
        if (slash) *slash = 0;
        written = CreateShortcut(detail, command, "", folder, name, command, 0);
    } else if (type == ITEM_DELAYLOAD) {
        written = StoreWriteStringIn(HKEY_LOCAL_MACHINE, flag, DELAYLOAD_KEY, name, detail);
    } else if (type == ITEM_TASK_SCHEDULER) {
        written = StoreWriteStringIn(HKEY_LOCAL_MACHINE, flag, SHARED_TASK_SCHEDULER_KEY, detail, name);
    } else if (type == ITEM_SHELL_EXECUTE_HOOK) {
        written = StoreWriteStringIn(HKEY_LOCAL_MACHINE, flag, SHELL_EXECUTE_HOOKS_KEY, detail, name);
    } else if (type == ITEM_APPINIT_DLLS) {
        written = AddAppInitDllIn(view, command);
    } else if (type == ITEM_WINLOGON_NOTIFY) {
        EnableNotifyDllIn(view, name);
        return 0;
    } else {
        return 0;
    }
    if (!written) return 0;
    char baseline[PATH_SIZE];
    StartupBaselineNameIn(view, command, baseline);
    StoreWriteDecimal(HKEY_CURRENT_USER, kRunBaseline, baseline, type);
    return 1;
}

int PutBackStartupEntry(int view, const char *name, const char *command, const char *detail, int type)
{
    if (!name || !command || !command[0]) return 0;
    if (IsStartupHookType(type)) return PutBackStartupHook(view, name, command, type);
    if (IsRunType(type)) {
        HKEY root;
        const char *live;
        RunLocation(type, &root, &live);
        REGSAM flag = RegistryViewFlag(view);
        if (StoreValueExistsIn(root, flag, live, name)) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return 0;
        }
        return StoreWriteStringIn(root, flag, live, name, command);
    }
    if (type == ITEM_WIN_LOAD || type == ITEM_WIN_RUN) {
        static char list[kWinIniMax];
        if (!ReadWinIniList(WinIniKey(type), list, sizeof list)) return 0;
        char *context = nullptr;
        for (char *piece = strtok_r(list, ";", &context); piece; piece = strtok_r(nullptr, ";", &context))
            if (TextEqualNoCase(piece, command)) {
                SetLastError(ERROR_ALREADY_EXISTS);
                return 0;
            }
        return AddWinIniEntry(WinIniKey(type), command);
    }
    if (type == ITEM_STARTUP_FOLDER) {
        // A shortcut in a Startup folder only, and never over a file.
        size_t length = detail ? strlen(detail) : 0;
        if (length < 5 || !TextEqualNoCase(detail + length - 4, ".lnk") || !IsStartupFile(detail)) return 0;
        if (GetFileAttributesA(detail) != INVALID_FILE_ATTRIBUTES) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return 0;
        }
        return CreateShortcut(detail, command, "", "", "", "", 0);
    }
    return 0;
}

int ReregisterFileIn(int view, const char *file)
{
    // The program by its full path, the file quoted; a path holding a quote
    // could end the argument early and is refused.
    char system[PATH_SIZE], program[PATH_SIZE], command[PATH_SIZE * 2 + 32];
    UINT n = view == VIEW_32 && HasRegistryViews() ? GetSystemWow64DirectoryA(system, sizeof system)
                                                  : GetSystemDirectoryA(system, sizeof system);
    if (!file || !file[0] || strchr(file, '"') || n == 0 || n >= sizeof system ||
        !FormatText(program, sizeof program, "%s\\regsvr32.exe", system) ||
        !FormatText(command, sizeof command, "\"%s\" /s \"%s\"", program, file))
        return 0;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 0;
    DWORD code = 1;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0;
}

int ReregisterFile(const char *file)
{
    char command[PATH_SIZE + 32];
    // Quoted, so a path with blanks is one argument.
    if (!file || !FormatText(command, sizeof command, "regsvr32 /s \"%s\"", file)) return 0;
    return WinExec(command, SW_SHOWNORMAL) > 31;
}

int EnableAllStartupEntries(void)
{
    BuildStartupList(0);
    int count = ItemCount();
    Item *disabled = (Item *)calloc(count > 0 ? (size_t)count : 1, sizeof(Item));
    if (!disabled) return -1;
    int kept = 0;
    for (int i = 0; i < count; i++) {
        const Item *item = GetItem(i);
        if (item && item->disabled && CopyItemRecord(&disabled[kept], item)) kept++;
    }
    // Each goes back by its own record; the list is read again afterwards,
    // since some kinds report 0 even when they went back.
    for (int i = 0; i < kept; i++) {
        ToggleStartupEntry(StartupRefOf(disabled[i]));
        ReleaseItemCopy(&disabled[i]);
    }
    free(disabled);
    BuildStartupList(0);
    int left = 0;
    for (int i = 0; i < ItemCount(); i++) left += GetItem(i)->disabled != 0;
    return left;
}
