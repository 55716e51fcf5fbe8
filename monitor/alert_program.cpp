// Sentrel.exe: the alerts that show one program: new startup program,
// delayed program returned, IE helper, scheduled task, service and hidden
// file. Each shows the program file's name, version, company, description
// (and copyright), its icon and its command, and asks one question.
#include <windows.h>

#include <cstring>

#include "alert_dialog.h"
#include "alerts.h"
#include "history.h"
#include "items.h"
#include "monitor.h"
#include "options.h"
#include "services.h"
#include "signatures.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"

namespace {
// The service of the service alert: its key name. An alert filled with a
// title only takes that for the key name; it is never looked up as a
// display name.
const char *AlertServiceName()
{
    return AlertName[0] ? AlertName : AlertTitle;
}

enum NameRule { NAME_PRODUCT, NAME_STARTUP, NAME_TASK, NAME_TITLE, NAME_SERVICE };

struct ProgramAlertKind {
    int dialog;
    UINT caption, message;
    UINT versionLabel;       // 630 "Version" or 644 "Version:"
    NameRule name;
    int historyType;         // 0: AlertType
    int historyAction;       // -1: no line when the alert opens
    int historyTitleIsAlertTitle;
};

const ProgramAlertKind kKinds[] = {
    {DLG_ALERT_NEW_PROGRAM, 718, 7, 630, NAME_STARTUP, 0, 6, 0},
    {DLG_ALERT_DELAYED, 1023, 1022, 630, NAME_PRODUCT, 0, -1, 0},
    {DLG_ALERT_IE_HELPER, 718, 701, 644, NAME_TITLE, 900, 8, 0},
    {DLG_ALERT_TASK, 718, 692, 644, NAME_TASK, 800, 7, 0},
    {DLG_ALERT_SERVICE, 718, 900, 630, NAME_SERVICE, 0, -1, 0},
    {DLG_ALERT_HIDDEN, 718, 1015, 644, NAME_TITLE, 370, 28, 1},
};

// Fixed names of the new-program alert for the Winlogon and shell
// extension points (254 keeps the product name).
const struct {
    int type;
    const char *name;
} kFixedNames[] = {
    {250, "WinLogon:UserInit"}, {251, "WinLogon:Shell"},     {252, "ObjectDelayLoad"},
    {253, "SharedTaskScheduler"}, {255, "AppInit_DLLs"},
};

// Location sentences of the new-program alert.
UINT LocationSentence(int type)
{
    switch (type) {
    case 2: case 3: case 5: case 6: case 12: case 13: case 15: case 16:
    case 22: case 23: case 25: case 26:
        return 766;
    case 100: case 101:
        return 767;
    case 200:
        return 768;
    default:
        return 765;
    }
}

// One alert is open at a time.
struct {
    const ProgramAlertKind *kind;
    AlertWindow window;
    AlertProgram program;
} open;

const ProgramAlertKind *KindOf(int dialog)
{
    for (const auto &kind : kKinds)
        if (kind.dialog == dialog) return &kind;
    return nullptr;
}

void ShownName(const ProgramAlertKind *kind, char *out, int size)
{
    const char *product = open.program.facts[VERSION_PRODUCT_NAME];
    switch (kind->name) {
    case NAME_STARTUP: {
        for (const auto &fixed : kFixedNames)
            if (fixed.type == AlertType) {
                CopyText(out, (size_t)size, fixed.name);
                return;
            }
        // A program without a product name (or whose file is missing) is
        // still named: by its description, the entry's own title, or its
        // file's name.
        const char *description = open.program.facts[VERSION_FILE_DESCRIPTION];
        const char *path = open.program.path[0] ? open.program.path : AlertCommand;
        if (product[0])
            CopyText(out, (size_t)size, product);
        else if (description[0] && !open.program.missing)
            CopyText(out, (size_t)size, description);
        else if (AlertTitle[0])
            CopyText(out, (size_t)size, AlertTitle);
        else
            CopyText(out, (size_t)size, path + FileNameIndex(path));
        return;
    }
    case NAME_TASK: {
        // The job's own name, without ".job" when it has it.
        size_t length = strlen(AlertTitle);
        if (length > 4 && TextEqualNoCase(AlertTitle + length - 4, ".job"))
            CopyTextN(out, (size_t)size, AlertTitle, length - 4);
        else if (length)
            CopyText(out, (size_t)size, AlertTitle);
        else
            CopyText(out, (size_t)size, product);
        return;
    }
    case NAME_TITLE:
        CopyText(out, (size_t)size, AlertTitle);
        return;
    case NAME_SERVICE:
        // The display name any service may choose, and the key name that
        // is the service itself.
        if (AlertName[0] && !TextEqualNoCase(AlertName, AlertTitle))
            FormatTextCut(out, (size_t)size, "%s (%s)", AlertTitle, AlertName);
        else
            CopyText(out, (size_t)size, AlertTitle);
        return;
    default:
        CopyText(out, (size_t)size, product);
        return;
    }
}

void ShowMessage(HWND dialog, const ProgramAlertKind *kind)
{
    char pattern[1024], text[2048];
    if (kind->dialog == DLG_ALERT_NEW_PROGRAM) {
        if (LoadUiString(kind->message, pattern, sizeof pattern) <= 0) return;
        if (!strstr(pattern, "%s")) {
            SetDlgItemTextA(dialog, IDC_ALERT_MESSAGE, pattern);   // a translation without the place
            return;
        }
        char sentence[512];
        LoadUiString(LocationSentence(AlertType), sentence, sizeof sentence);
        const char *values[] = {sentence};
        if (FillTemplate(text, sizeof text, pattern, values, 1) > 0)
            SetDlgItemTextA(dialog, IDC_ALERT_MESSAGE, text);
        SetAlertFont(dialog, IDC_ALERT_MESSAGE, &open.window, ALERT_FONT_MESSAGE);
        return;
    }
    SetDlgItemUiString(dialog, kind->message, IDC_ALERT_MESSAGE);
    if (kind->dialog == DLG_ALERT_SERVICE) {
        SetAlertFont(dialog, IDC_ALERT_MESSAGE, &open.window, ALERT_FONT_MESSAGE);
        char start[256], active[256];
        ServiceStartText(AlertServiceName(), start, sizeof start);
        ServiceStateText(AlertServiceName(), active);
        const char *values[] = {start, active};
        if (LoadUiString(901, pattern, sizeof pattern) > 0 &&
            FillTemplate(text, sizeof text, pattern, values, 2) > 0)
            SetDlgItemTextA(dialog, IDC_ALERT_MESSAGE2, text);
    }
}

void InitProgramAlert(HWND dialog, int dialogId)
{
    const ProgramAlertKind *kind = KindOf(dialogId);
    open.kind = kind;
    OpenAlertWindow(dialog, &open.window, kind->caption, &POS_ALERT, &POS_ALERT);
    SetDlgItemUiString(dialog, 719, IDYES);
    SetDlgItemUiString(dialog, kind->dialog == DLG_ALERT_DELAYED ? 633 : 720, IDNO);
    SetDlgItemUiString(dialog, 925, IDCANCEL);   // the hidden file alert's "Delete"
    SetDlgItemUiString(dialog, 641, IDC_ALERT_INFO);
    SetDlgItemUiString(dialog, kind->versionLabel, IDC_ALERT_VERSION_LABEL);
    ShowMessage(dialog, kind);

    if (kind->dialog == DLG_ALERT_NEW_PROGRAM) CountAlertRepeat(AlertCommand);

    ReadAlertProgram(AlertCommand, &open.program, &open.window, 0);
    const VersionFacts &facts = open.program.facts;
    char name[ALERT_TEXT_SIZE];
    ShownName(kind, name, sizeof name);
    SetDlgItemTextA(dialog, IDC_ALERT_NAME, name);
    SetAlertFont(dialog, IDC_ALERT_NAME, &open.window, ALERT_FONT_NAME);
    SetDlgItemTextA(dialog, IDC_ALERT_VERSION, facts[VERSION_PRODUCT_VERSION]);
    SetAlertField(dialog, IDC_ALERT_COMPANY, facts[VERSION_COMPANY_NAME]);
    char notFound[ALERT_TEXT_SIZE] = "";
    if (open.program.missing) LoadUiString(730, notFound, sizeof notFound);
    SetAlertField(dialog, IDC_ALERT_DESCRIPTION, open.program.missing ? notFound : facts[VERSION_FILE_DESCRIPTION]);
    SetAlertField(dialog, IDC_ALERT_COPYRIGHT, facts[VERSION_LEGAL_COPYRIGHT]);
    if (GetDlgItem(dialog, IDC_ALERT_PUBLISHER)) {
        // Who signed it, checked: a company name is only what the file says.
        Signature signature;
        VerifyProgramFile(open.program.path, &signature);
        char publisher[SIGNER_NAME_SIZE], pattern[64], line[SIGNER_NAME_SIZE + 64];
        PublisherText(&signature, publisher, sizeof publisher);
        LoadUiString(3764, pattern, sizeof pattern);
        const char *values[] = {publisher};
        if (!FillTemplate(line, sizeof line, pattern, values, 1)) CopyTextCut(line, sizeof line, publisher);
        SetDlgItemTextA(dialog, IDC_ALERT_PUBLISHER, line);
    }
    SetAlertIcon(dialog, IDC_ALERT_ICON, open.program.icon);
    SetDlgItemTextA(dialog, IDC_ALERT_COMMAND, AlertCommand);
    SetAlertFont(dialog, IDC_ALERT_COMMAND, &open.window, ALERT_FONT_COMMAND);
    if (GetDlgItem(dialog, IDC_ALERT_PLACE)) SetDlgItemTextA(dialog, IDC_ALERT_PLACE, AlertPlace);

    if (kind->historyAction >= 0) {
        // Without a product name the line still says what it is about.
        const char *title = kind->historyTitleIsAlertTitle ? AlertTitle
                            : kind->dialog == DLG_ALERT_NEW_PROGRAM ? name
                                                                    : facts[VERSION_PRODUCT_NAME];
        if (!title[0]) title = AlertTitle[0] ? AlertTitle : open.program.path;
        WriteHistory(title, open.program.path, open.program.missing ? notFound : facts[VERSION_FILE_DESCRIPTION],
                     kind->historyType ? kind->historyType : AlertType, kind->historyAction);
    }
}

// The result of a button (or of Esc, IDCANCEL) for the open alert; -1 when
// the command does not end it.
INT_PTR AnswerOf(HWND dialog, int command)
{
    int kind = open.kind->dialog;
    int yes = command == IDYES || command == IDOK;
    int no = command == IDNO;
    int escape = command == IDCANCEL;
    if (!yes && !no && !escape) return -1;
    switch (kind) {
    case DLG_ALERT_NEW_PROGRAM: {
        int help = 0;
        int result = NewProgramAnswer(!no, AlertType, &help);
        if (help) OpenAlertHelpPage(mainWindow, 6051);
        return result;
    }
    case DLG_ALERT_SERVICE:
        if (yes) return ALERT_APPROVE;
        RejectAlertService(dialog);
        return ALERT_REJECT;
    case DLG_ALERT_HIDDEN:
        return yes ? ALERT_APPROVE : ALERT_REJECT;   // "Delete" is the cancel button
    default:
        return no ? ALERT_REJECT : ALERT_APPROVE;
    }
}
}  // namespace

