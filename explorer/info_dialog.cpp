// SentrelEx.exe: the program information dialog and the other program
// actions of a list page's selected row (see info_dialog.h). The dialog
// always shows a row's own record copy; Previous and Next move through the
// list positions, so they follow the order the user sees.
#include "info_dialog.h"

#include <shellapi.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "dates.h"
#include "explorer.h"
#include "first_seen.h"
#include "location_words.h"
#include "options.h"
#include "processes.h"
#include "program_files.h"
#include "program_info.h"
#include "signatures.h"
#include "services.h"
#include "startup_list.h"
#include "tasks.h"
#include "text.h"
#include "ui_strings.h"

namespace {

enum {
    DLG_PROGRAM_INFO = 121,
    IDC_KILL = 3,        // "&Kill Task", "&Stop" for a service
    IDC_RUN = 4,
    IDC_EXPAND = 5,
    IDC_APPLY = 12,
    IDC_PRODUCT = 100,
    IDC_PROGRAM_ICON = 117,
    IDC_STATUS = 1010,
    IDC_CREATED = 1011,
    IDC_SAVED = 1013,
    IDC_DETECTED = 1014,
    IDC_PATH = 1026,
    IDC_VERSION = 1029,
    IDC_COMPANY = 1030,
    IDC_DESCRIPTION = 1031,
    IDC_COPYRIGHT = 1032,
    IDC_NOTE = 1033,
    IDC_LOCATION = 1039,
    IDC_FREE_INFO = 1068,
    IDC_NOTE_BUTTON = 1069,
    IDC_NEXT = 1082,
    IDC_PREVIOUS = 1083,
    IDC_START_TYPES = 1090,
    IDC_FILE_SIZE = 1181,
    IDC_PUBLISHER = 1182,
    // Labels of this dialog only.
    IDC_VERSION_LABEL = 3180,
    IDC_COMPANY_LABEL = 3181,
    IDC_PUBLISHER_LABEL = 3194,
    IDC_COPYRIGHT_LABEL = 3182,
    IDC_STATUS_LABEL = 3183,
    IDC_START_TYPE_LABEL = 3184,
    IDC_CREATED_LABEL = 3185,
    IDC_SAVED_LABEL = 3186,
    IDC_DETECTED_LABEL = 3187,
    IDC_FILE_SIZE_LABEL = 3188,
    IDC_DIVIDER = 3189,
};

const UINT STR_PREVIOUS = 3190, STR_NEXT = 3191, STR_NOTE_NOT_SAVED = 3192, STR_SAVE_NOTE_FIRST = 3193;

struct InfoState {
    ListPage *page;
    int position;             // list position of the row shown
    const PageRow *row;
    char file[PATH_SIZE];     // the record's program file
    int fileFound;
    int startEntry;           // the service's start type entry shown, -1 none
    int noteOpen;             // the field holds the program's note
    int full;                 // the lower part is shown
    int fullHeight, shrunkHeight;
    HICON icon;
    HFONT noteFont;
};
InfoState info;

int IsService(int type)
{
    return type == ITEM_SERVICE_EXE || type == ITEM_SERVICE_SVCHOST;
}
int IsIeHelper(int type)
{
    return type >= ITEM_BHO && type <= ITEM_EXTENSION;
}

void Show(HWND dialog, int id, int show)
{
    ShowWindow(GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE);
}

void SetText(HWND dialog, int id, const char *text)
{
    SetDlgItemTextA(dialog, id, text ? text : "");
}

void SetUiText(HWND dialog, int id, UINT string)
{
    char text[1024];
    LoadUiString(string, text, sizeof text);
    SetDlgItemTextA(dialog, id, text);
}

// A string with one "%s" filled with value.
void FillString(UINT string, const char *value, char *out, int size)
{
    char pattern[1024];
    LoadUiString(string, pattern, sizeof pattern);
    if (!FillTemplate(out, size, pattern, &value, 1)) CopyTextCut(out, (size_t)size, pattern);
}

const PageRow *RowAtPosition(ListPage *page, int position)
{
    return PageRowAt(page, RowIndexAt(page, position));
}

HFONT NoteFont(HWND dialog)
{
    if (!info.noteFont) {
        // The options "NoteFont" (a face name) and "NoteSize" (points);
        // Courier New of 9 points when they are missing or make no sense.
        char face[LF_FACESIZE] = "";
        if (StoreReadString(HKEY_CURRENT_USER, STORE_OPTIONS, "NoteFont", face, sizeof face) <= 0)
            CopyText(face, sizeof face, "Courier New");
        long points = GetOption("NoteSize", 9);
        if (points < 4 || points > 72) points = 9;
        HDC dc = GetDC(dialog);
        int height = -MulDiv((int)points, GetDeviceCaps(dc, LOGPIXELSY), 72);
        ReleaseDC(dialog, dc);
        info.noteFont = CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, face);
    }
    return info.noteFont;
}

