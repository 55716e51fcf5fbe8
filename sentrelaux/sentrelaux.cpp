// sentrelaux.dll: the monitor's helper library. Ordinal 2 receives the
// monitor's main window, ordinal 3 is called when the monitor exits.
#include <windows.h>

static HWND monitorWindow;

extern "C" int WINAPI AuxAttachWindow(HWND window)
{
    monitorWindow = window;
    return 1;
}

extern "C" int WINAPI AuxDetachWindow(void)
{
    monitorWindow = nullptr;
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
