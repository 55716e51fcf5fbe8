// Services: changes made on the user's behalf, each written to the history
// as what really happened, and the baseline of approved services.
#include "services.h"

#include <cstring>

#include "history.h"
#include "inventory.h"
#include "items.h"
#include "signatures.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"

namespace {

enum ServiceAction {
    ACTION_STOP = 9,
    ACTION_AUTOMATIC = 10,          // 10, 11, 12: the new start type
    ACTION_FROM_AUTOMATIC = 17,     // 17, 18, 19: the start type it had
    ACTION_START = 32,
    ACTION_STOP_FAILED = 33,
    ACTION_START_FAILED = 34,
    ACTION_START_TYPE_FAILED = 35,
};

// "code  text" of a system error, the text on one line.
void ErrorText(DWORD error, char *out, size_t size)
{
    char message[512] = "";
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), message, sizeof message, nullptr);
    if (n == 0 || n >= sizeof message) message[0] = 0;
    for (char *c = message; *c; c++)
        if (*c == '\r' || *c == '\n') *c = ' ';
    size_t length = strlen(message);
    while (length > 0 && message[length - 1] == ' ') message[--length] = 0;
    FormatTextCut(out, size, "%lu  %s", error, message);
}

void Log(const ServiceRef &service, int action)
{
    WriteHistory(service.title, service.command, service.name, service.type, action);
}

void LogFailure(const ServiceRef &service, int action, DWORD error)
{
    char text[600], detail[HISTORY_PATH_SIZE];
    ErrorText(error, text, sizeof text);
    FormatTextCut(detail, sizeof detail, "%s: %s", service.name ? service.name : "", text);
    WriteHistory(service.title, service.command, detail, service.type, action);
}

// The baseline's value name for a record's title; an empty title (which
// would be the key's default value, its "built" mark) is named by the key name.
const char *TitleValueName(const Item &record)
{
    return record.title[0] ? record.title : record.name ? record.name : "";
}

int ReadsAsKnown(const char *path, const char *name)
{
    char data[33];
    if (!name || !name[0]) return 0;
    if (StoreReadString(HKEY_CURRENT_USER, path, name, data, sizeof data) <= 0) return 0;
    return DecimalValue(data) != 0;
}

}  // namespace

ServiceRef ServiceRefOf(const Item &record)
{
    ServiceRef ref = {record.name ? record.name : "", record.title, record.path, record.type};
    return ref;
}

int ServiceFailureText(UINT templateId, const char *title, const char *name, DWORD error, char *out, int size)
{
    char pattern[512], text[600], shown[ITEM_TITLE_SIZE + SERVICE_NAME_SIZE + 8];
    if (LoadUiString(templateId, pattern, sizeof pattern) <= 0) CopyText(pattern, sizeof pattern, "%s\n\n%s");
    ErrorText(error, text, sizeof text);
    if (name && name[0] && !TextEqualNoCase(name, title ? title : ""))
        FormatTextCut(shown, sizeof shown, "%s (%s)", title ? title : "", name);
    else
        CopyTextCut(shown, sizeof shown, title ? title : "");
    const char *values[] = {shown, text};
    return FillTemplate(out, size, pattern, values, 2);
}

DWORD StopServiceLogged(const ServiceRef &service)
{
    DWORD error = StopServiceWaiting(service.name);
    // A service that was not running was not stopped: nothing to write.
    if (error == ERROR_SERVICE_NOT_ACTIVE) return error;
    if (error)
        LogFailure(service, ACTION_STOP_FAILED, error);
    else
        Log(service, ACTION_STOP);
    return error;
}

DWORD StartServiceLogged(const ServiceRef &service)
{
    DWORD error = StartServiceWaiting(service.name);
    if (error)
        LogFailure(service, ACTION_START_FAILED, error);
    else
        Log(service, ACTION_START);
    return error;
}

DWORD SetServiceStartLogged(const ServiceRef &service, int start)
{
    if (start < SERVICE_AUTO_START || start > SERVICE_DISABLED) return ERROR_INVALID_PARAMETER;
    int former = ServiceStartValue(service.name);
    if (!SetServiceStartType(service.name, start)) {
        DWORD error = GetLastError();
        if (!error) error = ERROR_INVALID_FUNCTION;
        LogFailure(service, ACTION_START_TYPE_FAILED, error);
        return error;
    }
    if (former >= SERVICE_AUTO_START && former <= SERVICE_DISABLED)
        Log(service, ACTION_FROM_AUTOMATIC + former - SERVICE_AUTO_START);
    Log(service, ACTION_AUTOMATIC + start - SERVICE_AUTO_START);
    return 0;
}

void RejectServiceLogged(const ServiceRef &service, ServiceRejection *result)
{
    result->stopError = StopServiceLogged(service);
    // A service that was not running needed no stop.
    if (result->stopError == ERROR_SERVICE_NOT_ACTIVE) result->stopError = 0;
    result->disableError = SetServiceStartLogged(service, SERVICE_DISABLED);
}

int IsServiceNameKnown(const char *name)
{
    return ReadsAsKnown(SERVICES_BASELINE_NAMES, name);
}

int ServiceSignatureHolds(const Item &record, char *signer)
{
    return ApprovedSignerHolds(SERVICES_SIGNERS, record.name, record.path, signer);
}

int HasBrokenServiceSigner(void)
{
    int broken = 0;
    StoreForEachValue(HKEY_CURRENT_USER, 0, SERVICES_SIGNERS, [&](const char *name, const StoreBlob *) {
        char program[1024];
        if (ServiceProgramOf(name, program, sizeof program) > 0 &&
            !ApprovedSignerHolds(SERVICES_SIGNERS, name, program, nullptr))
            broken = 1;
        return !broken;
    });
    return broken;
}

int IsServiceApproved(const Item &record)
{
    if (!IsServiceNameKnown(record.name)) return 0;
    if (ReadsAsKnown(SERVICES_BASELINE, TitleValueName(record))) return ServiceSignatureHolds(record, nullptr);
    // Approved before titles kept their own names: a title holding
    // "Sentrel" was stored as "Sentrel". The key name is known, so the
    // approval moves to the title itself.
    const char *title = TitleValueName(record);
    if (FindTextNoCase(title, "Sentrel") && ReadsAsKnown(SERVICES_BASELINE, "Sentrel")) {
        StoreWriteDecimal(HKEY_CURRENT_USER, SERVICES_BASELINE, title, record.type);
        return 1;
    }
    return 0;
}

int ApproveService(const Item &record)
{
    const char *title = TitleValueName(record);
    if (!record.name || !record.name[0] || !title[0]) return 0;
    int written = StoreWriteDecimal(HKEY_CURRENT_USER, SERVICES_BASELINE, title, record.type) &&
                  StoreWriteDecimal(HKEY_CURRENT_USER, SERVICES_BASELINE_NAMES, record.name, record.type);
    // The approval remembers who signed the program it was given for.
    if (written) RememberApprovedSigner(SERVICES_SIGNERS, record.name, record.path);
    return written;
}

void WriteServiceBaseline(void)
{
    EnumerateServices(0);
    for (int i = 0; i < ItemCount(); i++)
        if (const Item *record = GetItem(i)) ApproveService(*record);
    FreeItems();
}
