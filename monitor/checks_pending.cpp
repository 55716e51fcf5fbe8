// Checks whose categories are not watched yet. Each moves to a file of its
// own when its category is built.
#include "checks.h"

void CheckHiddenFiles(void) {}
void CheckSystemFiles(void) {}
void CheckBrowserPages(void) {}
void CheckFileTypes(void) {}
void CheckScheduledTasks(void) {}
int IsTaskSchedulerRunning(void) { return 0; }
int CheckRestartCommands(int) { return 0; }
void CheckServicesPass(void) {}
void FilterCookies(void) {}
void FilterMozillaCookies(void) {}
int MozillaCookiesDue(void) { return 0; }
void CheckNewCookies(void) {}
void CheckUpdateSettings(void) {}
void RecordRunningPrograms(void) {}
