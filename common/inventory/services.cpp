// Services: the listing read from the registry (with the display names the
// service control manager gives), and the state, start type and control of
// one service through the manager.
#include "services.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "inventory.h"
#include "items.h"
#include "options.h"
#include "program_files.h"
#include "signatures.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"
#include "version_names.h"
#include "watch_places.h"

// --- The manager's view of every service at one moment ---------------------

struct ServiceSnapshot {
    BYTE *buffer = nullptr;
    const ENUM_SERVICE_STATUS_PROCESSA **services = nullptr;   // sorted by key name
    DWORD count = 0;

    ServiceSnapshot() = default;
    ServiceSnapshot(const ServiceSnapshot &) = delete;
    ServiceSnapshot &operator=(const ServiceSnapshot &) = delete;
    ~ServiceSnapshot()
    {
        free(buffer);
        free(services);
    }

    static int Compare(const void *a, const void *b)
    {
        return lstrcmpiA((*(const ENUM_SERVICE_STATUS_PROCESSA *const *)a)->lpServiceName,
                         (*(const ENUM_SERVICE_STATUS_PROCESSA *const *)b)->lpServiceName);
    }

    // Every service and driver the manager knows.
    void Take()
    {
        SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
        if (!manager) return;
        DWORD need = 0, returned = 0, resume = 0;
        EnumServicesStatusExA(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32 | SERVICE_DRIVER,
                              SERVICE_STATE_ALL, nullptr, 0, &need, &returned, &resume, nullptr);
        // Services added meanwhile make the room too small: ask again, a few times.
        for (int attempt = 0; attempt < 4 && need > 0; attempt++) {
            DWORD size = need + 4096;
            BYTE *room = (BYTE *)realloc(buffer, size);
            if (!room) break;
            buffer = room;
            resume = 0;
            if (EnumServicesStatusExA(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32 | SERVICE_DRIVER,
                                      SERVICE_STATE_ALL, buffer, size, &need, &returned, &resume,
                                      nullptr)) {
                Index((const ENUM_SERVICE_STATUS_PROCESSA *)buffer, returned);
                break;
            }
            if (GetLastError() != ERROR_MORE_DATA) break;
        }
        CloseServiceHandle(manager);
    }

    void Index(const ENUM_SERVICE_STATUS_PROCESSA *found, DWORD n)
    {
        services = (const ENUM_SERVICE_STATUS_PROCESSA **)calloc(n ? n : 1, sizeof *services);
        if (!services) return;
        for (DWORD i = 0; i < n; i++)
            if (found[i].lpServiceName) services[count++] = &found[i];
        qsort(services, count, sizeof *services, Compare);
    }

    const ENUM_SERVICE_STATUS_PROCESSA *Find(const char *keyName) const
    {
        if (!services || !count || !keyName) return nullptr;
        ENUM_SERVICE_STATUS_PROCESSA key = {};
        key.lpServiceName = (char *)keyName;
        const ENUM_SERVICE_STATUS_PROCESSA *wanted = &key;
        const ENUM_SERVICE_STATUS_PROCESSA *const *hit = (const ENUM_SERVICE_STATUS_PROCESSA *const *)bsearch(
            &wanted, services, count, sizeof *services, Compare);
        return hit ? *hit : nullptr;
    }

    const char *DisplayName(const char *keyName) const
    {
        const ENUM_SERVICE_STATUS_PROCESSA *service = Find(keyName);
        return service && service->lpDisplayName ? service->lpDisplayName : nullptr;
    }
};

