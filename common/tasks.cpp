// Scheduled tasks through the Task Scheduler.
#include "inventory.h"
#include "items.h"

int EnumerateTasks(void)
{
    FreeItems();
    return 0;
}
