#include "platform.h"

#include <windows.h>

static int pretendPlatform, pretendMajor;
static int pretendViews = -1;

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

int HasRegistryViews(void)
{
    if (!IsNtFamily()) return 0;
    if (pretendViews >= 0) return pretendViews;
#ifdef _WIN64
    return 1;
#else
    // A 32-bit program on 64-bit Windows runs under WOW64.
    typedef BOOL(WINAPI * IsWow64Function)(HANDLE, PBOOL);
    IsWow64Function isWow64 =
        (IsWow64Function)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
#endif
}

void PretendRegistryViews(int views)
{
    pretendViews = views;
}
