#include "always_run.h"

#include <initializer_list>

#include "data_folders.h"
#include "folder_walk.h"
#include "history.h"
#include "ie_helpers.h"
#include "inventory.h"
#include "items.h"
#include "program_files.h"
#include "registered_tasks.h"
#include "signatures.h"
#include "startup_changes.h"
#include "startup_hooks.h"
#include "startup_list.h"
#include "store.h"
#include "tasks.h"
#include "text.h"
#include "trace.h"
#include "ui_strings.h"

int alwaysRun;

namespace {
// 1 when the command's program file is the file of that name in the
// program's own folder.
int StartsOwnProgram(const char *command, const char *fileName, char *parameters /* PATH_SIZE */)
{
    char folder[PATH_SIZE], own[PATH_SIZE], file[PATH_SIZE], longFile[PATH_SIZE];
    parameters[0] = 0;
    if (!command || !GetProgramFolder(folder) || !JoinPath(own, sizeof own, folder, fileName)) return 0;
    if (SplitCommand(command, file, parameters) <= 0) return 0;
    GetLongPath(longFile, file);
    return TextEqualNoCase(longFile[0] ? longFile : file, own);
}
}  // namespace

int IsOwnRegistration(const char *command)
{
    char parameters[PATH_SIZE];
    if (!StartsOwnProgram(command, "Sentrel.exe", parameters)) return 0;
    return !parameters[0] || TextEqualNoCase(parameters, " -expressboot");
}

namespace {
// The Run value under which the monitor is registered, found by name ("Sentrel",
// or "Sentrel Zenta" of older versions) and by what it starts; 0 when none is.
int FindOwnRegistration(char *name, int nameSize, char *command, int commandSize)
{
    for (UINT id : {2u, 622u}) {
        if (LoadUiString(id, name, nameSize) > 0 &&
            StoreReadString(HKEY_LOCAL_MACHINE, MACHINE_RUN_KEY, name, command, commandSize) > 0 &&
            IsOwnRegistration(command))
            return 1;
    }
    return 0;
}
}  // namespace

int IsAlwaysRun(void)
{
    char name[64], command[1025];
    return FindOwnRegistration(name, sizeof name, command, sizeof command);
}

int SetAlwaysRun(int on)
{
    if (!on) {
        // Only the monitor's own value, found by its identity; a look-alike
        // or the user's own entries are never touched.
        char name[64], command[1025];
        if (!FindOwnRegistration(name, sizeof name, command, sizeof command)) return 0;
        if (!StoreDeleteValue(HKEY_LOCAL_MACHINE, MACHINE_RUN_KEY, name)) return 0;
        char baseline[PATH_SIZE];
        if (StartupBaselineName(command, baseline) > 0) StoreDeleteValue(HKEY_CURRENT_USER, STORE_ROOT "\\Run", baseline);
        WriteHistory(name, command, "", 1, 0);
        alwaysRun = 0;
        return 1;
    }

    char folder[PATH_SIZE], command[PATH_SIZE + 32], name[64];
    GetProgramFolder(folder);
    FormatText(command, sizeof command, "%s\\sentrel.exe -expressboot", folder);
    LoadUiString(2, name, sizeof name);
    int written = name[0] && StoreWriteString(HKEY_LOCAL_MACHINE, MACHINE_RUN_KEY, name, command);
    if (written) alwaysRun = 1;

    // The monitor's own entry is approved, so the patrol never asks about it.
    char baseline[PATH_SIZE];
    StartupBaselineName(command, baseline);
    StoreWriteString(HKEY_CURRENT_USER, STORE_ROOT "\\Run", baseline, "1");
    return written;
}

int RemoveOwnStartupEntries(int remove)
{
    int found = 0;
    BuildStartupList(0);
    // Each entry that starts one of the programs is removed as the entry it
    // is (its own location and name), whatever it is called.
    for (int i = 0; i < ItemCount(); i++) {
        const Item *item = GetItem(i);
        char parameters[PATH_SIZE];
        int monitor = StartsOwnProgram(item->path, "Sentrel.exe", parameters);
        int explorer = StartsOwnProgram(item->path, "SentrelEx.exe", parameters);
        if (monitor) found++;
        if ((monitor || explorer) && remove == 1) DeleteStartupEntry(StartupRefOf(*item));
    }
    return found > 0;
}
