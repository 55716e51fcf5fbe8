// Sentrel.exe: the current alert record, what every alert dialog shares,
// the alert sound and the system error box.
#include "alerts.h"

#include <shellapi.h>

#include <cstring>

#include "alert_dialog.h"
#include "first_seen.h"
#include "monitor.h"
#include "options.h"
#include "store.h"
#include "text.h"
#include "trace.h"
#include "ui_strings.h"

char AlertTitle[ALERT_TEXT_SIZE];
char AlertCommand[ALERT_TEXT_SIZE];
char AlertNewCommand[ALERT_TEXT_SIZE];
char AlertFilePath[ALERT_TEXT_SIZE];
int AlertType;
char AlertName[ALERT_TEXT_SIZE];
char AlertPlace[ALERT_TEXT_SIZE];

INT_PTR CALLBACK ProgramAlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FileTypeAlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FileChangeAlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

void ClearAlertRecord(void)
{
    AlertTitle[0] = 0;
    AlertCommand[0] = 0;
    AlertNewCommand[0] = 0;
    AlertFilePath[0] = 0;
    AlertType = 0;
    AlertName[0] = 0;
    AlertPlace[0] = 0;
}

INT_PTR AskWithAlert(int dialog, int event, const char *path, const char *detected, int icon, UINT tip)
{
    PlayAlertSound(event);
    RecordFirstSeen(path, detected);
    SetPatrolStatus(icon, tip);
    inDialog = 1;
    alertShown = 1;
    INT_PTR result = ShowAlert(dialog);
    inDialog = 0;
    TraceWaitedForUser();
    return result;
}

INT_PTR ShowAlert(int dialog)
{
    DLGPROC procedure;
    switch (dialog) {
    case DLG_ALERT_NEW_PROGRAM:
    case DLG_ALERT_DELAYED:
    case DLG_ALERT_IE_HELPER:
    case DLG_ALERT_TASK:
    case DLG_ALERT_SERVICE:
    case DLG_ALERT_HIDDEN:
        procedure = ProgramAlertProc;
        break;
    case DLG_ALERT_FILE_TYPE:
        procedure = FileTypeAlertProc;
        break;
    case DLG_ALERT_FILE_CHANGE:
        procedure = FileChangeAlertProc;
        break;
    default:
        return -1;
    }
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialog), mainWindow,
                                     procedure, dialog);
    if (result == -1) ClearAlertRecord();
    return result;
}

// --- Shared dialog behaviour ------------------------------------------------

namespace {
// The face, height (pixels at 96 dots per inch) and weight of each alert
// font when the monitor's shared fonts are not there to copy.
const struct {
    int slot, height, weight;
} kFontSlots[ALERT_FONT_COUNT] = {
    {4, -14, FW_BOLD},       // name
    {5, -11, FW_SEMIBOLD},   // bold message
    {7, -12, FW_BOLD},       // command
};

HFONT CreateScaledFont(HWND dialog, AlertFontKind kind)
{
    LOGFONTA font = {};
    HFONT shared = listFonts[kFontSlots[kind].slot];
    HFONT dialogFont = (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0);
    // A name and a command may be in any script: they take the shell's
    // dialog face, for which Windows has the glyphs of every script (a
    // raster face such as "MS Sans Serif" has those of one code page).
    if (kind == ALERT_FONT_MESSAGE || !(dialogFont && GetObjectA(dialogFont, sizeof font, &font))) {
        if (!(shared && GetObjectA(shared, sizeof font, &font)) &&
            !(dialogFont && GetObjectA(dialogFont, sizeof font, &font)))
            return nullptr;
    }
    font.lfCharSet = DEFAULT_CHARSET;
    // The shared fonts are sized in pixels at 96 dots per inch; the alerts
    // follow the screen's resolution, as their dialog units do.
    HDC screen = GetDC(dialog);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(dialog, screen);
    font.lfHeight = MulDiv(kFontSlots[kind].height, dpi, 96);
    font.lfWidth = 0;
    font.lfWeight = kFontSlots[kind].weight;
    font.lfUnderline = FALSE;
    return CreateFontIndirectA(&font);
}
}  // namespace

