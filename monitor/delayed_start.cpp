// Sentrel.exe: the delayed start launcher. The timer calls it every sixth
// tick with the time since start-up; it starts each delayed program whose
// delay has come, unless that program already runs.
#include "delayed_start.h"

#include <shellapi.h>

#include "checks.h"
#include "monitor.h"
#include "processes.h"
#include "program_files.h"
#include "store.h"
#include "text.h"

namespace {
const char *const kDelayKeys[] = {DELAY_KEY,
                                  DELAY_KEY "\\Time",
                                  DELAY_KEY "\\Parameters",
                                  DELAY_KEY "\\Shortcuts",
                                  DELAY_KEY "\\Applet",
                                  DELAY_KEY "\\Title"};

void StartDelayed(HKEY root, const char *command)
{
    char parameters[256], program[PATH_SIZE], split[PATH_SIZE], applet[256];
    StoreReadString(root, DELAY_KEY "\\Parameters", command, parameters, sizeof parameters);
    if (SplitCommand(command, program, split) <= 0) RemoveQuotes(command, program, sizeof program);
    if (!program[0] || IsProgramRunning(program)) return;
    if (StoreReadString(root, DELAY_KEY "\\Applet", command, applet, sizeof applet) > 0 && applet[0]) {
        char line[PATH_SIZE];
        CopyTextCut(line, sizeof line, program);
        AppendTextCut(line, sizeof line, parameters);
        LaunchProgram(nullptr, applet, line);
    } else {
        LaunchProgram(nullptr, program, parameters);
    }
}
}  // namespace

// The launcher walks the delay keys only: it never touches the item list,
// which a check may be walking while its alert is open.
int LaunchDelayed(int seconds)
{
    const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    for (HKEY root : roots) {
        HKEY key;
        if (RegOpenKeyExA(root, DELAY_KEY "\\Time", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) continue;
        DWORD valueCount = 0;
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount, nullptr,
                         nullptr, nullptr, nullptr);
        // Starting a program may not change the key, but names are copied
        // out first so that the walk does not depend on it.
        for (DWORD index = 0; index <= valueCount; index++) {
            char name[256], data[256];
            DWORD nameSize = sizeof name, dataSize = sizeof data - 1, type = 0;
            LONG status = RegEnumValueA(key, index, name, &nameSize, nullptr, &type, (BYTE *)data, &dataSize);
            if (status == ERROR_NO_MORE_ITEMS) break;
            if (status != ERROR_SUCCESS || type != REG_SZ || !name[0]) continue;
            data[dataSize < sizeof data ? dataSize : sizeof data - 1] = 0;
            if (DecimalValue(data) != seconds) continue;
            StartDelayed(root, name);
            delayHandled++;
        }
        RegCloseKey(key);
    }
    return delayHandled;
}

int LaunchProgram(HWND owner, const char *file, const char *parameters)
{
    if (owner) SetForegroundWindow(owner);
    char state[32];
    int show = SW_SHOWNORMAL;
    if (StoreReadString(HKEY_CURRENT_USER, DELAY_KEY "\\OpenAs", file, state, sizeof state) > 0) {
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

void RemoveDelayEntry(HKEY root, const char *name)
{
    for (const char *key : kDelayKeys) StoreDeleteValue(root, key, name);
}
