// Running programs: enumeration and termination.
#include "inventory.h"

int EnumerateProcesses(ProcessVisitor, void *)
{
    return 0;
}
