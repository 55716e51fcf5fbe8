// Hidden files of the watched places, and the vault.
#include "inventory.h"
#include "items.h"

int ListHiddenFiles(void)
{
    FreeItems();
    return 0;
}
