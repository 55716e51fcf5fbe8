// Changes to startup entries: disable, enable, delete, reset and restore.
#include "startup_changes.h"

#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <initializer_list>

#include "history.h"
#include "inventory.h"
#include "items.h"
#include "locations.h"
#include "program_files.h"
#include "startup_list.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"

HWND startupOwner;

namespace {
const char kRunBaseline[] = STORE_ROOT "\\Run";
const char kMachineRunSaved[] = STORE_ROOT "\\Run";   // under HKLM: reset Winlogon values

const int kWinIniMax = 1024;   // one size for reading and writing the run=/load= lists
const int kAppInitMax = 255;

enum {
    LOG_START_REMOVE = 0,
    LOG_RESET_USERINIT = 21,
    LOG_RESET_SHELL = 22,
    LOG_REMOVE_TASKSCHEDULER = 23,
    LOG_REMOVE_DELAYLOAD = 24,
    LOG_REMOVE_SHELLEXECUTEHOOK = 25,
    LOG_REMOVE_APPINIT = 26,
};

struct RawValue {
    DWORD type;
    DWORD size;
    char data[8192];
};

int WriteMark(const char *name, int type)
{
    return StoreWriteDecimal(HKEY_LOCAL_MACHINE, DISABLED_KEY, name, type) &&
           DisabledMarkType(name) == type;
}

int DeleteMarkAndCopy(const char *name, const char *subkey)
{
    if (subkey) StoreDeleteValue(HKEY_LOCAL_MACHINE, subkey, name);
    return StoreDeleteValue(HKEY_LOCAL_MACHINE, DISABLED_KEY, name);
}

// Writes the saved copy and reads it back.
int SaveCopy(const char *subkey, const char *name, const RawValue &value)
{
    if (!StoreWriteRaw(HKEY_LOCAL_MACHINE, subkey, name, value.type, value.data, value.size)) return 0;
    RawValue check;
    DWORD type = 0;
    int size = StoreReadRaw(HKEY_LOCAL_MACHINE, subkey, name, &type, check.data, sizeof check.data);
    return size == (int)value.size && memcmp(check.data, value.data, value.size) == 0;
}

void SetTextValue(RawValue *value, const char *text)
{
    value->type = REG_SZ;
    size_t len = CopyTextCut(value->data, sizeof value->data, text);
    value->size = (DWORD)len + 1;
}

// 1 when a stored command is the command an item shows for it (the item's
// path has lost its quotes and taken its long form).
int SameCommand(const char *stored, const char *command)
{
    char bare[ITEM_PATH_SIZE], longForm[ITEM_PATH_SIZE];
    if (TextEqualNoCase(stored, command)) return 1;
    if (!RemoveQuotes(stored, bare, sizeof bare)) return 0;
    if (TextEqualNoCase(bare, command)) return 1;
    return GetLongPath(longForm, bare) > 0 && TextEqualNoCase(longForm, command);
}

// Registry kinds: the live value is kept as it was stored (type, quotes and
// all), so enabling puts back exactly what was there.
int ToggleRunEntry(const char *name, const char *command, int type, int markType)
{
    HKEY root;
    const char *live;
    RunLocation(type, &root, &live);
    const char *subkey = DisabledSubkey(type);
    static RawValue value;

    if (markType) {
        // Enable: the live value first, then the copy and the mark go.
        int size = StoreReadRaw(HKEY_LOCAL_MACHINE, subkey, name, &value.type, value.data, sizeof value.data);
        // The saved copy goes back as it was stored, unless the entry is
        // being put back with another command (a program that wrote
        // itself back).
        if (size > 0 && SameCommand(value.data, command)) {
            value.size = (DWORD)size;
            if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) value.type = REG_SZ;
        } else {
            SetTextValue(&value, command);
        }
        if (!StoreWriteRaw(root, live, name, value.type, value.data, value.size)) return 0;
        StoreDeleteValue(HKEY_LOCAL_MACHINE, subkey, name);
        return StoreDeleteValue(HKEY_LOCAL_MACHINE, DISABLED_KEY, name);
    }

