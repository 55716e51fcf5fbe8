// Jump to Entry: see jump_to_entry.h.
#include "jump_to_entry.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "ie_helpers.h"
#include "locations.h"
#include "program_files.h"
#include "services.h"
#include "startup_hooks.h"
#include "startup_list.h"
#include "store.h"
#include "task_files.h"
#include "tasks.h"
#include "text.h"

namespace {

const char kRegeditKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";

const char *RootName(HKEY root)
{
    if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    return "HKEY_USERS";
}

// The key as the Registry Editor shows it: the 32-bit view of HKLM
// Software is its WOW6432Node branch there.
int KeyPlace(HKEY root, int view, const char *path, const char *below, char *out, int size)
{
    const char *rest = path;
    const char *branch = "";
    if (view == VIEW_32 && root == HKEY_LOCAL_MACHINE && strlen(path) >= 9 &&
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path, 9, "SOFTWARE\\", 9) == CSTR_EQUAL) {
        branch = "SOFTWARE\\WOW6432Node\\";
        rest = path + 9;
    }
    FormatTextCut(out, (size_t)size, "%s\\%s%s%s%s", RootName(root), branch, rest, below && below[0] ? "\\" : "",
                  below ? below : "");
    return ENTRY_PLACE_KEY;
}

int FilePlace(const char *file, char *out, int size)
{
    if (!file || !file[0]) return ENTRY_PLACE_NONE;
    CopyTextCut(out, (size_t)size, file);
    return ENTRY_PLACE_FILE;
}

}  // namespace

int EntryPlace(const Item *record, char *out, int size)
{
    if (!out || size <= 0) return ENTRY_PLACE_NONE;
    out[0] = 0;
    if (!record) return ENTRY_PLACE_NONE;
    const char *name = record->name ? record->name : "";
    int type = record->type;
    HKEY root;
    const char *path;
    if (RunLocation(type, &root, &path)) return KeyPlace(root, record->view, path, "", out, size);
    switch (type) {
    case ITEM_WINLOGON_USERINIT:
    case ITEM_WINLOGON_SHELL:
        return KeyPlace(HKEY_LOCAL_MACHINE, record->view, WINLOGON_KEY, "", out, size);
    case ITEM_WINLOGON_NOTIFY:
        return KeyPlace(HKEY_LOCAL_MACHINE, record->view, WINLOGON_NOTIFY_KEY, name, out, size);
    case ITEM_DELAYLOAD:
        return KeyPlace(HKEY_LOCAL_MACHINE, record->view, DELAYLOAD_KEY, "", out, size);
    case ITEM_TASK_SCHEDULER:
        return KeyPlace(HKEY_LOCAL_MACHINE, record->view, SHARED_TASK_SCHEDULER_KEY, "", out, size);
    case ITEM_SHELL_EXECUTE_HOOK:
        return KeyPlace(HKEY_LOCAL_MACHINE, record->view, SHELL_EXECUTE_HOOKS_KEY, "", out, size);
    case ITEM_APPINIT_DLLS:
        return KeyPlace(HKEY_LOCAL_MACHINE, record->view, WINDOWS_NT_KEY, "", out, size);
    case ITEM_SERVICE_EXE:
    case ITEM_SERVICE_SVCHOST:
        return KeyPlace(HKEY_LOCAL_MACHINE, VIEW_NATIVE, SERVICES_KEY, name, out, size);
    case ITEM_BHO:
    case ITEM_EXTENSION:
        return KeyPlace(HKEY_LOCAL_MACHINE, record->view, IEHelperKey(type), name, out, size);
    case ITEM_TOOLBAR:
        return KeyPlace(HKEY_LOCAL_MACHINE, record->view, IEHelperKey(type), "", out, size);
    case ITEM_FILETYPE:
        return KeyPlace(HKEY_CLASSES_ROOT, VIEW_NATIVE, name, "", out, size);
    case ITEM_IFEO_DEBUGGER:
        return KeyPlace(HKEY_LOCAL_MACHINE, record->view, IFEO_KEY, name, out, size);
    case ITEM_SILENT_EXIT_MONITOR:
        return KeyPlace(HKEY_LOCAL_MACHINE, record->view, SILENT_EXIT_KEY, name, out, size);
    case ITEM_ACTIVE_SETUP:
        return KeyPlace(HKEY_LOCAL_MACHINE, record->view, ACTIVE_SETUP_KEY, name, out, size);
    case ITEM_BOOT_EXECUTE:
        return KeyPlace(HKEY_LOCAL_MACHINE, VIEW_NATIVE, SESSION_MANAGER_KEY, "", out, size);
    case ITEM_WINLOGON_VALUE:
        return KeyPlace(HKEY_LOCAL_MACHINE, record->view, WINLOGON_KEY, "", out, size);
    case ITEM_TASK2: {
        char file[PATH_SIZE];
        return TaskFileOf(name, file) ? FilePlace(file, out, size) : ENTRY_PLACE_NONE;
    }
    case ITEM_WIN_LOAD:
    case ITEM_WIN_RUN: {
        char file[PATH_SIZE];
        UINT length = GetWindowsDirectoryA(file, sizeof file);
        if (length == 0 || length >= sizeof file) return ENTRY_PLACE_NONE;
        AppendTextCut(file, sizeof file, "\\win.ini");
        return FilePlace(file, out, size);
    }
    case ITEM_STARTUP_FOLDER:
    case ITEM_HIDDEN:
        return FilePlace(name[0] ? name : record->path, out, size);
    case ITEM_TASK: {
        char folder[PATH_SIZE];
        if (!JobFolder(folder)) return ENTRY_PLACE_NONE;
        FormatTextCut(out, (size_t)size, "%s\\%s", folder, name);
        size_t used = strlen(out);
        if (used < 4 || lstrcmpiA(out + used - 4, ".job") != 0) AppendTextCut(out, (size_t)size, ".job");
        return ENTRY_PLACE_FILE;
    }
    default: {
        // Anything else lives where its program is.
        char file[PATH_SIZE];
        if (ResolveCommandPath(record->path, file) <= 0) return ENTRY_PLACE_NONE;
        return FilePlace(file, out, size);
    }
    }
}

int JumpToEntry(const Item *record)
{
    char place[PATH_SIZE + 256];
    int kind = EntryPlace(record, place, sizeof place);
    if (kind == ENTRY_PLACE_KEY) {
        // The Registry Editor opens at the key it showed last.
        char last[sizeof place + 16];
        FormatTextCut(last, sizeof last, "Computer\\%s", place);
        if (!StoreWriteString(HKEY_CURRENT_USER, kRegeditKey, "LastKey", last)) return 0;
        return (INT_PTR)ShellExecuteA(nullptr, "open", "regedit.exe", nullptr, nullptr, SW_SHOWNORMAL) > 32;
    }
    if (kind == ENTRY_PLACE_FILE) {
        if (!FileExists(place)) {
            // A file that is gone: its folder, when that is still there.
            int cut = FileNameIndex(place);
            if (cut <= 0) return 0;
            place[cut - 1] = 0;
            return (INT_PTR)ShellExecuteA(nullptr, "explore", place, nullptr, nullptr, SW_SHOWNORMAL) > 32;
        }
        char arguments[sizeof place + 16];
        FormatTextCut(arguments, sizeof arguments, "/select,\"%s\"", place);
        return (INT_PTR)ShellExecuteA(nullptr, "open", "explorer.exe", arguments, nullptr, SW_SHOWNORMAL) > 32;
    }
    return 0;
}