namespace {

// Microsoft's by a signature whose chain ends in a Microsoft root: the
// company text of the version resource is the program's own say. (The
// answer is kept per file, so services sharing a program check it once.)
int IsMicrosoftProgram(const char *path)
{
    char file[PATH_SIZE];
    if (ResolveCommandPath(path, file) <= 0) return 0;
    Signature signature;
    VerifyProgramFile(file, &signature);
    return signature.microsoft;
}

// --- One service's key ----------------------------------------------------------

// The values of a service key that the listing uses. Texts of any length
// are read whole; the record cuts them to its fields.
struct ServiceValues {
    char imagePath[1024];
    int imagePathCut;
    char displayName[1024];
    char description[ITEM_INFO_SIZE];
    long start;   // -1: missing or not a REG_DWORD
    long type;    // -1: missing or not a REG_DWORD
};

// Text of a REG_SZ or REG_EXPAND_SZ value (expanded), cut to the buffer;
// other types give 0.
int ValueText(const StoreBlob *value, char *out, size_t size, int *cut)
{
    out[0] = 0;
    if (value->type != REG_SZ && value->type != REG_EXPAND_SZ) return 0;
    const char *text = (const char *)value->data;
    size_t length = strlen(text);
    if (value->type == REG_EXPAND_SZ && strchr(text, '%')) {
        char *expanded = (char *)malloc(32768);
        if (expanded) {
            DWORD n = ExpandEnvironmentStringsA(text, expanded, 32768);
            if (n > 0 && n <= 32768) {
                length = strlen(expanded);
                if (cut) *cut = length >= size;
                CopyTextCut(out, size, expanded);
                free(expanded);
                return 1;
            }
            free(expanded);
        }
    }
    if (cut) *cut = length >= size;
    CopyTextCut(out, size, text);
    return 1;
}

long ValueNumber(const StoreBlob *value)
{
    if (value->type != REG_DWORD || value->size != sizeof(DWORD)) return -1;
    DWORD number;
    memcpy(&number, value->data, sizeof number);
    return number > 0x7fffffff ? -1 : (long)number;
}

int ReadServiceValues(const char *path, ServiceValues *values)
{
    memset(values, 0, sizeof *values);
    values->start = values->type = -1;
    return StoreForEachValue(HKEY_LOCAL_MACHINE, 0, path, [values](const char *name, const StoreBlob *value) {
        if (TextEqualNoCase(name, "ImagePath"))
            ValueText(value, values->imagePath, sizeof values->imagePath, &values->imagePathCut);
        else if (TextEqualNoCase(name, "DisplayName"))
            ValueText(value, values->displayName, sizeof values->displayName, nullptr);
        else if (TextEqualNoCase(name, "Description"))
            ValueText(value, values->description, sizeof values->description, nullptr);
        else if (TextEqualNoCase(name, "Start"))
            values->start = ValueNumber(value);
        else if (TextEqualNoCase(name, "Type"))
            values->type = ValueNumber(value);
        return 1;
    });
}

// Win32 services are listed; kernel and file-system drivers are not. A key
// without a usable "Type" is judged by its program: ".exe" or svchost.
int IsListedKind(const ServiceValues &values)
{
    if (values.type >= 0) return (values.type & SERVICE_WIN32) != 0;
    return FindTextNoCase(values.imagePath, ".exe") || FindTextNoCase(values.imagePath, "svchost");
}

struct StartTexts {
    char automatic[64], manual[64], disabled[64];
    StartTexts()
    {
        LoadUiString(664, automatic, sizeof automatic);
        LoadUiString(665, manual, sizeof manual);
        LoadUiString(666, disabled, sizeof disabled);
    }
    const char *Of(long start) const
    {
        switch (start) {
        case SERVICE_AUTO_START: return automatic;
        case SERVICE_DEMAND_START: return manual;
        case SERVICE_DISABLED: return disabled;
        default: return "0";
        }
    }
};

// The program a service runs: its image path, or for a service hosted by
// svchost the DLL its Parameters name. Returns the item type it is listed as.
int ServiceProgram(const char *servicePath, const ServiceValues &values, char *program, size_t size)
{
    CopyTextCut(program, size, values.imagePath);
    if (!FindTextNoCase(values.imagePath, "svchost")) return ITEM_SERVICE_EXE;
    char parameters[440], dll[1024];
    if (FormatText(parameters, sizeof parameters, "%s\\Parameters", servicePath)) {
        StoreBlob value = {};
        if (StoreReadBlob(HKEY_LOCAL_MACHINE, 0, parameters, "ServiceDll", &value) &&
            ValueText(&value, dll, sizeof dll, nullptr) && dll[0])
            CopyTextCut(program, size, dll);
        StoreFreeBlob(&value);
    }
    return ITEM_SERVICE_SVCHOST;
}

// The title of a listed service: the manager's display name, else the
// key's "DisplayName". A name that is still an indirect string
// ("@file.dll,-101") or empty gives way to the key name.
void ServiceTitle(const ServiceSnapshot &known, const char *keyName, const ServiceValues &values,
                  char *out, size_t size)
{
    const char *display = known.DisplayName(keyName);
    if (!display || !display[0]) display = values.displayName;
    if (!display[0] || display[0] == '@') display = keyName;
    CopyTextCut(out, size, display);
}

void ListService(const char *keyName, int namesOnly, const ServiceSnapshot &known,
                 const StartTexts &starts, int hideMicrosoft)
{
    char path[400];
    if (!FormatText(path, sizeof path, "%s\\%s", SERVICES_KEY, keyName)) return;
    static ServiceValues values;
    ReadServiceValues(path, &values);
    if (!values.imagePath[0]) return;   // nothing to run
    ItemIdentity identity = {keyName, VIEW_NATIVE, 0, nullptr};
    if (namesOnly) {
        AddItemAs(identity, keyName, "", "", "", ITEM_SERVICE_EXE, 0);
        return;
    }
    if (!IsListedKind(values)) return;

    char title[ITEM_TITLE_SIZE];
    ServiceTitle(known, keyName, values, title, sizeof title);

    char program[1024];
    int type = ServiceProgram(path, values, program, sizeof program);
    if (hideMicrosoft && IsMicrosoftProgram(program)) return;
    AddItemAs(identity, title, program, starts.Of(values.start), values.description, type, 0);
}

// --- The service control manager ---------------------------------------------------

// One service opened with the given rights; closes both handles when done.
struct OpenedService {
    SC_HANDLE manager = nullptr, service = nullptr;
    DWORD error = 0;