INT_PTR CALLBACK ProgramAlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitProgramAlert(dialog, (int)lParam);
        return TRUE;
    case WM_COMMAND: {
        int command = LOWORD(wParam);
        if (command == IDC_ALERT_INFO) {
            OpenAlertProgramInfo(dialog, AlertType + 1000, AlertCommand);
            DropAlertTopmost(dialog);
            return TRUE;
        }
        INT_PTR result = AnswerOf(dialog, command);
        if (result >= 0) EndDialog(dialog, result);
        return TRUE;
    }
    case WM_DESTROY:
        CloseAlertWindow(dialog, &open.window);
        return FALSE;
    default:
        return FALSE;
    }
}

// --- The repeat rule of the new-program alert --------------------------------

int CountAlertRepeat(const char *command)
{
    if (!command) command = "";
    // Only alerts in a row for the same command count: another command
    // starts the count afresh.
    if (AlertLastCommand[0] && TextEqualNoCase(command, AlertLastCommand))
        AlertRepeatCount++;
    else
        AlertRepeatCount = 0;
    CopyTextCut(AlertLastCommand, sizeof AlertLastCommand, command);
    return AlertRepeatCount;
}

int NewProgramAnswer(int yes, int type, int *openHelp)
{
    *openHelp = 0;
    if (yes) {
        if (AlertRepeatCount < 2) return ALERT_APPROVE;
    } else if (AlertRepeatCount <= 1) {
        return type == ITEM_WINLOGON_NOTIFY ? ALERT_STOP_AND_DISABLE : ALERT_REJECT;
    } else {
        settings.hideAlerts = 2;   // the rest of this pass rejects without asking
    }
    AlertRepeatCount = 0;
    AlertLastCommand[0] = 0;
    *openHelp = 1;
    return ALERT_STOP_AND_DISABLE;
}

// --- The service alert -----------------------------------------------------------

int ServiceStartText(const char *service, char *out, int size)
{
    UINT text;
    switch (ServiceStartValue(service)) {
    case SERVICE_AUTO_START: text = 664; break;
    case SERVICE_DEMAND_START: text = 665; break;
    case SERVICE_DISABLED: text = 666; break;
    default: text = 616; break;
    }
    return LoadUiString(text, out, size);
}

void RejectAlertService(HWND owner)
{
    ServiceRef service = {AlertServiceName(), AlertTitle, AlertCommand, AlertType};
    ServiceRejection result;
    RejectServiceLogged(service, &result);
    const struct {
        DWORD error;
        UINT text;
    } failures[] = {{result.stopError, STR_SERVICE_STOP_FAILED}, {result.disableError, STR_SERVICE_TYPE_FAILED}};
    for (const auto &failure : failures) {
        if (!failure.error) continue;
        char text[1024];
        if (ServiceFailureText(failure.text, AlertTitle, AlertName, failure.error, text, sizeof text) > 0)
            UiMessageBoxText(owner, text, windowTitle, MB_OK | MB_ICONSTOP | MB_TOPMOST);
    }
}
