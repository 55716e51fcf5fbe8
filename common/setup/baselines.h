// The approved baselines: what a first run (or an update that brings new
// places) takes as approved, and the first-seen dates it starts from.
#pragma once

// First run and upgrade: fills the baselines and registers the monitor.
int CreateInitialValues(void);

// Fills the Run, IEHelpers and Tasks baselines from the current lists.
void InitRegStartups(void);

// Once per user: the places read since this store was made (Task
// Scheduler 2.0 tasks, the startup hooks) take what is there now as
// approved, as a first run does for every place, so that an update asks
// only about what comes later.
void BaselineNewPlaces(void);

// What names a baseline value of WriteItemBaseline.
enum BaselineNaming {
    BASELINE_BY_TITLE = 0,     // the item's title
    BASELINE_BY_COMMAND = 1,   // the item's command ("=" written ":")
    BASELINE_BY_NAME = 2,      // the item's exact name (scheduled tasks)
};

// Writes one baseline value per item of the item list (named as naming
// says; data = its type), then empties the list.
void WriteItemBaseline(const char *key, int naming);

// Creates the first-seen sets and records every program of every inventory.
void BuildFirstSeenSets(void);
