#include "platform.h"

#include <windows.h>

static int pretendPlatform, pretendMajor;

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
    if (pretendPlatform) return pretendPlatform == VER_PLATFORM_WIN32_NT;
    return Version().dwPlatformId == VER_PLATFORM_WIN32_NT;
}

int WindowsMajorVersion(void)
{
    if (pretendPlatform) return pretendMajor;
    return (int)Version().dwMajorVersion;
}

void PretendPlatform(int platformId, int majorVersion)
{
    pretendPlatform = platformId;
    pretendMajor = majorVersion;
}