// The note field: the program's note, editable with the note font, or a
// read-only explanation in the dialog's font.
void SetNoteField(HWND dialog, const char *text, int open)
{
    HWND field = GetDlgItem(dialog, IDC_NOTE);
    info.noteOpen = open;
    SendMessageA(field, WM_SETFONT,
                 (WPARAM)(open ? NoteFont(dialog) : (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0)), TRUE);
    size_t length = text ? strlen(text) : 0;
    // A longer note than the usual limit is kept whole, so saving it loses nothing.
    SendMessageA(field, EM_SETLIMITTEXT, length > NOTE_TEXT_MAX ? length : NOTE_TEXT_MAX, 0);
    SetWindowTextA(field, text ? text : "");
    SendMessageA(field, EM_SETREADONLY, !open, 0);
    SendMessageA(field, EM_SETMODIFY, FALSE, 0);
    SetUiText(dialog, IDC_NOTE_BUTTON, open ? 970 : 969);
    EnableWindow(GetDlgItem(dialog, IDC_NOTE_BUTTON), !open);
}

int NoteChanged(HWND dialog)
{
    return info.noteOpen && SendDlgItemMessageA(dialog, IDC_NOTE, EM_GETMODIFY, 0, 0);
}

// Writes the note field to the program's own note file. 1 when written;
// otherwise the user is told and the field keeps its text.
int SaveNote(HWND dialog)
{
    char file[PATH_SIZE];
    HWND field = GetDlgItem(dialog, IDC_NOTE);
    int length = GetWindowTextLengthA(field);
    char *text = (char *)malloc((size_t)length + 1);
    int saved = 0;
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    if (text) {
        GetWindowTextA(field, text, length + 1);
        error = ERROR_PATH_NOT_FOUND;
        if (UserNoteFilePath(info.row->record.path, file)) {
            saved = WriteNoteText(file, text);
            error = GetLastError();
        }
        free(text);
    }
    if (saved) {
        SendMessageA(field, EM_SETMODIFY, FALSE, 0);
        EnableWindow(GetDlgItem(dialog, IDC_NOTE_BUTTON), FALSE);
        return 1;
    }
    char reason[512] = "", message[1024];
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, reason,
                   sizeof reason, nullptr);
    FillString(STR_NOTE_NOT_SAVED, reason, message, sizeof message);
    PageMessageText(dialog, message, MB_OK | MB_ICONEXCLAMATION);
    return 0;
}

// Before the dialog leaves a record: an edited note is saved when the user
// wants it. 0 when the user cancels (the record stays).
int KeepNoteChanges(HWND dialog)
{
    if (!NoteChanged(dialog)) return 1;
    char message[1024];
    FillString(STR_SAVE_NOTE_FIRST, info.row->record.title, message, sizeof message);
    int answer = PageMessageText(dialog, message, MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL) return 0;
    if (answer == IDYES) return SaveNote(dialog);
    return 1;
}

void CreateNote(HWND dialog)
{
    const Item &record = info.row->record;
    char text[ITEM_TITLE_SIZE + ITEM_PATH_SIZE + 8];
    FormatTextCut(text, sizeof text, "%s\r\n%s\r\n", record.title, record.path);
    SetNoteField(dialog, text, 1);
    char file[PATH_SIZE];
    if (UserNoteFilePath(record.path, file) && WriteNoteText(file, text)) {
        EnableWindow(GetDlgItem(dialog, IDC_NOTE_BUTTON), FALSE);
    } else {
        // Not written: the text stays to be saved.
        SendDlgItemMessageA(dialog, IDC_NOTE, EM_SETMODIFY, TRUE, 0);
        EnableWindow(GetDlgItem(dialog, IDC_NOTE_BUTTON), TRUE);
    }
    HWND field = GetDlgItem(dialog, IDC_NOTE);
    SetFocus(field);
    SendMessageA(field, EM_SETSEL, (WPARAM)-1, (LPARAM)-1);
}

