// What the alert dialogs share: opening (caption, topmost, placement),
// closing (placement saved, alert record cleared), the scaled fonts and the
// facts of the alert's program file.
#pragma once
#include <windows.h>

#include "options.h"
#include "program_files.h"

// Fonts of the alert fields, scaled to the screen's resolution.
enum AlertFontKind {
    ALERT_FONT_NAME,      // the item's name, large and bold
    ALERT_FONT_MESSAGE,   // a message shown in bold
    ALERT_FONT_COMMAND,   // the command field, bold
    ALERT_FONT_COUNT
};

// The facts of one program file behind a command.
struct AlertProgram {
    char path[PATH_SIZE];   // resolved file, also when it does not exist; empty when none resolves
    int missing;            // 1: the resolved file does not exist
    VersionFacts facts;     // all empty without a file
    HICON icon;             // the file's first icon, or null
};

// Per-dialog state shared by the opening and closing helpers.
struct AlertWindow {
    HFONT fonts[ALERT_FONT_COUNT];
    HICON icons[2];
    const WindowPosNames *place;   // set saved on close; null: not saved
};

// Caption from a string, always on top, fonts created. place is the value
// set the window is placed from (null: where the platform put it) and
// saved to when it closes (saveAs).
void OpenAlertWindow(HWND dialog, AlertWindow *state, UINT caption,
                     const WindowPosNames *place, const WindowPosNames *saveAs);

// Closing: place saved, fonts and icons freed, alert record cleared.
void CloseAlertWindow(HWND dialog, AlertWindow *state);

// Sets a control's font.
void SetAlertFont(HWND dialog, int control, AlertWindow *state, AlertFontKind kind);

// Resolves the command and reads its program's facts and icon (the icon
// is kept in state->icons[slot] and freed on close).
void ReadAlertProgram(const char *command, AlertProgram *program, AlertWindow *state, int slot);

// Sets a control to a text; an empty text leaves the template's placeholder.
void SetAlertField(HWND dialog, int control, const char *text);

// Shows an icon in a static control (nothing for a null icon).
void SetAlertIcon(HWND dialog, int control, HICON icon);

// The alert gives up its always-on-top place so that a window opened from
// it can come to the front.
void DropAlertTopmost(HWND dialog);
