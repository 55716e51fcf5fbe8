// The patrol's checks, one per watched category. Each is called by the pass
// without arguments, reads the settings and the store itself, and sets
// inDialog around its alerts and alertShown when it alerts.
#pragma once

// Group A.
void StartupCheck(void);          // startup programs
int HasUnapprovedStartup(void);   // 1 when the startup list holds an entry the baseline lacks
int CheckIEHelpers(void);        // IE helpers; the number listed
void CheckHiddenFiles(void);
void CheckSystemFiles(void);      // monitored system files
void CheckBrowserPages(void);     // start, search and desktop pages
void CheckFileTypes(void);

// Group B.
void CheckScheduledTasks(void);
int IsTaskSchedulerRunning(void);
int CheckRestartCommands(int probe);
void CheckServicesPass(void);
void FilterCookies(void);
void FilterMozillaCookies(void);
int MozillaCookiesDue(void);      // the last cookie filter found a Mozilla-family browser
void CheckNewCookies(void);

// Every pass: the Windows Automatic Updates setting and the URL prefix.
void CheckUpdateSettings(void);

// After a pass with a real-time notice: first-seen dates of running programs.
void RecordRunningPrograms(void);

// Delayed start: launches the programs whose delay (in seconds) has come.
// Returns the number of delayed programs handled so far.
int LaunchDelayed(int seconds);
