// Facts about the running system. Every check of the Windows family or
// version goes through here, so tests can pretend another system.
#pragma once

// 1 on the Windows NT family, 0 on Windows 95, 98 and ME.
int IsNtFamily(void);

// The major version number of the system (6 = Vista).
int WindowsMajorVersion(void);

// Tests: pretend a platform id (1 = Windows 9x, 2 = NT) and major version;
// 0, 0 returns to the real system.
void PretendPlatform(int platformId, int majorVersion);
