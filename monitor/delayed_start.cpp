// Sentrel.exe: the delayed start launcher. The timer calls it every sixth
// tick with the time since start-up; it starts each delayed program whose
// delay has come, unless that program already runs.
#include "delayed_start.h"

#include "checks.h"
#include "monitor.h"
#include "processes.h"
#include "program_files.h"
#include "store.h"
#include "text.h"

namespace {

void StartDelayed(HKEY root, const char *command)
{
    char program[PATH_SIZE], split[PATH_SIZE];
    if (SplitCommand(command, program, split) <= 0) RemoveQuotes(command, program, sizeof program);
    if (!program[0] || IsProgramRunning(program)) return;
    LaunchDelayedProgram(nullptr, root, command);
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
