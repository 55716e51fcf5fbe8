// The task store of Task Scheduler 2.0: one XML file per task under
// System32\Tasks, in folders as the scheduler's folders are. A task file is
// read here as Windows writes it (UTF-16 with its byte-order mark) or as
// UTF-8, into what the lists and alerts show of a task: its actions, its
// triggers in words, whether it is enabled or hidden, and its author.
#pragma once
#include <windows.h>

#define TASK_TEXT_SIZE 1024
#define TASK_FILE_MAX  (1024 * 1024)   // no task file is larger; a larger one is read up to this

struct TaskFile {
    char command[TASK_TEXT_SIZE];     // the first Exec action: its program, and its arguments
    char arguments[TASK_TEXT_SIZE];
    char actions[TASK_TEXT_SIZE];     // every action in words, the first one first
    char triggers[TASK_TEXT_SIZE];    // "At logon, Daily at 03:00", ...
    char author[TASK_TEXT_SIZE];
    int enabled;                      // Settings: Enabled (true unless it says false)
    int hidden;                       // Settings: Hidden
    int actionCount;
};

// Reads a task from the bytes of its file. Returns 1 when the text was
// XML of a task (a file that is no task still gives what could be read).
int ParseTaskFile(const char *bytes, size_t length, TaskFile *task);

// Reads a task file. 1 when read, 0 when it cannot be opened.
int ReadTaskFile(const char *path, TaskFile *task);

// The bytes of a task file (up to TASK_FILE_MAX), on the heap (free()),
// followed by two zero bytes; length receives their count. Null when the
// file cannot be read.
char *ReadTaskBytes(const char *path, DWORD *length);

// An Exec action as a command line: the program, quoted when it holds a
// blank, then its arguments.
void TaskCommandLine(const char *command, const char *arguments, char *out, size_t size);

// The folder of the task store ("...\System32\Tasks"). Returns its length.
int TaskStoreFolder(char *out /* PATH_SIZE */);

// Calls visit(path, file) for every task file of the store, folders walked
// in full: path is the task's path as the scheduler names it ("\Folder\Name")
// and file the file's own path. Stops when visit returns 0. Returns the
// number of files visited.
typedef int (*TaskFileVisitor)(const char *taskPath, const char *file, void *context);
int ForEachTaskFile(TaskFileVisitor visit, void *context);

// The file of a task path in the store; 0 for a path that would lead out of
// the store ("..", a drive, an empty part).
int TaskFileOf(const char *taskPath, char *out /* PATH_SIZE */);

// Sets Settings/Enabled in the bytes of a task file, as it is written
// (UTF-16 or UTF-8). Returns a new buffer (free()) and its length, or null
// when the file has no task in it or memory is short.
char *TaskFileWithEnabled(const char *bytes, size_t length, int enabled, size_t *newLength);
