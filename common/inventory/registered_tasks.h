// Task Scheduler 2.0 tasks: every registered task of every folder, hidden
// ones too, as the scheduler lists them (ITaskService) and as its task
// store holds them (the XML files under System32\Tasks), merged by task
// path. A task is known by its path ("\Folder\Name"), exactly as the
// scheduler names it; its title is only shown.
#pragma once
#include <windows.h>

#include "items.h"
#include "store.h"
#include "task_files.h"

// The monitor's approvals of 2.0 tasks, beside those of the 1.0 jobs: one
// value per task, named by its path, data the item type in decimal; the
// signer of its program kept as for the jobs.
#define TASK2_BASELINE STORE_ROOT "\\Tasks2"
#define TASK2_SIGNERS  TASK2_BASELINE "\\Signers"

// What a listed task is, beyond its record.
struct RegisteredTaskFacts {
    TaskFile file;     // actions, triggers, author, enabled, hidden
    int listed;        // the scheduler listed it
    int stored;        // the task store has its file
};

// Appends the 2.0 tasks to the item list (it is not emptied): name and
// title the task path, path the first Exec action's command line (program
// quoted when it holds a blank, then its arguments; a COM handler's words
// when there is no Exec action), detail the next run time, info the last
// run time; a disabled task is a disabled record. Returns the number added.
int ListRegisteredTasks(void);

// The facts of a task of the last listing (any process-wide listing). 1
// when the task was listed, 0 otherwise.
int RegisteredTaskFactsOf(const char *taskPath, RegisteredTaskFacts *out);

// Deletes a task: through the scheduler, and its file only where the
// scheduler does not know the task (or left its file behind). The file is
// first kept in the vault (the copy's name is the history line's detail);
// a task whose file cannot be kept is not deleted. The history line has
// the given action (4 rejected at its alert, 15 removed on the page).
// S_OK when deleted, S_FALSE when there is no such task, else a failure.
HRESULT DeleteRegisteredTaskAs(const char *taskPath, int action);

// Sets a task's enabled flag: through the scheduler, else (a task the
// scheduler cannot change) in its file. Writes "TASK_Disable" or
// "TASK_Enable". S_OK, or the failure.
HRESULT SetRegisteredTaskEnabled(const char *taskPath, int enabled);

// Puts a removed task back from its copy in the vault: registered with the
// scheduler, else (no scheduler) its file put back; never over a task of
// that path. Writes "TASK_Restore". 1 or 0.
int RestoreRegisteredTask(const char *taskPath, const char *vaultName);

// 1 when the monitor approved the task (by its path) and its program's
// signer, if one was kept, still signs it.
int IsRegisteredTaskApproved(const Item &task);