    OpenedService(const char *name, DWORD managerAccess, DWORD access)
    {
        if (!name || !name[0]) {
            error = ERROR_INVALID_NAME;
            return;
        }
        manager = OpenSCManagerA(nullptr, nullptr, managerAccess);
        if (!manager) {
            error = GetLastError();
            return;
        }
        service = OpenServiceA(manager, name, access);
        if (!service) error = GetLastError();
    }
    ~OpenedService()
    {
        if (service) CloseServiceHandle(service);
        if (manager) CloseServiceHandle(manager);
    }
    OpenedService(const OpenedService &) = delete;
    OpenedService &operator=(const OpenedService &) = delete;
};

// How long a change is waited for: as long as the service reports progress
// within its own wait hint (at least 3 seconds between two reports), and
// never more than 30 seconds in all.
const DWORD kLeastWait = 3000;
const DWORD kMostWait = 30000;

// Waits while the service is in the pending state. 0 when it reached the
// target state, else the error.
DWORD WaitForState(SC_HANDLE service, DWORD pending, DWORD target)
{
    SERVICE_STATUS status;
    if (!QueryServiceStatus(service, &status)) return GetLastError();
    DWORD begin = GetTickCount(), progress = begin, checkpoint = status.dwCheckPoint;
    while (status.dwCurrentState == pending) {
        DWORD hint = status.dwWaitHint > kLeastWait ? status.dwWaitHint : kLeastWait;
        DWORD step = hint / 10;
        Sleep(step < 50 ? 50 : step > 250 ? 250 : step);
        if (!QueryServiceStatus(service, &status)) return GetLastError();
        DWORD now = GetTickCount();
        if (status.dwCheckPoint != checkpoint) {
            checkpoint = status.dwCheckPoint;
            progress = now;
        } else if (now - progress > hint) {
            break;
        }
        if (now - begin > kMostWait) break;
    }
    if (status.dwCurrentState == target) return 0;
    if (status.dwCurrentState == pending) return ERROR_SERVICE_REQUEST_TIMEOUT;
    // Stopped while starting: what the service said about it.
    if (status.dwWin32ExitCode && status.dwWin32ExitCode != ERROR_SERVICE_SPECIFIC_ERROR)
        return status.dwWin32ExitCode;
    return ERROR_SERVICE_REQUEST_TIMEOUT;
}

}  // namespace