void OpenAlertWindow(HWND dialog, AlertWindow *state, UINT caption, const WindowPosNames *place,
                     const WindowPosNames *saveAs)
{
    memset(state, 0, sizeof *state);
    state->place = saveAs;
    char text[256];
    if (LoadUiString(caption, text, sizeof text) > 0 && text[0]) SetWindowTextA(dialog, text);
    for (int kind = 0; kind < ALERT_FONT_COUNT; kind++)
        state->fonts[kind] = CreateScaledFont(dialog, (AlertFontKind)kind);
    if (place) RestoreWindowPos(dialog, place, 0);
    SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(dialog);
}

void CloseAlertWindow(HWND dialog, AlertWindow *state)
{
    if (state->place) SaveWindowPos(dialog, state->place, 0);
    state->place = nullptr;
    for (HFONT &font : state->fonts) {
        if (font) DeleteObject(font);
        font = nullptr;
    }
    for (HICON &icon : state->icons) {
        if (icon) DestroyIcon(icon);
        icon = nullptr;
    }
    ClearAlertRecord();
}

void SetAlertFont(HWND dialog, int control, AlertWindow *state, AlertFontKind kind)
{
    if (state->fonts[kind]) SendDlgItemMessageA(dialog, control, WM_SETFONT, (WPARAM)state->fonts[kind], FALSE);
}

void ReadAlertProgram(const char *command, AlertProgram *program, AlertWindow *state, int slot)
{
    program->path[0] = 0;
    program->missing = 0;
    program->icon = nullptr;
    for (auto &fact : program->facts) fact[0] = 0;
    if (!command || !command[0]) return;
    // A missing file still has its path: the alert and its history line
    // name it, and say that it is not there.
    if (ResolveCommandPath(command, program->path) <= 0) return;
    if (!FileExists(program->path)) {
        program->missing = 1;
        return;
    }
    ReadVersionFacts(program->path, program->facts);
    HICON icon = nullptr;
    if (ExtractIconExA(program->path, 0, &icon, nullptr, 1) != UINT_MAX && icon) {
        program->icon = icon;
        state->icons[slot] = icon;
    }
}

void SetAlertField(HWND dialog, int control, const char *text)
{
    if (text && text[0]) SetDlgItemTextA(dialog, control, text);
}

void SetAlertIcon(HWND dialog, int control, HICON icon)
{
    if (icon) SendDlgItemMessageA(dialog, control, STM_SETICON, (WPARAM)icon, 0);
}

void DropAlertTopmost(HWND dialog)
{
    SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// --- Sound and errors ------------------------------------------------------------

int PlayAlertSound(int event)
{
    static const char *const kEvents[] = {"Open", "Startup Alert", "Cookie Alert",
                                          "Task Alert", "IE Helper", "FileType Alert"};
    if (settings.sound <= 0) return 0;
    if (event < 0 || event > 5) event = 0;

    // The sound library is loaded when first needed: without it there is
    // simply no sound.
    typedef BOOL(WINAPI * PlaySoundFunction)(LPCSTR, HMODULE, DWORD);
    static PlaySoundFunction play;
    if (!play) {
        HMODULE library = LoadLibraryA("winmm.dll");
        if (library) play = (PlaySoundFunction)(void *)GetProcAddress(library, "PlaySoundA");
        if (!play) return 0;
    }
    char key[128], file[PATH_SIZE];
    FormatText(key, sizeof key, "AppEvents\\Schemes\\Apps\\Sentrel\\%s\\.current", kEvents[event]);
    // A synchronous call returns at once, with FALSE, when no device is there.
    if (StoreReadString(HKEY_CURRENT_USER, key, "", file, sizeof file) > 0 && file[0])
        return play(file, nullptr, SND_FILENAME | SND_SYNC | SND_NODEFAULT) ? 1 : 0;
    return play(MAKEINTRESOURCEA(WAVE_ALERT), GetModuleHandleA(nullptr),
                SND_RESOURCE | SND_SYNC | SND_NODEFAULT)
               ? 1
               : 0;
}

void ShowSystemError(void)
{
    DWORD code = GetLastError();
    char message[512], text[600], caption[64];
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), message, sizeof message, nullptr))
        message[0] = 0;
    FormatTextCut(text, sizeof text, "%lu  %s", (unsigned long)code, message);
    LoadUiString(STR_SYSTEM_ERROR, caption, sizeof caption);
    UiMessageBoxText(mainWindow, text, caption, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
}
