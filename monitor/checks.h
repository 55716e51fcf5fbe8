// The patrol's checks, one per watched category. Each is called by the pass
// without arguments, reads the settings and the store itself, and sets
// inDialog around its alerts and alertShown when it alerts.
#pragma once
#include <windows.h>

// Group A.
void StartupCheck(void);          // startup programs
int HasUnapprovedStartup(void);   // 1 when the startup list holds an entry the baseline lacks
int CheckIEHelpers(void);        // IE helpers; the number listed
void CheckHiddenFiles(void);
void CheckSystemFiles(void);      // monitored system files
// One monitored file (its Sysfiles subkey name and path): 1 when the file
// change alert ended with a successful accept or reject.
int CheckMonitoredFile(const char *name, const char *path);
void CheckBrowserPages(void);     // start, search and desktop pages
void CheckFileTypes(void);

// Group B.
void CheckScheduledTasks(void);
int IsTaskSchedulerRunning(void);
// Restart commands (wininit.ini): 1 when the file has content; without
// probe the viewer shows it (or a message says there is none).
int CheckRestartCommands(int probe);
// The patrol's step: asks once per run whether to show the commands.
void CheckRestartCommandsPass(void);
void CheckServicesPass(void);
int CheckServices(void);         // 1 when a listed service name is not in the baseline
void FilterCookies(void);
void FilterMozillaCookies(void);
int MozillaCookiesDue(void);      // the last cookie filter found a Mozilla-family browser
void CheckNewCookies(void);

// Every pass: the Windows Automatic Updates setting and the URL prefix. 1
// when the Automatic Updates baseline was missing or out of range.
int CheckUpdateSettings(void);

// After a pass with a real-time notice: first-seen dates of running programs.
void RecordRunningPrograms(void);

// Delayed start: launches the programs whose delay (in seconds) has come.
// Returns the number of delayed programs handled so far.
int LaunchDelayed(int seconds);

// Asks about a changed setting with a message box: the string's template
// filled with the two texts (as arguments, never as a format; a text over
// 511 characters shown by its ends, long runs without a blank broken into
// lines). Returns the answer (IDYES, IDNO), 0 when nothing could be shown.
int AskAboutSetting(UINT message, const char *first, const char *second, const char *caption, UINT icon);
