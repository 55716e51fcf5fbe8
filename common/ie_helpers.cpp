// IE helpers: browser helper objects, toolbars and extensions.
#include "inventory.h"
#include "items.h"

int EnumerateIEHelpers(void)
{
    FreeItems();
    return 0;
}
