// Facts about the running system.
#pragma once

// 1 on the Windows NT family, 0 on Windows 95, 98 and ME.
int IsNtFamily(void);

// The major version number of the system (6 = Vista).
int WindowsMajorVersion(void);
