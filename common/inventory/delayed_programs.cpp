// The delayed-start list: reading and writing a program's values, putting
// programs back into Windows' startup and starting them.
#include "delayed_programs.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>

#include "items.h"
#include "platform.h"
#include "program_files.h"
#include "registry_views.h"
#include "startup_changes.h"
#include "startup_list.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"

// A delayed shortcut keeps its arguments in the delay values.
static_assert(DELAY_TEXT_SIZE == SHORTCUT_TEXT_SIZE, "shortcut arguments fit the delay values");

namespace {

const char *const kDelayValues[] = {"", DELAY_TIME, DELAY_PARAMETERS, DELAY_SHORTCUTS,
                                    DELAY_APPLET, DELAY_TITLE, DELAY_VIEW, DELAY_FOLDER, DELAY_ORIGINAL};

int DelaySubkey(const char *which, char *out, int size)
{
    if (!which || !which[0]) return (int)CopyText(out, (size_t)size, DELAY_KEY);
    return (int)FormatText(out, (size_t)size, "%s\\%s", DELAY_KEY, which);
}

// A value read whole: its length, 0 when it is missing (empty text), -1
// when it exists but is not text or does not fit. Using such a value would
// restore or start something other than what was delayed.
int ReadWhole(HKEY hive, const char *which, const char *program, char *out, int size)
{
    char subkey[128];
    out[0] = 0;
    if (!DelaySubkey(which, subkey, sizeof subkey)) return -1;
    StoreBlob value;
    if (!StoreReadBlob(hive, 0, subkey, program, &value)) return 0;
    int length = -1;
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        length = CopyText(out, (size_t)size, (const char *)value.data) || !value.data[0]
                     ? (int)strlen(out)
                     : -1;
    } else if (value.type == REG_BINARY && strcmp(which, DELAY_TITLE) == 0) {
        // The exact name of an entry whose name holds a NUL.
        char *name = StoreNameOfBlob(&value);
        if (name && CopyText(out, (size_t)size, name)) length = (int)strlen(out);
        free(name);
    }
    StoreFreeBlob(&value);
    return length;
}

int IsRunType(int type)
{
    return (type >= 1 && type <= 7) || (type >= 11 && type <= 17);
}

// 1 when a command's parameters are those given (the delay's parameters were
// not changed since the value was kept).
int SameParameters(const char *command, const char *parameters)
{
    char file[PATH_SIZE], own[DELAY_TEXT_SIZE];
    if (SplitCommand(command, file, own) <= 0) own[0] = 0;
    return strcmp(own, parameters ? parameters : "") == 0;
}

// A Run-family or win.ini entry written back: where nothing is now, or
// where the very same value stands already (a second Restore, a program
// that wrote itself back the same); anything else there is left alone
// (0 with ERROR_ALREADY_EXISTS).
int PutBackStartupValue(int view, const char *name, int type, const StoreBlob *value, const char *detail)
{
    HKEY root;
    const char *live;
    if (RunLocation(type, &root, &live)) {
        REGSAM flag = root == HKEY_LOCAL_MACHINE ? RegistryViewFlag(view) : 0;
        StoreBlob there;
        if (StoreReadBlob(root, flag, live, name, &there)) {
            int same = StoreSameBlob(&there, value);
            StoreFreeBlob(&there);
            if (!same) SetLastError(ERROR_ALREADY_EXISTS);
            return same;
        }
        return StoreWriteBlob(root, flag, live, name, value);
    }
    return RestoreStartupEntryIn(view, name, (const char *)value->data, detail, type);
}

// A Startup-folder entry goes back as its shortcut, with the parameters and
// working folder it had.
int RestoreShortcut(const char *shortcut, const char *program, const char *parameters, const char *folder,
                    const char *title)
{
    if (!shortcut[0]) return 0;
    char workFolder[PATH_SIZE];
    if (folder[0]) {
        CopyTextCut(workFolder, sizeof workFolder, folder);
    } else {
        CopyTextCut(workFolder, sizeof workFolder, program);
        int cut = FileNameIndex(workFolder);
        workFolder[cut > 0 ? cut - 1 : 0] = 0;
    }
    char arguments[DELAY_TEXT_SIZE];
    SkipBlanks(parameters, arguments, sizeof arguments);
    if (!CreateShortcut(shortcut, program, arguments, workFolder, title, program, 0)) return 0;
    char baseline[PATH_SIZE];
    if (StartupBaselineName(program, baseline) > 0)
        StoreWriteDecimal(HKEY_CURRENT_USER, STORE_ROOT "\\Run", baseline, ITEM_STARTUP_FOLDER);
    return 1;
}

}  // namespace

