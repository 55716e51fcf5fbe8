// A stand-in for the Windows 9x scheduler agent: it shows itself by the
// agent's hidden window and runs until that window is closed or the
// process is ended. When the environment names a watching process
// ("SENTREL_AGENT_WATCHER", its id), the agent first hands that process a
// handle of its own and writes the handle's value into "agent-handle.txt"
// beside itself, so that even an agent that lives for a moment is seen.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static void HandOverToWatcher(void)
{
    char text[32];
    DWORD n = GetEnvironmentVariableA("SENTREL_AGENT_WATCHER", text, sizeof text);
    if (n == 0 || n >= sizeof text) return;
    HANDLE watcher = OpenProcess(PROCESS_DUP_HANDLE, FALSE, (DWORD)strtoul(text, nullptr, 10));
    if (!watcher) return;
    HANDLE remote = nullptr;
    BOOL ok = DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), watcher, &remote,
                              SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, 0);
    CloseHandle(watcher);
    if (!ok) return;
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return;
    char *slash = strrchr(path, '\\');
    if (!slash || (size_t)(slash - path) + sizeof "\\agent-handle.txt" > sizeof path) return;
    memcpy(slash, "\\agent-handle.txt", sizeof "\\agent-handle.txt");
    FILE *file = fopen(path, "w");
    if (!file) return;
    fprintf(file, "%llu", (unsigned long long)(ULONG_PTR)remote);
    fclose(file);
}

static LRESULT CALLBACK AgentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    HandOverToWatcher();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = AgentProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "SAGEWINDOWCLASS";
    if (!RegisterClassA(&windowClass)) return 2;
    if (!CreateWindowA("SAGEWINDOWCLASS", "SYSTEM AGENT COM WINDOW", WS_OVERLAPPED, 0, 0, 1, 1, nullptr,
                       nullptr, instance, nullptr))
        return 3;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