    // Disable: the copy and the mark first; the live value goes only then.
    int size = StoreReadRaw(root, live, name, &value.type, value.data, sizeof value.data);
    if (size > 0 && (value.type == REG_SZ || value.type == REG_EXPAND_SZ))
        value.size = (DWORD)size;
    else
        SetTextValue(&value, command);
    if (!StoreCreateKey(HKEY_LOCAL_MACHINE, subkey) || !SaveCopy(subkey, name, value) ||
        !WriteMark(name, type)) {
        DeleteMarkAndCopy(name, subkey);
        return 0;
    }
    if (StoreValueExists(root, live, name) && !StoreDeleteValue(root, live, name)) {
        DeleteMarkAndCopy(name, subkey);
        return 0;
    }
    return 1;
}

int ToggleWinIniEntry(const char *name, const char *command, int type, int markType)
{
    const char *key = type == ITEM_WIN_LOAD ? "load" : "run";
    const char *subkey = DisabledSubkey(type);
    if (markType) {
        if (!AddWinIniEntry(key, command)) return 0;
        DeleteMarkAndCopy(name, subkey);
        return 0;
    }
    RawValue value;
    SetTextValue(&value, command);
    if (!StoreCreateKey(HKEY_LOCAL_MACHINE, subkey) || !SaveCopy(subkey, name, value) ||
        !WriteMark(name, type) || !RemoveWinIniEntry(key, command)) {
        DeleteMarkAndCopy(name, subkey);
        return 0;
    }
    return 1;
}

const char *FileNameOf(const char *path)
{
    const char *slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

int FindStartupFolder(char *folder)
{
    if (StoreReadString(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, "Startup", folder, MAX_PATH) > 0) return 1;
    if (StoreReadString(HKEY_LOCAL_MACHINE, SHELL_FOLDERS_KEY, "Startup", folder, MAX_PATH) > 0) return 1;
    return StoreReadString(HKEY_LOCAL_MACHINE, SHELL_FOLDERS_KEY, "Common Startup", folder, MAX_PATH) > 0;
}

// Startup-folder files move to the Disabled folder and back; the mark is
// written only once the file has moved.
int ToggleFolderEntry(const char *name, const char *command, const char *detail, int markType)
{
    const char *file = detail && detail[0] ? detail : command;
    char disabledFolder[MAX_PATH], stored[MAX_PATH];
    if (!GetDisabledFolder(disabledFolder)) return 0;
    if (!FormatText(stored, sizeof stored, "%s\\%s", disabledFolder, FileNameOf(file))) return 0;

    if (markType) {
        char folder[MAX_PATH], target[MAX_PATH];
        if (!FindStartupFolder(folder)) return 1;
        if (!FormatText(target, sizeof target, "%s\\%s", folder, FileNameOf(file))) return 0;
        if (!MoveFileExA(stored, target, MOVEFILE_COPY_ALLOWED)) return 0;
        StoreDeleteValue(HKEY_LOCAL_MACHINE, DISABLED_KEY, name);
        return 1;
    }
    CreateDirectoryA(disabledFolder, nullptr);
    if (!MoveFileExA(file, stored, MOVEFILE_COPY_ALLOWED)) return 0;
    if (!WriteMark(name, ITEM_STARTUP_FOLDER)) {
        MoveFileExA(stored, file, MOVEFILE_COPY_ALLOWED);
        return 0;
    }
    return 1;
}

int ToggleNotifyEntry(const char *name, const char *command, int markType)
{
    const char *subkey = DisabledSubkey(ITEM_WINLOGON_NOTIFY);
    if (markType) {
        if (!EnableNotifyDll(name)) return 0;
        DeleteMarkAndCopy(name, subkey);
        return 0;
    }
    RawValue value;
    SetTextValue(&value, command);
    if (!StoreCreateKey(HKEY_LOCAL_MACHINE, subkey) || !SaveCopy(subkey, name, value) ||
        !WriteMark(name, ITEM_WINLOGON_NOTIFY)) {
        DeleteMarkAndCopy(name, subkey);
        return 0;
    }
    char baseline[MAX_PATH];
    StartupBaselineName(command, baseline);
    StoreWriteString(HKEY_CURRENT_USER, kRunBaseline, baseline, "256");
    DisableNotifyDll(name);
    return 1;
}

void DeleteBaselineValues(const char *name, const char *command)
{
    char baseline[MAX_PATH];
    StartupBaselineName(command, baseline);
    StoreDeleteValue(HKEY_CURRENT_USER, kRunBaseline, baseline);
    StoreDeleteValue(HKEY_CURRENT_USER, kRunBaseline, command);
    StoreDeleteValue(HKEY_CURRENT_USER, kRunBaseline, name);
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
    char folder[MAX_PATH];
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (const char *value : {"Startup", "Common Startup"}) {
            if (StoreReadString(root, SHELL_FOLDERS_KEY, value, folder, sizeof folder) > 0 &&
                IsInFolder(file, folder))
                return 1;
        }
    }
    return GetDisabledFolder(folder) && IsInFolder(file, folder);
}