void SetIcon(HWND dialog, const Item &record)
{
    HICON icon = nullptr;
    char source[PATH_SIZE];
    // Toolbars and extensions name their own picture in info.
    if ((record.type == ITEM_TOOLBAR || record.type == ITEM_EXTENSION) && record.info[0]) {
        if (ResolveCommandPath(record.info, source) <= 0) CopyText(source, sizeof source, record.info);
    } else
        CopyText(source, sizeof source, info.fileFound ? info.file : "");
    if (source[0]) {
        UINT found = ExtractIconExA(source, 0, &icon, nullptr, 1);
        if (found == 0 || found == UINT_MAX) icon = nullptr;
    }
    HICON shown = icon ? icon : (HICON)LoadImageA(instance, MAKEINTRESOURCEA(115), IMAGE_ICON, 32, 32, LR_SHARED);
    SendDlgItemMessageA(dialog, IDC_PROGRAM_ICON, STM_SETICON, (WPARAM)shown, 0);
    if (info.icon) DestroyIcon(info.icon);
    info.icon = icon;
}

// The service part: start type list, state, Stop.
void FillService(HWND dialog, const Item &record)
{
    SetUiText(dialog, IDC_KILL, 650);
    HWND types = GetDlgItem(dialog, IDC_START_TYPES);
    SendMessageA(types, CB_RESETCONTENT, 0, 0);
    for (UINT string : {664u, 665u, 666u}) {
        char text[64];
        LoadUiString(string, text, sizeof text);
        SendMessageA(types, CB_ADDSTRING, 0, (LPARAM)text);
    }
    info.startEntry = -1;
    if (!record.detail[0]) {
        SetText(dialog, IDC_LOCATION, "");
        return;
    }
    for (int id : {IDC_APPLY, IDC_KILL, IDC_START_TYPES, IDC_START_TYPE_LABEL, IDC_STATUS, IDC_STATUS_LABEL})
        Show(dialog, id, 1);
    int entry = (int)SendMessageA(types, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)record.detail);
    SendMessageA(types, CB_SETCURSEL, (WPARAM)entry, 0);
    info.startEntry = entry;
    EnableWindow(GetDlgItem(dialog, IDC_APPLY), FALSE);
    ServiceStatusFacts facts;
    if (QueryServiceFacts(record.name, &facts)) {
        char state[256];
        ServiceStateText(record.name, state);
        SetText(dialog, IDC_STATUS, state);
        EnableWindow(GetDlgItem(dialog, IDC_KILL),
                     facts.state != SERVICE_STOPPED && (facts.controls & SERVICE_ACCEPT_STOP));
    } else {
        SetText(dialog, IDC_STATUS, "");
        EnableWindow(GetDlgItem(dialog, IDC_KILL), FALSE);
    }
}

// The note field and the type's own texts.
void FillNote(HWND dialog, const Item &record, const VersionFacts facts)
{
    char note[PATH_SIZE];
    char *text = nullptr;
    if (NoteFilePath(record.path, note) && ReadNoteText(note, &text) >= 0) {
        SetNoteField(dialog, text, 1);
        free(text);
        return;
    }
    static char explanation[4096];
    explanation[0] = 0;
    char line[1024];
    switch (record.type) {
    case ITEM_TASK: {
        // The next run as the scheduler has it now; the list's when the job
        // cannot be asked.
        char next[ITEM_DETAIL_SIZE];
        if (NextRunTimeOf(record.name, next, sizeof next) <= 0) CopyText(next, sizeof next, record.detail);
        LoadUiString(683, line, sizeof line);
        FormatTextCut(explanation, sizeof explanation, "%s: %s\r\n", line, next);
        LoadUiString(682, line, sizeof line);
        FormatTextCut(explanation + strlen(explanation), sizeof explanation - strlen(explanation),
                      "%s: %s\r\n", line, record.info);
        break;
    }
    case ITEM_FILETYPE:
        LoadUiString(755, line, sizeof line);
        FormatTextCut(explanation, sizeof explanation, "%s%s", line, record.info);
        break;
    default:
        if (record.type >= ITEM_WINLOGON_USERINIT && record.type <= ITEM_WINLOGON_NOTIFY &&
            ContainsNoCase(facts[VERSION_COMPANY_NAME], "Microsoft")) {
            FillString(908, record.title, explanation, sizeof explanation);
            LoadUiString(647, line, sizeof line);
            AppendTextCut(explanation, sizeof explanation, line);
        } else if (record.info[0]) {
            CopyTextCut(explanation, sizeof explanation, record.info);
        } else {
            LoadUiString(647, explanation, sizeof explanation);
        }
        break;
    }
    SetNoteField(dialog, explanation, 0);
}

