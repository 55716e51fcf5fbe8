// Sentrel.exe: the task-change step. sentrelaux.dll posts a notice when a
// program starts or ends; when the count of running programs really
// changed, the categories watched in real time are checked at once.
#include "monitor.h"
#include "options.h"
#include "patrol.h"
#include "processes.h"
#include "items.h"
#include "store.h"
#include "trace.h"

int lastProcessCount;

int CheckTaskChange(void)
{
    TraceLog("* * * VERIFY TASKS", "Check for Task Change");
    int count = CountProcesses();
    if (count != lastProcessCount) {
        if (GetOption("Update", 0) != 0) {
            LoadOptions();
            StoreWriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "Update", "0");
        }
        if (settings.realtimeStartup) countdowns.start = 1;
        if (settings.realtimeIEHelper) countdowns.ieHelpers = 1;
        if (settings.realtimeSysFiles) countdowns.hostFile = 1;
        if (settings.realtimeStartPage) countdowns.startPage = 1;
        if (settings.realtimeFileType) countdowns.fileType = 1;
        if (settings.realtimeHidden) countdowns.hidden = 1;
        tickCounter = 16;
        groupToggle = 0;
        TraceLog("* * * * VERIFY TASKS", "NEW TASK DETECTED");
    }
    TraceTiming();
    lastProcessCount = count;
    FreeItems();
    return count;
}
