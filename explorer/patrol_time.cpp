// SentrelEx.exe: the Set Patrol Time dialog, opened from the "Monitor"
// label of every list page and from the Options page's patrol labels.
#include "patrol_time.h"

#include <commctrl.h>

#include "explorer.h"
#include "list_page.h"
#include "options.h"
#include "text.h"
#include "ui_strings.h"

namespace {

enum PatrolControl {
    IDD_SET_PATROL_TIME = 160,
    IDC_MINUTES_FIELD = 1004,
    IDC_REALTIME = 1014,
    IDC_PATROL_TEXT = 1131,
    IDC_MINUTES_WORD = 1132,
    IDC_DISABLE_HINT = 1133,
    IDC_SLIDER = 1142,
};

// The categories by the title of their dialog: the patrol-time option and
// the real-time option (null when the category has none), with the loaded
// settings they stand for.
struct PatrolCategory {
    UINT title;
    const char *patrolOption;
    int Settings::*patrol;
    const char *realtimeOption;
    int Settings::*realtime;
};
const PatrolCategory kCategories[] = {
    {784, "Start", &Settings::start, "RealtimeStartup", &Settings::realtimeStartup},
    {785, "IEHelpers", &Settings::ieHelpers, "RealtimeIEHelper", &Settings::realtimeIEHelper},
    {786, "Tasks", &Settings::tasks, nullptr, nullptr},
    {787, "Cookies", &Settings::cookies, nullptr, nullptr},
    {788, "FileType", &Settings::fileType, "RealtimeFileType", &Settings::realtimeFileType},
    {789, "Nuts", &Settings::nuts, nullptr, nullptr},
    {790, "WinInit", &Settings::winInit, nullptr, nullptr},
    {791, "StartPage", &Settings::startPage, "RealtimeStartPage", &Settings::realtimeStartPage},
    // The option of the HOSTS and system files patrol is stored as "HostFile".
    {792, "HostFile", &Settings::hostFile, "RealtimeSysFiles", &Settings::realtimeSysFiles},
    {924, "Hidden", &Settings::hidden, "RealtimeHidden", &Settings::realtimeHidden},
    {957, "Services", &Settings::services, nullptr, nullptr},
};

const PatrolCategory *FindCategory(UINT title)
{
    for (const auto &category : kCategories)
        if (category.title == title) return &category;
    return nullptr;
}

const int kSliderMax = 30;

// The dialog's state while it is open.
struct PatrolDialog {
    UINT title;
    const PatrolCategory *category;
    int realtime;   // the real-time switch as shown (it is stored only with OK)
    int updating;   // 1 while the dialog itself changes the field
};

void SetField(HWND dialog, PatrolDialog *state, long minutes)
{
    char text[16];
    FormatText(text, sizeof text, "%ld", minutes);
    state->updating = 1;
    SetDlgItemTextA(dialog, IDC_MINUTES_FIELD, text);
    state->updating = 0;
}

// Shows the category's state: its minutes, or the real-time switch with
// the minutes disabled.
void ShowState(HWND dialog, PatrolDialog *state)
{
    const PatrolCategory *category = state->category;
    long minutes = category ? settings.*(category->patrol) : 3;
    if (minutes < 0) minutes = 0;
    HWND slider = GetDlgItem(dialog, IDC_SLIDER);
    HWND field = GetDlgItem(dialog, IDC_MINUTES_FIELD);
    ShowWindow(GetDlgItem(dialog, IDC_REALTIME), category && category->realtimeOption ? SW_SHOW : SW_HIDE);
    if (state->realtime) {
        CheckDlgButton(dialog, IDC_REALTIME, BST_CHECKED);
        SetField(dialog, state, 0);
        SendMessageA(slider, TBM_SETPOS, TRUE, 0);
        EnableWindow(field, FALSE);
        EnableWindow(slider, FALSE);
        return;
    }
    CheckDlgButton(dialog, IDC_REALTIME, BST_UNCHECKED);
    SetField(dialog, state, minutes);
    SendMessageA(slider, TBM_SETPOS, TRUE, minutes > kSliderMax ? kSliderMax : minutes);
    EnableWindow(field, TRUE);
    EnableWindow(slider, TRUE);
}

// The number typed: a whole number, 0 when the text is not one.
long FieldMinutes(HWND dialog)
{
    char text[16] = "";
    GetDlgItemTextA(dialog, IDC_MINUTES_FIELD, text, sizeof text);
    long minutes = DecimalValue(text);
    return minutes > 0 ? minutes : 0;
}

INT_PTR CALLBACK SetPatrolTimeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    PatrolDialog *state = (PatrolDialog *)GetWindowLongPtrA(dialog, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG: {
        state = (PatrolDialog *)lParam;
        SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)state);
        const DialogText texts[] = {{782, IDC_PATROL_TEXT}, {783, IDC_MINUTES_WORD}, {802, IDC_DISABLE_HINT},
                                    {304, IDCANCEL}, {905, IDC_REALTIME}};
        SetDialogTexts(dialog, state->title, texts);
        SendDlgItemMessageA(dialog, IDC_MINUTES_FIELD, EM_LIMITTEXT, 2, 0);
        HWND slider = GetDlgItem(dialog, IDC_SLIDER);
        SendMessageA(slider, TBM_SETRANGE, TRUE, MAKELPARAM(0, kSliderMax));
        SendMessageA(slider, TBM_SETPAGESIZE, 0, 3);
        state->realtime = state->category && state->category->realtime && settings.*(state->category->realtime);
        ShowState(dialog, state);
        return TRUE;
    }
    case WM_HSCROLL:
        if (state && (HWND)lParam == GetDlgItem(dialog, IDC_SLIDER)) {
            long position = (long)SendMessageA((HWND)lParam, TBM_GETPOS, 0, 0);
            SetField(dialog, state, position);
            EnableWindow(GetDlgItem(dialog, IDC_MINUTES_FIELD), position > 0 && !state->realtime);
        }
        return TRUE;
    case WM_COMMAND:
        if (!state) return FALSE;
        switch (LOWORD(wParam)) {
        case IDC_MINUTES_FIELD:
            if (HIWORD(wParam) == EN_CHANGE && !state->updating) {
                long minutes = FieldMinutes(dialog);
                SendDlgItemMessageA(dialog, IDC_SLIDER, TBM_SETPOS, TRUE, minutes > kSliderMax ? kSliderMax : minutes);
            }
            return TRUE;
        case IDC_REALTIME:
            state->realtime = IsDlgButtonChecked(dialog, IDC_REALTIME) == BST_CHECKED;
            ShowState(dialog, state);
            return TRUE;
        case IDOK:
            EndDialog(dialog, FieldMinutes(dialog));
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, -1);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

}  // namespace

int SetPatrolTime(HWND owner, UINT title, int *realtime)
{
    PatrolDialog state = {title, FindCategory(title), 0, 0};
    INT_PTR minutes = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SET_PATROL_TIME), owner, SetPatrolTimeProc,
                                      (LPARAM)&state);
    if (realtime) *realtime = state.realtime;
    return minutes < 0 ? -1 : (int)minutes;
}

int PatrolLabelState(UINT title)
{
    const PatrolCategory *category = FindCategory(title);
    if (!category) return 0;
    if (category->realtime && settings.*(category->realtime)) return 2;
    return settings.*(category->patrol) > 0 ? 1 : 0;
}

int ChangePatrolTime(HWND owner, UINT title)
{
    const PatrolCategory *category = FindCategory(title);
    int realtime = 0;
    int minutes = SetPatrolTime(owner, title, &realtime);
    if (minutes < 0 || !category) return -1;
    // Each write raises "Update", which has the monitor reload its options.
    settings.*(category->patrol) = minutes;
    SetOption(category->patrolOption, minutes);
    if (category->realtimeOption) {
        settings.*(category->realtime) = realtime;
        SetOption(category->realtimeOption, realtime);
    }
    return PatrolLabelState(title);
}