int KeepOriginalStartupValue(HKEY hive, const char *program, HKEY root, int view, const char *live,
                             const char *name)
{
    char subkey[128];
    StoreBlob value;
    if (!program || !DelaySubkey(DELAY_ORIGINAL, subkey, sizeof subkey) ||
        !StoreReadBlob(root, RegistryViewFlag(view), live, name, &value))
        return 0;
    int kept = StoreWriteBlob(hive, 0, subkey, program, &value);
    StoreFreeBlob(&value);
    return kept;
}

HKEY DelayHive(const Item &record)
{
    return record.qualifier == 1 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

int ReadDelayValue(HKEY hive, const char *which, const char *program, char *out, int size)
{
    char subkey[128];
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!program || !DelaySubkey(which, subkey, sizeof subkey)) return 0;
    return StoreReadString(hive, subkey, program, out, size);
}

int WriteDelayValue(HKEY hive, const char *which, const char *program, const char *text)
{
    char subkey[128];
    if (!program || !DelaySubkey(which, subkey, sizeof subkey)) return 0;
    return StoreWriteString(hive, subkey, program, text ? text : "");
}

long DelaySeconds(HKEY hive, const char *program)
{
    char text[32];
    if (ReadDelayValue(hive, DELAY_TIME, program, text, sizeof text) <= 0) return 0;
    long seconds = DecimalValue(text);
    return seconds > 0 ? seconds : 0;
}

int FormatDelayTime(long seconds, char *out, int size)
{
    char minutesWord[32], secondsWord[32];
    LoadUiString(1121, minutesWord, sizeof minutesWord);
    LoadUiString(1122, secondsWord, sizeof secondsWord);
    if (seconds < 0) seconds = 0;
    if (seconds / 60 > 0)
        return (int)FormatTextCut(out, (size_t)size, "%ld %s : %ld %s", seconds / 60, minutesWord, seconds % 60,
                                  secondsWord);
    return (int)FormatTextCut(out, (size_t)size, "%ld %s", seconds, secondsWord);
}

int DelayedCommand(const char *program, const char *parameters, const char *applet, char *out, int size)
{
    out[0] = 0;
    if (!program || !program[0]) return 0;
    // A file with a blank in it is quoted, so that it stays one file.
    int quote = strchr(program, ' ') && program[0] != '"';
    char command[DELAY_TEXT_SIZE * 2];
    if (!FormatText(command, sizeof command, quote ? "\"%s\"" : "%s", program)) return 0;
    if (parameters && parameters[0]) {
        if (parameters[0] != ',' && parameters[0] != ' ' && !AppendText(command, sizeof command, " ")) return 0;
        if (!AppendText(command, sizeof command, parameters)) return 0;
    }
    if (applet && applet[0]) return (int)FormatText(out, (size_t)size, "%s %s", applet, command);
    return (int)CopyText(out, (size_t)size, command);
}

int AddDelayedProgram(const char *file, int allUsers)
{
    if (!file || !file[0]) return 0;
    HKEY hive = allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    if (!StoreCreateKey(hive, DELAY_KEY "\\" DELAY_TIME)) return 0;
    if (WriteDelayValue(hive, "", file, allUsers ? "1" : "11") && WriteDelayValue(hive, DELAY_TIME, file, "30"))
        return 1;
    RemoveDelayEntry(hive, file);
    return 0;
}

int RestoreDelayedProgram(const Item &record)
{
    const char *program = record.name;
    if (!program || !program[0]) return 0;
    HKEY hive = DelayHive(record);
    char parameters[DELAY_TEXT_SIZE], applet[DELAY_TEXT_SIZE], name[DELAY_TEXT_SIZE], view[8],
        folder[PATH_SIZE], shortcut[PATH_SIZE];
    // Parameters or a name that cannot be read whole would put back a
    // different entry: it stays delayed instead.
    if (ReadWhole(hive, DELAY_PARAMETERS, program, parameters, sizeof parameters) < 0 ||
        ReadWhole(hive, DELAY_APPLET, program, applet, sizeof applet) < 0 ||
        ReadWhole(hive, DELAY_TITLE, program, name, sizeof name) < 0 ||
        ReadWhole(hive, DELAY_FOLDER, program, folder, sizeof folder) < 0 ||
        ReadWhole(hive, DELAY_SHORTCUTS, program, shortcut, sizeof shortcut) < 0)
        return 0;
    ReadDelayValue(hive, DELAY_VIEW, program, view, sizeof view);
    if (!name[0]) CopyTextCut(name, sizeof name, record.title);
    int entryView = IsRunType(record.type) && record.type < 10 && TextEqualNoCase(view, "32") &&
                            HasRegistryViews()
                        ? VIEW_32
                        : VIEW_NATIVE;

    int restored = 0;
    if (record.type == ITEM_STARTUP_FOLDER) {
        // Never over a file of that name that is there now.
        if (shortcut[0] && GetFileAttributesA(shortcut) != INVALID_FILE_ATTRIBUTES) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return 0;
        }
        restored = RestoreShortcut(shortcut, program, parameters, folder, name);
    } else {
        if (!name[0]) return 0;
        char command[DELAY_TEXT_SIZE * 2];
        if (!DelayedCommand(program, parameters, applet, command, sizeof command)) return 0;
        // The value as it was, byte for byte, while its parameters are the
        // ones it had; else the command made of program and parameters.
        StoreBlob value = {}, original = {};
        char subkey[128];
        int exact = IsRunType(record.type) && DelaySubkey(DELAY_ORIGINAL, subkey, sizeof subkey) &&
                    StoreReadBlob(hive, 0, subkey, program, &original) &&
                    (original.type == REG_SZ || original.type == REG_EXPAND_SZ) &&
                    SameParameters((const char *)original.data, parameters);
        if (exact) {
            value = original;
        } else {
            StoreFreeBlob(&original);
            value.type = REG_SZ;
            value.size = (DWORD)strlen(command) + 1;
            value.data = (BYTE *)command;
        }
        restored = PutBackStartupValue(entryView, name, record.type, &value, shortcut);
        StoreFreeBlob(&original);
    }
    if (!restored) return 0;
    RemoveDelayEntry(hive, program);
    if (record.type != ITEM_STARTUP_FOLDER) ApproveStartupEntry(record.type, entryView, name);
    return 1;
}