void FillInfo(HWND dialog)
{
    const Item &record = info.row->record;
    for (int id : {IDC_APPLY, IDC_START_TYPES, IDC_START_TYPE_LABEL, IDC_RUN, IDC_KILL}) Show(dialog, id, 0);
    for (int id : {IDC_STATUS, IDC_STATUS_LABEL}) Show(dialog, id, 1);
    EnableWindow(GetDlgItem(dialog, IDC_KILL), TRUE);
    SetUiText(dialog, IDC_KILL, 306);

    info.file[0] = 0;
    ResolveCommandPath(record.path, info.file);
    char probe[PATH_SIZE];
    CopyText(probe, sizeof probe, info.file);
    info.fileFound = info.file[0] && FileExists(probe);
    if (info.fileFound) CopyText(info.file, sizeof info.file, probe);

    SetWindowTextA(dialog, record.title);
    SetText(dialog, IDC_PATH, info.file[0] ? info.file : record.path);
    SetIcon(dialog, record);

    char location[1024] = "", text[1024];
    if (!IsService(record.type)) {
        LoadUiString(646, location, sizeof location);
        if (DescribeEntryLocation(&record, record.disabled, text, sizeof text) > 0)
            AppendTextCut(location, sizeof location, text);
        SetText(dialog, IDC_LOCATION, location);
        if (record.type < ITEM_BHO) {
            if (info.fileFound && IsProgramRunning(info.file)) {
                SetUiText(dialog, IDC_STATUS, 655);
                Show(dialog, IDC_KILL, 1);
            } else if (!info.fileFound) {
                SetUiText(dialog, IDC_STATUS, 730);
            } else {
                SetUiText(dialog, IDC_STATUS, 831);
                Show(dialog, IDC_RUN, 1);
            }
        } else {
            for (int id : {IDC_STATUS, IDC_STATUS_LABEL}) Show(dialog, id, 0);
        }
    } else {
        SetText(dialog, IDC_LOCATION, "");
        SetText(dialog, IDC_STATUS, "");
        FillService(dialog, record);
    }
    if (!info.fileFound && !IsIeHelper(record.type)) SetUiText(dialog, IDC_STATUS, 730);

    static VersionFacts facts;
    for (auto &slot : facts) slot[0] = 0;
    if (info.fileFound) ReadVersionFacts(info.file, facts);
    SetText(dialog, IDC_PRODUCT, facts[VERSION_PRODUCT_NAME]);
    SetText(dialog, IDC_VERSION, facts[VERSION_PRODUCT_VERSION]);
    SetText(dialog, IDC_COMPANY, facts[VERSION_COMPANY_NAME]);
    SetText(dialog, IDC_DESCRIPTION,
            facts[VERSION_FILE_DESCRIPTION][0] ? facts[VERSION_FILE_DESCRIPTION] : record.title);
    SetText(dialog, IDC_COPYRIGHT, facts[VERSION_LEGAL_COPYRIGHT]);

    char dates[5][FILE_FACT_SIZE] = {"", "", "", "", ""};
    if (info.fileFound) GetFileDates(info.file, record.type, dates);
    char seen[DATE_TEXT_SIZE];
    if (!dates[3][0] && info.file[0] && GetFirstSeen(info.file, record.type, seen) > 0)
        CopyTextCut(dates[3], FILE_FACT_SIZE, seen);
    SetText(dialog, IDC_CREATED, dates[0]);
    SetText(dialog, IDC_SAVED, dates[2]);
    SetText(dialog, IDC_DETECTED, dates[3]);
    SetText(dialog, IDC_FILE_SIZE, info.fileFound ? dates[4] : "");
    // Who signed the file, checked; the company above is only its own say.
    Signature signature;
    VerifyProgramFile(info.fileFound ? info.file : "", &signature);
    char publisher[SIGNER_NAME_SIZE];
    PublisherText(&signature, publisher, sizeof publisher);
    SetText(dialog, IDC_PUBLISHER, publisher);

    // By type: the location line of IE helpers, processes and file types;
    // Winlogon and the other system entries cannot be stopped or run here.
    if (IsIeHelper(record.type)) {
        LoadUiString(716, text, sizeof text);
        FormatTextCut(location, sizeof location, "%s: \"HKLM\\%s\"", text, record.name);
        SetText(dialog, IDC_LOCATION, location);
    } else if (record.type == ITEM_PROCESS || record.type == ITEM_FILETYPE) {
        SetText(dialog, IDC_LOCATION, "");
    } else if (record.type >= ITEM_WINLOGON_USERINIT && record.type <= ITEM_WINLOGON_NOTIFY) {
        Show(dialog, IDC_KILL, 0);
        Show(dialog, IDC_RUN, 0);
    } else if (record.type == ITEM_HIDDEN) {
        for (int id : {IDC_STATUS, IDC_STATUS_LABEL, IDC_KILL, IDC_RUN}) Show(dialog, id, 0);
    }
    FillNote(dialog, record, facts);
}

