// First-run and upgrade initialisation of the store.
#pragma once

#define STORE_VERSION "12.5.2007.0"

// Run by each program at start before anything else reads the store.
void InitStore(void);

// Empties the Run, IEHelpers and Tasks baselines and fills them again from
// the current lists.
void RebuildBaselines(void);
