// The monitor's alert dialogs: the current alert record that a check fills
// before it opens one, the dialogs themselves, the alert sound and the
// system error box.
//
// The control ids below are shared with resources/alerts.rc.
#pragma once

// Dialog templates.
#define DLG_ALERT_NEW_PROGRAM   131
#define DLG_ALERT_DELAYED       192
#define DLG_ALERT_IE_HELPER     140
#define DLG_ALERT_TASK          138
#define DLG_ALERT_SERVICE       171
#define DLG_ALERT_HIDDEN        191
#define DLG_ALERT_FILE_TYPE     143
#define DLG_ALERT_FILE_CHANGE   189

// The built-in alert sound.
#define WAVE_ALERT              170

// Controls of the program-style alerts. Yes is IDYES, No (and "Disable" in
// the delayed-program alert) is IDNO, OK is IDOK, "Delete" is IDCANCEL.
#define IDC_ALERT_ICON          1101
#define IDC_ALERT_NAME          1102
#define IDC_ALERT_VERSION_LABEL 1103
#define IDC_ALERT_VERSION       1104
#define IDC_ALERT_COMPANY       1105
#define IDC_ALERT_DESCRIPTION   1106
#define IDC_ALERT_COPYRIGHT     1107
#define IDC_ALERT_COMMAND       1108
#define IDC_ALERT_MESSAGE       1109
#define IDC_ALERT_INFO          1110
#define IDC_ALERT_MESSAGE2      1111
#define IDC_ALERT_PLACE         1112
#define IDC_ALERT_PUBLISHER     1113

// Controls of the file type change alert: the approved program (upper half)
// and the program now associated (lower half).
#define IDC_TYPE_EXTENSION      1120
#define IDC_TYPE_OLD_ICON       1121
#define IDC_TYPE_OLD_NAME       1122
#define IDC_TYPE_OLD_COMPANY    1123
#define IDC_TYPE_OLD_COMMAND    1124
#define IDC_TYPE_OLD_INFO       1125
#define IDC_TYPE_NEW_ICON       1126
#define IDC_TYPE_NEW_NAME       1127
#define IDC_TYPE_NEW_COMPANY    1128
#define IDC_TYPE_NEW_COMMAND    1129
#define IDC_TYPE_NEW_INFO       1130
#define IDC_TYPE_TEXT1          1131
#define IDC_TYPE_TEXT2          1132
#define IDC_TYPE_TEXT3          1133
#define IDC_TYPE_TEXT4          1134

// Controls of the file change alert.
#define IDC_FILE_TEXT1          1140
#define IDC_FILE_TEXT2          1141
#define IDC_FILE_TEXT3          1142
#define IDC_FILE_NAME_LABEL     1143
#define IDC_FILE_NAME           1144
#define IDC_FILE_LOCATION_LABEL 1145
#define IDC_FILE_LOCATION       1146
#define IDC_FILE_COMMENT        1147
#define IDC_FILE_VIEW_NEW       1148
#define IDC_FILE_VIEW_OLD       1149
#define IDC_FILE_ACCEPT         1150
#define IDC_FILE_REJECT         1151
#define IDC_FILE_STOP_WATCHING  1152

// The restart commands viewer (wininit.ini): the text, the note on its
// lines, "Delete"; "Close" is IDCANCEL.
#define DLG_RESTART_COMMANDS    130
#define IDC_RESTART_TEXT        1160
#define IDC_RESTART_NOTE        1161
#define IDC_RESTART_DELETE      1162

// String of the system error box's caption.
#define STR_SYSTEM_ERROR        2201

#ifndef RC_INVOKED
#include <windows.h>

#include "text.h"

#define ALERT_TEXT_SIZE PATH_SIZE   // a path of any script

// The current alert record: filled by a check before it opens an alert,
// cleared by the alert when it closes.
extern char AlertTitle[ALERT_TEXT_SIZE];
extern char AlertCommand[ALERT_TEXT_SIZE];
extern char AlertNewCommand[ALERT_TEXT_SIZE];   // file type alert: the program now associated
extern char AlertFilePath[ALERT_TEXT_SIZE];     // file change alert: the monitored file
extern int AlertType;
// What the item is, where its title is only shown: the service alert's
// service key name. Empty for the other alerts.
extern char AlertName[ALERT_TEXT_SIZE];
// Where the entry lives and what No does to it, shown under the message
// (empty: no such line).
extern char AlertPlace[ALERT_TEXT_SIZE];

// Empties the current alert record.
void ClearAlertRecord(void);

// Results of the alerts.
enum {
    ALERT_APPROVE = 6,
    ALERT_REJECT = 7,
    ALERT_STOP_AND_DISABLE = 11,
};

// Opens one alert dialog (a DLG_ALERT_ template) modally, owned by the
// monitor's main window, and returns its result: 6 approve, 7 reject, 11
// stop and disable (new-program alert only); the file change alert returns
// 1 when its copy succeeded and 0 otherwise. -1 when the dialog could not
// be created.
INT_PTR ShowAlert(int dialog);

// A check's question about a new program: the alert sound of event, the
// program at path seen for the first time (category detected), the patrol
// status of icon and tip, then the alert dialog, with inDialog set while it
// is open. Returns ShowAlert's result.
INT_PTR AskWithAlert(int dialog, int event, const char *path, const char *detected, int icon, UINT tip);

// Plays the sound of an alert event (0 "Open", 1 "Startup Alert", 2 "Cookie
// Alert", 3 "Task Alert", 4 "IE Helper", 5 "FileType Alert"; other indexes
// play "Open"): the user's sound file of the event, else the built-in
// sound. Waits until the sound has finished; returns at once when there is
// no sound device or the option "Sound" is 0 or less. 1 when a sound was played.
int PlayAlertSound(int event);

// Shows the platform's text for the last error in a box titled "System Error".
void ShowSystemError(void);

// The repeat rule of the new-program alert, by the command being shown:
// counts alerts in a row for the same command. Returns the repeat count.
int CountAlertRepeat(const char *command);

// The new-program alert's result for an answer (1 Yes or Esc, 0 No). A
// program that keeps coming back gets 11 and the repeat state is reset; No
// then also makes the rest of the pass reject new items without asking.
// Sets *openHelp when the help page should be shown.
int NewProgramAnswer(int yes, int type, int *openHelp);

// The service alert's own rejection of the service AlertName: stops it and
// disables it, with the history lines of what was done; a change the
// service control manager refused is shown to the user (owner: the alert).
void RejectAlertService(HWND owner);

// The start type of a service named by its key name, as string
// 664/665/666/616 ("Automatic", "Manual", "Disabled", "Unknown").
int ServiceStartText(const char *service, char *out, int size);

// The file change alert's two answers, for the file of the current alert
// record. stopWatching deletes the file's record first. 1 when the copy
// succeeded; 0 after showing the system error.
int AcceptFileChange(int stopWatching);
int RejectFileChange(int stopWatching);

// Program information and help pages, opened from the alerts: the program
// information of a command (ShowProgramInfo) on the user's request, and the
// help page in the program folder, when present.
void OpenAlertProgramInfo(HWND owner, int number, const char *command);
void OpenAlertHelpPage(HWND owner, int command);

#endif