int ApproveStartupEntry(int type, int view, const char *name)
{
    int found = 0;
    BuildStartupList(0);
    for (int i = 0; i < ItemCount() && !found; i++) {
        const Item *item = GetItem(i);
        if (item->type != type || item->view != view || item->disabled || strcmp(item->name, name) != 0) continue;
        char baseline[PATH_SIZE];
        if (StartupBaselineNameIn(view, item->path, baseline) > 0)
            found = StoreWriteDecimal(HKEY_CURRENT_USER, STORE_ROOT "\\Run", baseline, type);
    }
    FreeItems();
    return found;
}

int RestoreAllDelayed(void)
{
    int count = ListDelayedPrograms();
    // Copies first: restoring changes what a new listing would hold.
    Item *records = count > 0 ? new (std::nothrow) Item[count] : nullptr;
    if (count > 0 && !records) return count;
    int copied = 0;
    for (int i = 0; i < count; i++)
        if (CopyItemRecord(&records[copied], GetItem(i))) copied++;
    FreeItems();
    int failed = count - copied;
    for (int i = 0; i < copied; i++) {
        if (!RestoreDelayedProgram(records[i])) failed++;
        ReleaseItemCopy(&records[i]);
    }
    delete[] records;
    return failed;
}

void RemoveDelayEntry(HKEY root, const char *name)
{
    char subkey[128];
    for (const char *which : kDelayValues)
        if (DelaySubkey(which, subkey, sizeof subkey)) StoreDeleteValue(root, subkey, name);
}

int LaunchProgram(HWND owner, const char *file, const char *parameters)
{
    if (owner) SetForegroundWindow(owner);
    char state[32];
    int show = SW_SHOWNORMAL;
    if (StoreReadString(HKEY_CURRENT_USER, DELAY_KEY "\\" DELAY_OPEN_AS, file, state, sizeof state) > 0) {
        long openAs = DecimalValue(state);
        if (openAs == 1) show = SW_SHOWMINIMIZED;
        else if (openAs == 2) show = SW_SHOWMAXIMIZED;
    }
    SHELLEXECUTEINFOA execute = {};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_FLAG_NO_UI;   // a start that fails is not reported
    execute.lpVerb = "open";
    execute.lpFile = file;
    execute.lpParameters = parameters && parameters[0] ? parameters : nullptr;
    execute.nShow = show;
    if (ShellExecuteExA(&execute)) return 0;
    if (WinExec(file, (UINT)show) >= 32) return 0;
    return (int)(INT_PTR)execute.hInstApp;
}

int LaunchDelayedProgram(HWND owner, HKEY hive, const char *command)
{
    char parameters[DELAY_TEXT_SIZE], program[PATH_SIZE], split[PATH_SIZE], applet[256];
    ReadDelayValue(hive, DELAY_PARAMETERS, command, parameters, sizeof parameters);
    if (SplitCommand(command, program, split) <= 0) RemoveQuotes(command, program, sizeof program);
    if (!program[0]) return ERROR_FILE_NOT_FOUND;
    if (ReadDelayValue(hive, DELAY_APPLET, command, applet, sizeof applet) > 0) {
        char line[PATH_SIZE];
        CopyTextCut(line, sizeof line, program);
        AppendTextCut(line, sizeof line, parameters);
        return LaunchProgram(owner, applet, line);
    }
    return LaunchProgram(owner, program, parameters);
}