// Next (+1) or Previous (-1), wrapping around at the ends.
void Step(HWND dialog, int direction)
{
    if (!KeepNoteChanges(dialog)) return;
    int count = (int)SendMessageA(info.page->list, LVM_GETITEMCOUNT, 0, 0);
    if (count <= 0) return;
    int position = ((info.position + direction) % count + count) % count;
    const PageRow *row = RowAtPosition(info.page, position);
    if (!row) return;
    info.position = position;
    info.row = row;
    FillInfo(dialog);
}

void StopOrKill(HWND dialog)
{
    const Item &record = info.row->record;
    if (IsService(record.type)) {
        DWORD error = StopServiceLogged(ServiceRefOf(record));
        if (error && error != ERROR_SERVICE_NOT_ACTIVE) {
            char text[1024];
            ServiceFailureText(STR_SERVICE_STOP_FAILED, record.title, record.name, error, text, sizeof text);
            PageMessageText(dialog, text, MB_OK | MB_ICONEXCLAMATION);
        }
    } else if (info.file[0]) {
        StopProgram(info.file, record.title, 0);
        // Give the process a moment to be gone before the state is read again.
        for (int i = 0; i < 20 && IsProgramRunning(info.file); i++) Sleep(50);
    }
    FillInfo(dialog);
}

void Run(HWND dialog)
{
    const Item &record = info.row->record;
    if (!IsService(record.type) && info.fileFound)
        ShellExecuteA(dialog, "open", info.file, nullptr, nullptr, SW_SHOWNORMAL);
    FillInfo(dialog);
}

