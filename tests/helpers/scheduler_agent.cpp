// A stand-in for the Windows 9x scheduler agent: it shows itself by the
// agent's hidden window and runs until that window is closed or the
// process is ended.
#include <windows.h>

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