int EnumerateServices(int namesOnly)
{
    FreeItems();
    if (!StoreKeyExists(HKEY_LOCAL_MACHINE, SERVICES_KEY)) return 0;

    ServiceSnapshot known;
    if (!namesOnly) known.Take();
    StartTexts starts;
    int hideMicrosoft = !namesOnly && GetOption("HideMicrosoftServices", 1) >= 1;

    // Keys added meanwhile are found too: the index runs until the
    // registry reports no more. A name too long for the record is not
    // cut into another service's name.
    StoreForEachSubkey(HKEY_LOCAL_MACHINE, 0, SERVICES_KEY, [&](const char *name) {
        if (name[0] && strlen(name) < SERVICE_NAME_SIZE)
            ListService(name, namesOnly, known, starts, hideMicrosoft);
        return 1;
    });
    return 0;
}

int ServiceProgramOf(const char *keyName, char *out, int size)
{
    out[0] = 0;
    char path[400];
    if (!keyName || !keyName[0] || !FormatText(path, sizeof path, "%s\\%s", SERVICES_KEY, keyName)) return 0;
    static ServiceValues values;
    ReadServiceValues(path, &values);
    if (!values.imagePath[0]) return 0;
    ServiceProgram(path, values, out, (size_t)size);
    return (int)strlen(out);
}

int QueryServiceFacts(const char *name, ServiceStatusFacts *facts)
{
    memset(facts, 0, sizeof *facts);
    OpenedService opened(name, SC_MANAGER_CONNECT, SERVICE_QUERY_STATUS);
    SERVICE_STATUS status;
    if (!opened.service || !QueryServiceStatus(opened.service, &status)) return 0;
    facts->state = status.dwCurrentState;
    facts->type = status.dwServiceType;
    facts->controls = status.dwControlsAccepted;
    return 1;
}

DWORD QueryServiceState(const char *name)
{
    ServiceStatusFacts facts;
    if (!QueryServiceFacts(name, &facts)) return 0;
    return (facts.state & 0xFFFF) << 16 | (facts.type & 0xFFFF);
}

namespace {
DWORD StateText(DWORD state, char *out)
{
    DWORD current = state >> 16;
    UINT text = current >= SERVICE_START_PENDING && current <= SERVICE_PAUSED ? 651 + current : 652;
    if (out) LoadUiString(text, out, 256);
    return state;
}
}  // namespace

DWORD ServiceStateText(const char *name, char *out)
{
    return StateText(QueryServiceState(name), out);
}

ServiceSnapshot *TakeServiceSnapshot(void)
{
    ServiceSnapshot *snapshot = new (std::nothrow) ServiceSnapshot;
    if (snapshot) snapshot->Take();
    return snapshot;
}

void FreeServiceSnapshot(ServiceSnapshot *snapshot)
{
    delete snapshot;
}

DWORD SnapshotStateText(const ServiceSnapshot *snapshot, const char *name, char *out)
{
    const ENUM_SERVICE_STATUS_PROCESSA *service = snapshot ? snapshot->Find(name) : nullptr;
    if (!service) return StateText(0, out);
    const SERVICE_STATUS_PROCESS &status = service->ServiceStatusProcess;
    return StateText((status.dwCurrentState & 0xFFFF) << 16 | (status.dwServiceType & 0xFFFF), out);
}

int ServiceDisplayName(const char *keyName, char *out)
{
    if (!out) return 0;
    out[0] = 0;
    if (!keyName || !keyName[0]) return 0;
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return 0;
    DWORD size = 4096;
    int ok = GetServiceDisplayNameA(manager, keyName, out, &size) != 0;
    if (!ok) out[0] = 0;
    out[4095] = 0;
    CloseServiceHandle(manager);
    return ok;
}

