#include "platform.h"

#include <windows.h>

static const OSVERSIONINFOA &Version(void)
{
    static OSVERSIONINFOA version;
    if (version.dwOSVersionInfoSize == 0) {
        version.dwOSVersionInfoSize = sizeof version;
        GetVersionExA(&version);
    }
    return version;
}

int IsNtFamily(void)
{
    return Version().dwPlatformId == VER_PLATFORM_WIN32_NT;
}

int WindowsMajorVersion(void)
{
    return (int)Version().dwMajorVersion;
}
