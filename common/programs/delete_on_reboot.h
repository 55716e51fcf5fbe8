// Files that cannot go at once (in use, or kept by a running program) go at
// the next restart.
#pragma once

// Has the file deleted at the next restart, before Windows is fully loaded:
// its attributes are cleared, then NT-family systems are asked to delete it
// at the restart; older systems get the line "NUL=<short path>" in the
// [rename] section of wininit.ini in the Windows folder. 1 when scheduled.
int DeleteOnReboot(const char *file);