void ApplyStartType(HWND dialog)
{
    const Item &record = info.row->record;
    int entry = (int)SendDlgItemMessageA(dialog, IDC_START_TYPES, CB_GETCURSEL, 0, 0);
    if (entry < 0 || entry > 2) return;
    DWORD error = SetServiceStartLogged(ServiceRefOf(record), entry + SERVICE_AUTO_START);
    if (error) {
        char text[1024];
        ServiceFailureText(STR_SERVICE_TYPE_FAILED, record.title, record.name, error, text, sizeof text);
        PageMessageText(dialog, text, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    info.startEntry = entry;
    EnableWindow(GetDlgItem(dialog, IDC_APPLY), FALSE);
}

void SetExpanded(HWND dialog, int full)
{
    info.full = full;
    RECT r;
    GetWindowRect(dialog, &r);
    SetWindowPos(dialog, nullptr, 0, 0, r.right - r.left, full ? info.fullHeight : info.shrunkHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetUiText(dialog, IDC_EXPAND, full ? 919 : 918);
}

void Initialise(HWND dialog)
{
    static const struct {
        int control;
        UINT string;
    } kTexts[] = {
        {IDOK, 304},          {IDC_ONLINE_INFO, 641},     {IDC_FREE_INFO, 731},
        {IDC_RUN, 832},       {IDC_APPLY, 662},           {IDC_PREVIOUS, STR_PREVIOUS},
        {IDC_NEXT, STR_NEXT}, {IDC_VERSION_LABEL, 644},   {IDC_COMPANY_LABEL, 643},
        {IDC_COPYRIGHT_LABEL, 645}, {IDC_STATUS_LABEL, 668}, {IDC_START_TYPE_LABEL, 667},
        {IDC_CREATED_LABEL, 915},   {IDC_SAVED_LABEL, 917},  {IDC_DETECTED_LABEL, 921},
        {IDC_FILE_SIZE_LABEL, 920}, {IDC_PUBLISHER_LABEL, 3765},
    };
    for (const auto &t : kTexts) SetUiText(dialog, t.control, t.string);

    // The shrunk dialog ends under the row of Previous and Next.
    RECT window, divider;
    GetWindowRect(dialog, &window);
    GetWindowRect(GetDlgItem(dialog, IDC_DIVIDER), &divider);
    info.fullHeight = window.bottom - window.top;
    info.shrunkHeight = divider.top - window.top;
    RestoreWindowPos(dialog, &POS_INFO, currentPage);
    SetExpanded(dialog, 1);
    FillInfo(dialog);
}

void Close(HWND dialog, int id)
{
    if (!KeepNoteChanges(dialog)) return;
    SaveWindowPos(dialog, &POS_INFO, currentPage);
    EndDialog(dialog, id);
}

INT_PTR CALLBACK InfoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        Initialise(dialog);
        return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wParam), code = HIWORD(wParam);
        switch (id) {
        case IDOK: case IDCANCEL: Close(dialog, id); break;
        case IDC_START_TYPES:
            if (code == CBN_SELCHANGE) {
                int entry = (int)SendDlgItemMessageA(dialog, IDC_START_TYPES, CB_GETCURSEL, 0, 0);
                EnableWindow(GetDlgItem(dialog, IDC_APPLY), entry >= 0 && entry != info.startEntry);
            }
            break;
        case IDC_NOTE:
            if (code == EN_CHANGE && info.noteOpen) EnableWindow(GetDlgItem(dialog, IDC_NOTE_BUTTON), TRUE);
            break;
        case IDC_NOTE_BUTTON:
            if (info.noteOpen)
                SaveNote(dialog);
            else
                CreateNote(dialog);
            break;
        case IDC_NEXT: Step(dialog, 1); break;
        case IDC_PREVIOUS: Step(dialog, -1); break;
        case IDC_ONLINE_INFO:
            ShowProgramInfo(dialog, info.row->record.type + 1000, info.row->record.path,
                            info.row->record.title);
            break;
        case IDC_FREE_INFO: ShowFreeInfoPage(dialog); break;
        case IDC_KILL: StopOrKill(dialog); break;
        case IDC_RUN: Run(dialog); break;
        case IDC_APPLY: ApplyStartType(dialog); break;
        case IDC_EXPAND: SetExpanded(dialog, !info.full); break;
        default: break;
        }
        return TRUE;
    }
    case WM_DESTROY:
        if (info.icon) DestroyIcon(info.icon);
        info.icon = nullptr;
        if (info.noteFont) DeleteObject(info.noteFont);
        info.noteFont = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

const PageRow *SelectedPageRow(ListPage *page)
{
    const PageRow *row = PageRowAt(page, SelectedRecord(page));
    if (!row) ShowStringMessage(57);
    return row;
}

}  // namespace

int ShowInfo(ListPage *page)
{
    int position = SelectedRow(page->list);
    const PageRow *row = RowAtPosition(page, position);
    if (!row) {
        ShowStringMessage(57);
        return 0;
    }
    info = InfoState();
    info.page = page;
    info.position = position;
    info.row = row;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(DLG_PROGRAM_INFO), page->window, InfoDialogProc, 0);
    SelectRow(page->list, position);
    info.page = nullptr;
    info.row = nullptr;
    return 1;
}

int ShowOnlineInfo(ListPage *page)
{
    const PageRow *row = SelectedPageRow(page);
    if (!row) return 0;
    return ShowProgramInfo(page->window, row->record.type + 1000, row->record.path, row->record.title);
}

int ViewNote(ListPage *page)
{
    const PageRow *row = SelectedPageRow(page);
    if (!row) return 0;
    char note[PATH_SIZE];
    if (!NoteFilePath(row->record.path, note) || GetFileAttributesA(note) == INVALID_FILE_ATTRIBUTES) return 0;
    return (INT_PTR)ShellExecuteA(page->window, "open", note, nullptr, nullptr, SW_SHOWNORMAL) > 32;
}

int RowHasNote(const PageRow *row)
{
    return row && HasNote(row->record.path);
}

void MarkInfoButton(HWND page, const PageRow *row)
{
    static HFONT bold;
    HWND button = GetDlgItem(page, IDC_INFO);
    HFONT normal = (HFONT)SendMessageA(page, WM_GETFONT, 0, 0);
    if (!bold && normal) {
        LOGFONTA font = {};
        if (GetObjectA(normal, sizeof font, &font)) {
            font.lfWeight = FW_BOLD;
            bold = CreateFontIndirectA(&font);
        }
    }
    HFONT wanted = row && bold && RowHasNote(row) ? bold : normal;
    if ((HFONT)SendMessageA(button, WM_GETFONT, 0, 0) != wanted) SendMessageA(button, WM_SETFONT, (WPARAM)wanted, TRUE);
}
