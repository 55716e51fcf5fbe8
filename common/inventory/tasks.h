// Scheduled tasks: the jobs of the Windows Task Scheduler, read and deleted
// through its COM interface. The scheduler only answers while it runs, so
// each operation makes sure it runs and stops it again when it was started
// here. EnumerateTasks (inventory.h) lists the jobs into the item list; the
// other operations walk the scheduler's own list and leave the item list
// alone, so a check or a page can call them while it walks its records.
#pragma once
#include <windows.h>

#include "items.h"
#include "store.h"

// The monitor's record of approved jobs: one value per job, named by the
// job's exact name, data its item type in decimal.
#define TASK_BASELINE STORE_ROOT "\\Tasks"
// A job is approved by a non-zero number under its exact name. The title
// is not enough: two jobs whose long names share their first 127
// characters would share it.
// An approval also keeps the signer of the job's program (TASK_SIGNERS): a
// job whose program's signature no longer names it is not approved.
#define TASK_SIGNERS TASK_BASELINE "\\Signers"
int IsTaskApproved(const Item &job);

// The folder the scheduler keeps its jobs in: the one its settings name, by
// default "Tasks" in the Windows folder. 1 or 0.
int JobFolder(char *folder /* PATH_SIZE */);

// The extension that the scheduler's names carry and that activation and
// deletion do without.
#define TASK_JOB_EXTENSION ".job"

// 0 when the scheduler runs (or was started now), else the system error.
int StartTaskScheduler(void);
// 1 when the scheduler runs.
int IsTaskSchedulerRunning(void);
// Stops the scheduler: 0 when stopped or not running; 1 when the service
// refused to stop or no agent was found; else the system error.
int StopTaskScheduler(void);
// 1 while the scheduler runs because this program started it.
int TaskSchedulerStartedHere(void);

// Deletes the job of that exact name (as EnumerateTasks gives it; a name
// differing only in the case of its letters is taken when no exact one
// exists) and writes the removal to the history. S_OK when deleted, S_FALSE
// when no job has the name, a failure code when the scheduler could not be
// reached or refused the deletion.
// The job file is first copied into the vault (its copy's name is the
// history line's detail); a job that cannot be kept is not deleted.
HRESULT DeleteScheduledTask(const char *name);
// The same, written to the history with the given action (4: rejected at
// its alert; 15: removed on the Scheduled Tasks page).
HRESULT DeleteScheduledTaskAs(const char *name, int action);

// Puts a removed job back from its copy in the vault (the name its history
// line gives), never over a job of that name; writes "TASK_Restore". 1 or 0.
int RestoreScheduledTask(const char *name, const char *vaultName);

// The next run time text of the named job; an empty text when the job is
// not found. Returns the text's length.
int NextRunTimeOf(const char *name, char *out, int size);

// "month/day/year  h:mm AM" ("%02u/%02u/%04u  %u:%02u AM|PM"); a time that
// is no calendar time (all zeros, year 0, a month, day, hour or minute out
// of range) is "Never" (string 686). Returns the length.
int FormatRunTime(const SYSTEMTIME *time, char *out, int size);

// The job's name as the Scheduled Tasks page shows it: without its job
// extension. Returns the length.
int TaskShownName(const char *name, char *out, int size);

// Tests: the scheduler object the operations connect to (null: the system's).
struct ITaskScheduler;
typedef HRESULT (*TaskSchedulerSource)(ITaskScheduler **out);
void SetTaskSchedulerSource(TaskSchedulerSource source);
