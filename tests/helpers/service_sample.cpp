// A real Windows service for the services tests: it registers with the
// service control manager, reports that it runs and stops when asked.
//   service_sample            stops at once when asked
//   service_sample -slowstop  answers a stop with "stop pending" and ends
//                             only after 8 seconds, without progress
//   service_sample -nostop    does not accept the stop control; control
//                             128 ends it
// Any service name works: the program runs as its own process.
#include <windows.h>

#include <cstring>

namespace {
SERVICE_STATUS_HANDLE statusHandle;
SERVICE_STATUS status;
HANDLE stopEvent;
bool slowStop, noStop;

void Report(DWORD state, DWORD waitHint)
{
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING && !noStop ? SERVICE_ACCEPT_STOP : 0;
    status.dwWin32ExitCode = NO_ERROR;
    status.dwWaitHint = waitHint;
    status.dwCheckPoint = 0;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void *, void *)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
        if (noStop) return ERROR_CALL_NOT_IMPLEMENTED;
        if (slowStop) {
            // Says it is stopping, then makes no progress for a long time.
            Report(SERVICE_STOP_PENDING, 1000);
            CreateThread(nullptr, 0, [](void *) -> DWORD {
                Sleep(8000);
                SetEvent(stopEvent);
                return 0;
            }, nullptr, 0, nullptr);
            return NO_ERROR;
        }
        Report(SERVICE_STOP_PENDING, 1000);
        SetEvent(stopEvent);
        return NO_ERROR;
    case 128:
        SetEvent(stopEvent);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, char **names)
{
    statusHandle = RegisterServiceCtrlHandlerExA(names && names[0] ? names[0] : "", Handler, nullptr);
    if (!statusHandle) return;
    stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Report(SERVICE_RUNNING, 0);
    WaitForSingleObject(stopEvent, INFINITE);
    Report(SERVICE_STOPPED, 0);
}
}  // namespace

int main()
{
    const char *line = GetCommandLineA();
    slowStop = strstr(line, "-slowstop") != nullptr;
    noStop = strstr(line, "-nostop") != nullptr;
    char name[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
