// SentrelEx.exe: the Options page (last tab): the monitor's autostart, the
// options of both programs, the patrol times of the restart file, the
// browser pages and the HOSTS file, and the buttons of the reports, the
// history viewer, the HOSTS file and the restoring of delayed programs.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <initializer_list>

#include "always_run.h"
#include "delayed_programs.h"
#include "explorer.h"
#include "history_viewer.h"
#include "inventory.h"
#include "list_page.h"
#include "options.h"
#include "pages.h"
#include "patrol_time.h"
#include "platform.h"
#include "program_files.h"
#include "report_commands.h"
#include "text.h"
#include "ui_strings.h"

namespace {

enum OptionsControl {
    IDC_GROUP_TITLE = 253,
    IDC_AUTOSTART = 1017,
    IDC_SOUND = 1020,
    IDC_HISTORY = 1024,
    IDC_HIDE_ICON = 1025,
    IDC_LOCK_FILE_TYPES = 1026,
    IDC_CONFIRM_EXIT = 1027,
    IDC_VIEW_HISTORY = 1104,
    IDC_VIEW_HOSTS = 1105,
    IDC_EXPORT_SETTINGS = 1106,
    IDC_RESTORE_ALL_DELAYED = 1107,
    IDC_REPORT_LOG = 1108,
    IDC_HIJACK_LOG = 1109,
    IDC_SPREADSHEET = 1110,
    IDC_FORMAT_LABEL = 1113,
    IDC_FORMAT = 1114,
    IDC_TEXT_HOME = 1140,
    IDC_TEXT_HOSTS = 1141,
    IDC_TEXT_RESTART = 1139,
    IDC_ORIGINAL_ICON = 1201,
    IDC_ZENTA_DATA = 1202,
};

const int kTrayIconOriginal = 159, kTrayIconDefault = 101;
const int CMD_MONITOR_TRAY_ICON = 6053;

// A check box and the option it stands for.
const struct {
    int control;
    UINT label;
    const char *option;
    int Settings::*setting;
} kOptionBoxes[] = {
    {IDC_SOUND, 354, "Sound", &Settings::sound},
    {IDC_HISTORY, 709, "History", &Settings::history},
    {IDC_HIDE_ICON, 974, "HideWuffin", &Settings::hideWuffin},
    {IDC_LOCK_FILE_TYPES, 928, "LockFileTypes", &Settings::lockFileTypes},
    {IDC_CONFIRM_EXIT, 749, "ConfirmExit", &Settings::confirmExit},
    {IDC_ZENTA_DATA, 1150, "ZentaFormat", &Settings::zentaFormat},
};

// The patrol labels: label, its text, the text's string, the dialog title.
const struct {
    int label, text;
    UINT string, title;
} kPatrolLabels[] = {
    {IDC_PATROL_LABEL_RESTART, IDC_TEXT_RESTART, 355, 790},
    {IDC_PATROL_LABEL_HOME, IDC_TEXT_HOME, 635, 791},
    {IDC_PATROL_LABEL_HOSTS, IDC_TEXT_HOSTS, 735, 792},
};

void Check(HWND page, int control, int on)
{
    CheckDlgButton(page, control, on ? BST_CHECKED : BST_UNCHECKED);
}

int IsChecked(HWND page, int control)
{
    return IsDlgButtonChecked(page, control) == BST_CHECKED;
}

void ShowState(HWND page)
{
    Check(page, IDC_AUTOSTART, IsAlwaysRun());
    FreeItems();
    for (const auto &box : kOptionBoxes) Check(page, box.control, settings.*(box.setting) > 0);
    // Sound and the data option count as on for any value but 0.
    Check(page, IDC_SOUND, settings.sound != 0);
    Check(page, IDC_ZENTA_DATA, settings.zentaFormat != 0);
    Check(page, IDC_ORIGINAL_ICON, GetOption("TrayIcon", kTrayIconDefault) != kTrayIconDefault);
    SendDlgItemMessageA(page, IDC_FORMAT, CB_SETCURSEL, GetOption("Format", 0) == 1 ? 1 : 0, 0);
    for (const auto &label : kPatrolLabels) SetLabelState(page, label.label, PatrolLabelState(label.title));
    // The restart file is patrolled on never real time.
    SetLabelState(page, IDC_PATROL_LABEL_RESTART, settings.winInit > 0 ? 1 : 0);
}

void MessageOfPage(HWND page, UINT id, UINT icon)
{
    PageMessage(page, id, MB_OK | icon | MB_TOPMOST);
}

// The monitor shows or hides its icon at once.
void TellMonitorIcon(int hide)
{
    HWND monitor = FindWindowA("Sentrel", nullptr);
    if (monitor) PostMessageA(monitor, WM_COMMAND, CMD_MONITOR_TRAY_ICON, hide);
}

void OnCheckBox(HWND page, int control)
{
    int on = IsChecked(page, control);
    if (control == IDC_AUTOSTART) {
        // Off removes the monitor's own registration only (found by what it
        // is, never by a name that looks like it); the program file and the
        // user's own entries are never touched.
        if (!SetAlwaysRun(on) && on) Check(page, IDC_AUTOSTART, 0);
        FreeItems();
        if (!on) Check(page, IDC_AUTOSTART, IsAlwaysRun());
        FreeItems();
        return;
    }
    if (control == IDC_ORIGINAL_ICON) {
        SetOption("TrayIcon", on ? kTrayIconOriginal : kTrayIconDefault);
        return;
    }
    for (const auto &box : kOptionBoxes) {
        if (box.control != control) continue;
        settings.*(box.setting) = on;
        SetOption(box.option, on);
    }
    if (control == IDC_HIDE_ICON) {
        if (on) MessageOfPage(page, 927, MB_ICONINFORMATION);
        TellMonitorIcon(on);
    }
    if (control == IDC_ZENTA_DATA && on) MessageOfPage(page, 1151, MB_ICONEXCLAMATION);
}

void OnPatrolLabel(HWND page, int label)
{
    for (const auto &row : kPatrolLabels) {
        if (row.label != label) continue;
        int state = ChangePatrolTime(page, row.title);
        if (state < 0) return;
        SetLabelState(page, label, label == IDC_PATROL_LABEL_RESTART ? (state > 0 ? 1 : 0) : state);
    }
}

void ShowHostsFile(void)
{
    char hosts[PATH_SIZE], command[PATH_SIZE + 32];
    if (GetHostsPath(hosts, sizeof hosts) <= 0) return;
    if (FormatText(command, sizeof command, "notepad.exe \"%s\"", hosts)) WinExec(command, SW_SHOWNORMAL);
}

void RestoreEveryDelayed(HWND page)
{
    int failed = RestoreAllDelayed();
    if (failed <= 0) return;
    char count[16], text[512], pattern[400];
    FormatText(count, sizeof count, "%d", failed);
    LoadUiString(3746, pattern, sizeof pattern);
    const char *values[] = {count};
    if (FillTemplate(text, sizeof text, pattern, values, 1))
        PageMessageText(page, text, MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST);
}

void OnCommand(HWND page, int id, int code)
{
    switch (id) {
    case IDC_AUTOSTART: case IDC_SOUND: case IDC_HISTORY: case IDC_HIDE_ICON: case IDC_LOCK_FILE_TYPES:
    case IDC_CONFIRM_EXIT: case IDC_ORIGINAL_ICON: case IDC_ZENTA_DATA:
        if (code == BN_CLICKED) OnCheckBox(page, id);
        break;
    case IDC_PATROL_LABEL_HOME: case IDC_PATROL_LABEL_HOSTS: case IDC_PATROL_LABEL_RESTART:
        OnPatrolLabel(page, id);
        break;
    case IDC_REPORT_LOG: WriteSystemReport(page); break;
    case IDC_HIJACK_LOG: WriteHijackLog(page); break;
    case IDC_SPREADSHEET: WriteSpreadsheetReport(page); break;
    case IDC_EXPORT_SETTINGS: ExportSettings(page); break;
    case IDC_VIEW_HISTORY: ShowHistory(page); break;
    case IDC_VIEW_HOSTS: ShowHostsFile(); break;
    case IDC_RESTORE_ALL_DELAYED: RestoreEveryDelayed(page); break;
    case IDC_FORMAT:
        // The report log's format: 0 HTML, 1 text.
        if (code == CBN_SELCHANGE)
            SetOption("Format", SendDlgItemMessageA(page, IDC_FORMAT, CB_GETCURSEL, 0, 0) == 1 ? 1 : 0);
        break;
    case IDC_HELP_LABEL: OpenHelpPage(CMD_PAGE_OPTIONS); break;
    case IDC_CLOSE: CloseSheet(page); break;
    default: break;
    }
}

void Initialise(HWND page)
{
    SetDlgItemUiString(page, 251, IDC_EXPLANATION);
    SetDlgItemUiString(page, 253, IDC_GROUP_TITLE);
    SetDlgItemUiString(page, 353, IDC_AUTOSTART);
    for (const auto &box : kOptionBoxes) SetDlgItemUiString(page, box.label, box.control);
    SetDlgItemUiString(page, 1148, IDC_ORIGINAL_ICON);
    for (const auto &label : kPatrolLabels) SetDlgItemUiString(page, label.string, label.text);
    const struct {
        int control;
        UINT text;
    } buttons[] = {{IDC_REPORT_LOG, 310},      {IDC_VIEW_HISTORY, 727}, {IDC_VIEW_HOSTS, 734},
                   {IDC_EXPORT_SETTINGS, 853}, {IDC_HIJACK_LOG, 1137},  {IDC_SPREADSHEET, 1145},
                   {IDC_RESTORE_ALL_DELAYED, 1125}, {IDC_CLOSE, 304}};
    for (const auto &button : buttons) SetDlgItemUiString(page, button.text, button.control);
    SetDlgItemUiString(page, 793, IDC_HELP_WORD);
    SetDlgItemUiString(page, 3723, IDC_FORMAT_LABEL);
    for (UINT format : {3724u, 3725u}) {
        char text[128];
        if (LoadUiString(format, text, sizeof text) > 0) SendDlgItemMessageA(page, IDC_FORMAT, CB_ADDSTRING, 0, (LPARAM)text);
    }
    SendDlgItemMessageA(page, IDC_HEADER_ICON, STM_SETICON,
                        (WPARAM)LoadImageA(instance, MAKEINTRESOURCEA(ICON_APPLICATION), IMAGE_ICON, 32, 32,
                                           LR_SHARED),
                        0);
    if (IsNtFamily()) {
        ShowWindow(GetDlgItem(page, IDC_PATROL_LABEL_RESTART), SW_HIDE);
        ShowWindow(GetDlgItem(page, IDC_TEXT_RESTART), SW_HIDE);
    } else {
        ShowWindow(GetDlgItem(page, IDC_ORIGINAL_ICON), SW_HIDE);
        ShowWindow(GetDlgItem(page, IDC_CLOSE), SW_HIDE);
    }
    currentPage = CMD_PAGE_OPTIONS;
    RestorePlacement(page);
}

void Activate(HWND page)
{
    ActivatePage(page, CMD_PAGE_OPTIONS);
    ShowState(page);
}

const PlainPageKind kKind = {Initialise, Activate, nullptr, OnCommand, nullptr};

}  // namespace

const DLGPROC OptionsPageProc = PlainPageProc<kKind>;
