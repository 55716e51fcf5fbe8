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

// 1 on 64-bit Windows, whose HKLM Software has a second, 32-bit view that
// 32-bit programs write to; 0 on 32-bit Windows and Windows 9x.
int HasRegistryViews(void);

// Tests: pretend 32-bit Windows (0) or 64-bit Windows (1); -1 returns to
// the real system.
void PretendRegistryViews(int views);
