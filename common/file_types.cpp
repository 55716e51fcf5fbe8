// File type associations and their baselines.
#include "inventory.h"
#include "items.h"

int ListFileTypes(void)
{
    FreeItems();
    return 0;
}

void InitFileTypes(void)
{
}