int ServiceStartValue(const char *name)
{
    {
        OpenedService opened(name, SC_MANAGER_CONNECT, SERVICE_QUERY_CONFIG);
        if (opened.service) {
            DWORD need = 0;
            QueryServiceConfigA(opened.service, nullptr, 0, &need);
            if (need > 0) {
                QUERY_SERVICE_CONFIGA *config = (QUERY_SERVICE_CONFIGA *)malloc(need);
                int start = -1;
                if (config && QueryServiceConfigA(opened.service, config, need, &need))
                    start = (int)config->dwStartType;
                free(config);
                if (start >= 0) return start;
            }
        }
    }
    char path[400];
    if (!name || !name[0] || !FormatText(path, sizeof path, "%s\\%s", SERVICES_KEY, name)) return -1;
    StoreBlob value = {};
    long start = StoreReadBlob(HKEY_LOCAL_MACHINE, 0, path, "Start", &value) ? ValueNumber(&value) : -1;
    StoreFreeBlob(&value);
    return start > 255 ? -1 : (int)start;
}

int ControlServiceByName(const char *name, DWORD code)
{
    DWORD access = code == SERVICE_CONTROL_STOP ? SERVICE_STOP
                   : code == SERVICE_CONTROL_INTERROGATE ? SERVICE_INTERROGATE
                   : code >= 128 ? SERVICE_USER_DEFINED_CONTROL
                                 : SERVICE_PAUSE_CONTINUE;
    OpenedService opened(name, SC_MANAGER_CONNECT, access);
    if (!opened.service) {
        SetLastError(opened.error);
        return 0;
    }
    SERVICE_STATUS status;
    if (ControlService(opened.service, code, &status)) return 1;
    return 0;
}

int SetServiceStartType(const char *name, int start)
{
    if (start < 0 || start > 4) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    OpenedService opened(name, SC_MANAGER_CONNECT, SERVICE_CHANGE_CONFIG);
    if (opened.service) {
        if (ChangeServiceConfigA(opened.service, SERVICE_NO_CHANGE, (DWORD)start, SERVICE_NO_CHANGE,
                                 nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
            return 1;
        return 0;
    }
    // Not known to the manager: a service written into the registry only
    // is started by the next Windows according to its "Start" value.
    char path[400];
    if (opened.error == ERROR_SERVICE_DOES_NOT_EXIST &&
        FormatText(path, sizeof path, "%s\\%s", SERVICES_KEY, name) &&
        StoreValueExists(HKEY_LOCAL_MACHINE, path, "ImagePath")) {
        DWORD value = (DWORD)start;
        if (StoreWriteRaw(HKEY_LOCAL_MACHINE, path, "Start", REG_DWORD, &value, sizeof value)) return 1;
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    SetLastError(opened.error);
    return 0;
}

DWORD StopServiceWaiting(const char *name)
{
    OpenedService opened(name, SC_MANAGER_CONNECT, SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (!opened.service) return opened.error;
    SERVICE_STATUS status;
    if (!QueryServiceStatus(opened.service, &status)) return GetLastError();
    if (status.dwCurrentState == SERVICE_STOPPED) return ERROR_SERVICE_NOT_ACTIVE;
    if (status.dwCurrentState != SERVICE_STOP_PENDING &&
        !ControlService(opened.service, SERVICE_CONTROL_STOP, &status)) {
        DWORD error = GetLastError();
        return error ? error : ERROR_SERVICE_REQUEST_TIMEOUT;
    }
    return WaitForState(opened.service, SERVICE_STOP_PENDING, SERVICE_STOPPED);
}

DWORD StartServiceWaiting(const char *name)
{
    OpenedService opened(name, SC_MANAGER_CONNECT, SERVICE_START | SERVICE_QUERY_STATUS);
    if (!opened.service) return opened.error;
    if (!StartServiceA(opened.service, 0, nullptr)) {
        DWORD error = GetLastError();
        return error ? error : ERROR_SERVICE_REQUEST_TIMEOUT;
    }
    return WaitForState(opened.service, SERVICE_START_PENDING, SERVICE_RUNNING);
}

void ForEachServicePlace(WatchPlaceVisitor visit, void *context)
{
    // The check compares service names: a service's own key changes as it runs.
    WatchPlace place = {WATCH_KEY, HKEY_LOCAL_MACHINE, VIEW_NATIVE, 0, SERVICES_KEY};
    visit(&place, context);
}
