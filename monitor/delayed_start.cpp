// Sentrel.exe: the delayed start launcher. The timer calls it every sixth
// tick with the time since start-up; it starts each delayed program whose
// delay has come, unless that program already runs.
#include "delayed_start.h"

#include <cstdlib>

#include "checks.h"
#include "growing_array.h"
#include "items.h"
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
        // Starting a program may change the key: the names due now are
        // copied out first, so that the walk does not depend on it.
        char **due = nullptr;
        int count = 0, room = 0;
        StoreForEachValue(root, 0, DELAY_KEY "\\Time", [&](const char *name, const StoreBlob *value) {
            if (value->type != REG_SZ || !name[0] || DecimalValue((const char *)value->data) != seconds) return 1;
            if (!MakeRoomForOne(due, count, room, 8)) return 0;
            due[count] = DuplicateText(name);
            if (due[count]) count++;
            return 1;
        });
        for (int i = 0; i < count; i++) {
            StartDelayed(root, due[i]);
            delayHandled++;
            free(due[i]);
        }
        free(due);
    }
    return delayHandled;
}
