// Running programs: the process walk, the list of running programs, and
// stopping one.
#pragma once
#include <windows.h>

// Called for each process (and each 16-bit task inside NTVDM) with its id,
// the task handle (0 for a process) and its program file name (empty when
// the process cannot be opened). Return 0 to stop the walk.
typedef int (*ProcessVisitor)(DWORD processId, WORD task, const char *file, void *context);

// 1 when the walk ran, 0 when the platform's libraries are missing.
int EnumerateProcesses(ProcessVisitor visit, void *context);

// Empties the item list and fills it with the running programs, one item
// per program file (type 600, qualifier = the first process id). Returns the count.
int CountProcesses(void);

// 1 when a process runs the program (a bare file name matches any folder).
int IsProgramRunning(const char *path);

// Stops the first process running the program, after asking when confirm
// is set (string 707). Returns the process id found, 0 when none.
DWORD StopProgram(const char *path, const char *title, int confirm);

// Stops the process of that id, but only while it still runs the program
// file path (an id can be given to another program once its process ends).
// 1 when terminated; 0 with the last error set.
int StopProcess(DWORD processId, const char *path);
