// Sentrel.exe: the outside library sentrelaux.dll. Ordinal 2 receives the
// main window (the library may then post WM_TASK_CHANGE when running
// programs change); ordinal 4, when the library has it, receives the places
// to watch for instant detection; ordinal 3 is called at exit. The monitor
// works the same without the library, only without real-time notices.
#include "instant_watch.h"
#include "monitor.h"

namespace {
typedef int(WINAPI *AttachProc)(HWND);
typedef int(WINAPI *DetachProc)(void);

HMODULE auxLibrary;
AttachProc auxAttach;
DetachProc auxDetach;
}  // namespace

void AuxAttach(HWND window)
{
    auxLibrary = LoadLibraryA("sentrelaux.dll");
    if (!auxLibrary) return;
    auxAttach = (AttachProc)(void *)GetProcAddress(auxLibrary, MAKEINTRESOURCEA(2));
    auxDetach = (DetachProc)(void *)GetProcAddress(auxLibrary, MAKEINTRESOURCEA(3));
    if (auxAttach) auxAttach(window);
    if (auxAttach) StartInstantWatch((void *)GetProcAddress(auxLibrary, MAKEINTRESOURCEA(4)));
}

void AuxDetach(void)
{
    if (auxDetach) auxDetach();
    StopInstantWatch();
}
