// Changes to startup entries: disable, enable, delete, reset.
#include "inventory.h"

int DeleteStartupEntry(const char *, const char *, const char *, int)
{
    return 0;
}