int DeleteFolderEntry(const char *name, const char *command, const char *detail)
{
    if (DisabledMarkType(name)) StoreDeleteValue(HKEY_LOCAL_MACHINE, DISABLED_KEY, name);
    const char *file = detail && detail[0] ? detail : command;
    if (!IsStartupFile(file)) return 0;
    // A disabled file lies in the Disabled folder under its own name.
    char inDisabled[MAX_PATH], folder[MAX_PATH];
    if (GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES && GetDisabledFolder(folder) &&
        FormatText(inDisabled, sizeof inDisabled, "%s\\%s", folder, FileNameOf(file)))
        file = inDisabled;
    if (GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES) return 1;
    SetFileAttributesA(file, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(file) ? 1 : 0;
}

int ClearWinIniReadOnly(void)
{
    char path[MAX_PATH];
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

int ToggleStartupEntry(const char *name, const char *command, const char *detail, int type)
{
    if (!name || !command) return 0;
    int markType = DisabledMarkType(name);
    // A mark of another entry of the same name is never taken over.
    if (markType && markType != type) return 0;
    if ((type >= 1 && type <= 7) || (type >= 11 && type <= 17))
        return ToggleRunEntry(name, command, type, markType);
    if (type == ITEM_WIN_LOAD || type == ITEM_WIN_RUN)
        return ToggleWinIniEntry(name, command, type, markType);
    if (type == ITEM_STARTUP_FOLDER) return ToggleFolderEntry(name, command, detail, markType);
    if (type == ITEM_WINLOGON_NOTIFY) return ToggleNotifyEntry(name, command, markType);
    return 0;
}

int DeleteStartupEntry(const char *name, const char *command, const char *detail, int type)
{
    if (!name || !command) return 0;
    int result = 0;
    int markType = DisabledMarkType(name);
    int disabled = markType == type;
    if ((type >= 1 && type <= 7) || (type >= 11 && type <= 17)) {
        if (disabled) {
            result = DeleteMarkAndCopy(name, DisabledSubkey(type));
        } else {
            HKEY root;
            const char *live;
            RunLocation(type, &root, &live);
            result = StoreDeleteValue(root, live, name);
        }
    } else if (type == ITEM_WIN_LOAD || type == ITEM_WIN_RUN) {
        if (disabled) DeleteMarkAndCopy(name, DisabledSubkey(type));
        RemoveWinIniEntry(type == ITEM_WIN_LOAD ? "load" : "run", command);
        result = 1;
    } else if (type == ITEM_STARTUP_FOLDER) {
        result = DeleteFolderEntry(name, command, detail);
    } else if (type >= ITEM_WINLOGON_USERINIT && type <= ITEM_APPINIT_DLLS) {
        return RemoveKeyLocationEntry(startupOwner, name, command, detail, type);
    } else {
        return 0;
    }
    // Nothing was removed: no history line, and the approvals stay.
    if (!result) return 0;
    if (!FindTextNoCase(command, "Sentrel")) WriteHistory(name, command, detail, type, LOG_START_REMOVE);
    DeleteBaselineValues(name, command);
    return result;
}

int RemoveKeyLocationEntry(HWND owner, const char *name, const char *command, const char *detail,
                           int type)
{
    if (type == ITEM_WINLOGON_USERINIT) {
        if (ResetUserinit()) WriteHistory(name, command, detail, type, LOG_RESET_USERINIT);
        return 1;
    }
    if (type == ITEM_WINLOGON_SHELL) {
        if (ResetShell()) WriteHistory(name, command, detail, type, LOG_RESET_SHELL);
        return 1;
    }
    if (type < ITEM_DELAYLOAD || type > ITEM_APPINIT_DLLS) return 1;

    char caption[64];
    LoadUiString(2, caption, sizeof caption);
    if (UiMessageBox(owner, 1013, caption, MB_YESNO | MB_DEFBUTTON2 | MB_ICONSTOP | MB_TOPMOST) != IDYES)
        return 1;
    char baseline[MAX_PATH];
    StartupBaselineName(command, baseline);
    StoreDeleteValue(HKEY_CURRENT_USER, kRunBaseline, baseline);
    int removed = 0, action = 0;
    switch (type) {
    case ITEM_DELAYLOAD:
        removed = StoreDeleteValue(HKEY_LOCAL_MACHINE, DELAYLOAD_KEY, name);
        action = LOG_REMOVE_DELAYLOAD;
        break;
    case ITEM_TASK_SCHEDULER:
        removed = StoreDeleteValue(HKEY_LOCAL_MACHINE, SHARED_TASK_SCHEDULER_KEY, detail);
        action = LOG_REMOVE_TASKSCHEDULER;
        break;
    case ITEM_SHELL_EXECUTE_HOOK:
        removed = StoreDeleteValue(HKEY_LOCAL_MACHINE, SHELL_EXECUTE_HOOKS_KEY, detail);
        action = LOG_REMOVE_SHELLEXECUTEHOOK;
        break;
    case ITEM_APPINIT_DLLS:
        removed = RemoveAppInitDll(command);
        action = LOG_REMOVE_APPINIT;
        break;
    }
    if (removed) WriteHistory(name, command, detail, type, action);
    return 1;
}

int ResetUserinit(void)
{
    char system[MAX_PATH], value[MAX_PATH + 20];
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
    char key[512], dll[261];
    if (!name || !name[0] || !FormatText(key, sizeof key, "%s\\%s", WINLOGON_NOTIFY_KEY, name)) return 0;
    if (StoreReadString(HKEY_LOCAL_MACHINE, key, "DLLName", dll, sizeof dll) <= 0) return 0;
    if (!StoreWriteString(HKEY_LOCAL_MACHINE, key, "OldName", dll)) return 0;
    return StoreWriteString(HKEY_LOCAL_MACHINE, key, "DLLName", "");
}

int EnableNotifyDll(const char *name)
{
    char key[512], dll[261];
    if (!name || !name[0] || !FormatText(key, sizeof key, "%s\\%s", WINLOGON_NOTIFY_KEY, name)) return 0;
    if (StoreReadString(HKEY_LOCAL_MACHINE, key, "OldName", dll, sizeof dll) <= 0) return 0;
    if (!StoreWriteString(HKEY_LOCAL_MACHINE, key, "DLLName", dll)) return 0;
    return StoreWriteString(HKEY_LOCAL_MACHINE, key, "OldName", "");
}

int RemoveAppInitDll(const char *dll)
{
    char value[kAppInitMax + 1];
    if (StoreReadString(HKEY_LOCAL_MACHINE, WINDOWS_NT_KEY, "AppInit_Dlls", value, sizeof value) <= 0) return 0;
    char wanted[MAX_PATH];
    GetLongPath(wanted, dll);

    char result[kAppInitMax + 1] = "";
    char *context = nullptr;
    for (char *piece = strtok_r(value, ", ", &context); piece; piece = strtok_r(nullptr, ", ", &context)) {
        char longPiece[MAX_PATH];
        GetLongPath(longPiece, piece);
        if (TextEqualNoCase(longPiece, wanted) || TextEqualNoCase(piece, dll)) continue;
        if (result[0]) AppendText(result, sizeof result, ",");
        AppendText(result, sizeof result, piece);
    }
    return StoreWriteString(HKEY_LOCAL_MACHINE, WINDOWS_NT_KEY, "AppInit_Dlls", result);
}

int AddAppInitDll(const char *dll)
{
    char value[kAppInitMax + 1];
    StoreReadString(HKEY_LOCAL_MACHINE, WINDOWS_NT_KEY, "AppInit_Dlls", value, sizeof value);
    char shortPath[MAX_PATH];
    DWORD n = GetShortPathNameA(dll, shortPath, sizeof shortPath);
    if (n == 0 || n >= sizeof shortPath) CopyTextCut(shortPath, sizeof shortPath, dll);
    // A value that would not fit is refused whole, never written half.
    if (value[0] && !AppendText(value, sizeof value, ",")) return 0;
    if (!AppendText(value, sizeof value, shortPath)) return 0;
    return StoreWriteString(HKEY_LOCAL_MACHINE, WINDOWS_NT_KEY, "AppInit_Dlls", value);
}

int RemoveWinIniEntry(const char *key, const char *command)
{
    char list[kWinIniMax];
    // A list too long to read whole is left alone rather than cut.
    if (!ReadWinIniList(key, list, sizeof list)) return 0;
    char result[kWinIniMax] = "";
    char *context = nullptr;
    for (char *piece = strtok_r(list, ";", &context); piece; piece = strtok_r(nullptr, ";", &context)) {
        if (TextEqualNoCase(piece, command)) continue;
        if (!AppendText(result, sizeof result, piece) || !AppendText(result, sizeof result, ";")) return 0;
    }
    ClearWinIniReadOnly();
    return WriteProfileStringA("windows", key, result) != 0;
}

int AddWinIniEntry(const char *key, const char *command)
{
    char list[kWinIniMax];
    if (!ReadWinIniList(key, list, sizeof list)) return 0;
    if (!AppendText(list, sizeof list, ";") || !AppendText(list, sizeof list, command)) return 0;
    ClearWinIniReadOnly();
    return WriteProfileStringA("windows", key, list) != 0;
}

int RestoreStartupEntry(const char *name, const char *command, const char *detail, int type)
{
    int written = 0;
    HKEY root;
    const char *live;
    if (RunLocation(type, &root, &live)) {
        written = StoreWriteString(root, live, name, command);
    } else if (type == ITEM_WIN_LOAD || type == ITEM_WIN_RUN) {
        written = AddWinIniEntry(type == ITEM_WIN_LOAD ? "load" : "run", command);
    } else if (type == ITEM_STARTUP_FOLDER) {
        char folder[MAX_PATH];
        CopyTextCut(folder, sizeof folder, command);
        char *slash = strrchr(folder, '\\');
        if (slash) *slash = 0;
        written = CreateShortcut(detail, command, "", folder, name, command, 0);
    } else if (type == ITEM_DELAYLOAD) {
        written = StoreWriteString(HKEY_LOCAL_MACHINE, DELAYLOAD_KEY, name, detail);
    } else if (type == ITEM_TASK_SCHEDULER) {
        written = StoreWriteString(HKEY_LOCAL_MACHINE, SHARED_TASK_SCHEDULER_KEY, detail, name);
    } else if (type == ITEM_SHELL_EXECUTE_HOOK) {
        written = StoreWriteString(HKEY_LOCAL_MACHINE, SHELL_EXECUTE_HOOKS_KEY, detail, name);
    } else if (type == ITEM_APPINIT_DLLS) {
        written = AddAppInitDll(command);
    } else if (type == ITEM_WINLOGON_NOTIFY) {
        EnableNotifyDll(name);
        return 0;
    } else {
        return 0;
    }
    if (!written) return 0;
    char baseline[MAX_PATH];
    StartupBaselineName(command, baseline);
    StoreWriteDecimal(HKEY_CURRENT_USER, kRunBaseline, baseline, type);
    return 1;
}

int CreateShortcut(const char *shortcut, const char *target, const char *arguments,
                   const char *folder, const char *description, const char *iconFile, int iconIndex)
{
    if (!shortcut || !shortcut[0] || !target) return 0;
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int saved = 0;
    IShellLinkA *link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   (void **)&link))) {
        link->SetPath(target);
        if (arguments) link->SetArguments(arguments);
        if (folder) link->SetWorkingDirectory(folder);
        if (description) link->SetDescription(description);
        if (iconFile && iconFile[0]) link->SetIconLocation(iconFile, iconIndex);
        IPersistFile *file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
            WCHAR wide[MAX_PATH];
            if (MultiByteToWideChar(CP_ACP, 0, shortcut, -1, wide, MAX_PATH))
                saved = SUCCEEDED(file->Save(wide, TRUE));
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return saved;
}

int ReregisterFile(const char *file)
{
    char command[MAX_PATH + 32];
    // Quoted, so a path with blanks is one argument.
    if (!file || !FormatText(command, sizeof command, "regsvr32 /s \"%s\"", file)) return 0;
    return WinExec(command, SW_SHOWNORMAL) > 31;
}
