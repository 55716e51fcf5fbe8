// Services: enumeration, start type and control.
#include "inventory.h"
#include "items.h"

int EnumerateServices(int)
{
    FreeItems();
    return 0;
}
