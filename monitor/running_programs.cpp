// Sentrel.exe: the first-seen dates of running programs, refreshed after a
// pass in which programs were started or ended.
#include "checks.h"
#include "store.h"
#include "first_seen.h"
#include "items.h"
#include "processes.h"

void RecordRunningPrograms(void)
{
    // The list is left filled; its next user empties it.
    int count = CountProcesses();
    for (int i = 0; i < count; i++) RecordFirstSeen(GetItemPath(i), DETECTED_ACTIVETASKS);
}
