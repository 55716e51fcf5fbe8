// What Sentrel.exe and SentrelEx.exe do alike with their main window: the
// window class and the main thread's message loop. Header-only, so that
// both programs build it from their own sources (a program's start, as the
// rest of this folder).
#pragma once
#include <windows.h>

#include "history.h"

// Registers the class of a program's main window: the program's icon (101),
// the arrow cursor, a light grey background. 1 when registered.
inline int RegisterProgramWindowClass(HINSTANCE instance, const char *className, WNDPROC procedure, UINT style)
{
    WNDCLASSA windowClass = {};
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(101));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
    windowClass.lpszClassName = className;
    return RegisterClassA(&windowClass) ? 1 : 0;
}

// The main thread's message loop, until WM_QUIT; the history lines still
// held are written after it. Returns the quit code.
inline int RunProgramMessageLoop(void)
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    FlushHistory();
    return (int)message.wParam;
}
