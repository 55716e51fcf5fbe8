// The inventories that the store's start-up initialisation and the
// monitor's start and exit call. Each one empties the item list and fills
// it with what it finds.
#pragma once

#include <windows.h>

// IE helpers: browser helper objects, toolbars, extensions. Item count.
int EnumerateIEHelpers(void);

// Services (namesOnly: titles only, for the quick check). Returns 0.
int EnumerateServices(int namesOnly);

// Scheduled tasks. Item count (0 when the scheduler cannot be started).
int EnumerateTasks(void);

// File type associations: one item per extension and method. Item count.
int ListFileTypes(void);

// Makes sure the file type baselines exist.
void InitFileTypes(void);

// Hidden files of the watched places. Item count.
int ListHiddenFiles(void);

// Registers a monitored system file and copies it to the copy folder. 1 when copied.
int AddMonitoredFile(const char *name, const char *path, const char *description, int type);

// The HOSTS file of this system.
int GetHostsPath(char *out, int size);

// Frees the cookie list.
void FreeCookies(void);
