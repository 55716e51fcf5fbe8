// Sentrel.exe: the patrol tick.
#include "monitor.h"

void OnPatrolTick(void)
{
    if (expressBootCountdown-- < 1) expressBootCountdown = 0;
    tickCounter++;
}
