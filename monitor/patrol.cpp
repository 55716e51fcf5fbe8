// Sentrel.exe: the patrol. A 2-second timer drives it: every tick may start
// delayed programs and handle a real-time notice; every 17th tick runs a
// pass over one of the two groups of categories, each category at its own
// interval.
#include "patrol.h"

#include "checks.h"
#include "instant_watch.h"
#include "inventory.h"
#include "items.h"
#include "monitor.h"
#include "options.h"
#include "platform.h"
#include "trace.h"

DWORD (*patrolClock)(void) = GetTickCount;
int verifyCount;

namespace {
// A category runs when its countdown, counted down at each visit of its
// group, reaches zero; it then starts again from the interval. A countdown
// of 0 or less never runs and never changes.
int Fires(int *countdown, int interval)
{
    if (*countdown <= 0) return 0;
    --*countdown;
    if (*countdown >= 1) return 0;
    *countdown = interval;
    return 1;
}

void RunCheck(const char *label, void (*check)(void))
{
    TraceLog("VERIFY", label);
    check();
    TraceTiming();
}

void GroupA(void)
{
    SetPatrolStatus(157, 821);
    if (Fires(&countdowns.start, settings.start)) RunCheck("Startup Programs", StartupCheck);
    if (Fires(&countdowns.ieHelpers, settings.ieHelpers)) RunCheck("IE Helpers", [] { CheckIEHelpers(); });
    if (Fires(&countdowns.hidden, settings.hidden)) RunCheck("Hidden Files", CheckHiddenFiles);
    // Every Windows has them (a write-back the system refuses is said).
    if (Fires(&countdowns.hostFile, settings.hostFile)) RunCheck("Verify System Files", CheckSystemFiles);
    if (Fires(&countdowns.startPage, settings.startPage)) RunCheck("IE Start/Search Page", CheckBrowserPages);
    if (Fires(&countdowns.fileType, settings.fileType)) RunCheck("File Types", CheckFileTypes);
}

void GroupB(void)
{
    SetPatrolStatus(158, 824);
    if (Fires(&countdowns.tasks, settings.tasks) && IsTaskSchedulerRunning())
        RunCheck("Scheduled Tasks", CheckScheduledTasks);
    if (!IsNtFamily() && countdowns.winInit > 0) {
        if (--countdowns.winInit < 1 && settings.hideAlerts <= 1) {
            countdowns.winInit = settings.winInit;
            RunCheck("Win INIT file", CheckRestartCommandsPass);
        }
    }
    if (Fires(&countdowns.services, settings.services))
        RunCheck("Check for change to Services", CheckServicesPass);
    if (Fires(&countdowns.nuts, settings.nuts)) RunCheck("Filter Cookies", FilterCookies);
    if (MozillaCookiesDue()) RunCheck("Filter Mozilla Cookies", FilterMozillaCookies);
    if (Fires(&countdowns.cookies, settings.cookies)) RunCheck("Check for New Cookies", CheckNewCookies);
}
}  // namespace

int VerifyPass(void)
{
    TraceLog("VERIFY", "Enter Verify function");
    TraceTiming();
    if (inDialog || verifyBusy) return 1;

    alertShown = 0;
    FreeItems();
    verifyBusy = 1;
    if (verifyCount++ > 60) {
        // Every 62nd pass: a lost icon comes back.
        TrayIcon(2, 0, 0);
        TrayIcon(0, 101, 820);
        verifyCount = 0;
    }

    DWORD now = patrolClock();
    DWORD elapsed = now - lastVerifyTick;
    lastVerifyTick = now;
    if (elapsed < 1000) {
        verifyBusy = 0;
        TraceLog("VERIFY", "Exit Early because we recently did a verify");
        TraceTiming();
        return 0;
    }

    UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    TraceLog("VERIFY", "Verify Automatica Updates");
    CheckUpdateSettings();
    TraceTiming();

    if (groupToggle == 0)
        GroupA();
    else
        GroupB();

    if (ItemCount() > 0) FreeItems();
    FreeCookies();
    if (taskChangeFlag) RecordRunningPrograms();
    groupToggle = groupToggle == 0 ? 1 : 0;

    SetPatrolStatus(TrayIdleIcon(), 820);

    DWORD finished = patrolClock();
    if (finished - lastVerifyTick > 1000) {
        TraceLog("CATCH", "MonitorTimer > 1000");
        TraceTiming();
        lastVerifyTick = finished;
    }
    verifyBusy = 0;
    SetErrorMode(previousMode);
    TraceLog("VERIFY", "Exit Normal Verify");
    TraceTiming();
    return 1;
}

void OnPatrolTick(void)
{
    if (delayHandled < delayTotal && delaySubTicks++ > 4) {
        delayStep++;
        LaunchDelayed(delayStep * 10);
        delaySubTicks = 0;
    }

    if (expressBootCountdown-- < 1) expressBootCountdown = 0;

    if (tickCounter++ > 15) {
        if (expressBootCountdown > 0) return;
        PlacePassStarting();
        int ran = VerifyPass();
        tickCounter = 0;
        settings.hideAlerts = 0;
        taskChangeFlag = 0;
        conflictCount = 0;
        PlacePassEnded(ran);
        return;
    }

    // Changes to watched places that had to wait (alert, pass, express boot).
    PlaceTick();

    if (!taskChangeFlag) {
        conflictCount = 0;
        return;
    }
    if (inDialog || verifyBusy || expressBootCountdown > 0) return;
    if (conflictCount++ < 3) {
        CheckTaskChange();
        taskChangeFlag = 0;
        return;
    }
    // Notices on every tick: something restarts over and over.
    TraceLog("RID", "Possible System Conflict");
    Sleep(50);
    conflictCount = 0;
    TraceTiming();
    taskChangeFlag = 0;
}
