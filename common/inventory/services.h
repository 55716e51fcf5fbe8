// Services: the state, control and start type of one service, the changes
// that write their history lines, and the approval baseline. The listing
// itself is EnumerateServices (inventory.h).
//
// A service is always named by its key name, the name of its subkey under
// HKLM SYSTEM\CurrentControlSet\Services, which the service control manager
// keeps unique. Display names are chosen by whoever installs a service, may
// be cut or rewritten for display and may even be shared, so nothing here
// looks a service up by one.
#pragma once
#include <windows.h>

struct Item;

#define SERVICES_KEY      "SYSTEM\\CurrentControlSet\\Services"
#define SERVICE_NAME_SIZE 768   // a key name is at most 255 characters (UTF-8)

// The baseline of approved services: one value per service named by its
// title (data: its item type), and beside it, under Names, one value per
// service named by its key name. A service is approved only when both are
// there, so a service that shows another one's title is not.
#define SERVICES_BASELINE       "Software\\Orvendale\\Sentrel\\Services"
#define SERVICES_BASELINE_NAMES SERVICES_BASELINE "\\Names"
// The signer an approval was given for, by service key name (only when the
// service's program was verified then).
#define SERVICES_SIGNERS SERVICES_BASELINE "\\Signers"

// --- State -----------------------------------------------------------------
// What the service control manager says of a running or stopped service.
struct ServiceStatusFacts {
    DWORD state;      // SERVICE_STOPPED (1) ... SERVICE_PAUSED (7)
    DWORD type;       // SERVICE_WIN32_OWN_PROCESS ...
    DWORD controls;   // SERVICE_ACCEPT_STOP ...
};
// 1 and the facts, or 0 (facts zeroed) when the service cannot be asked.
int QueryServiceFacts(const char *name, ServiceStatusFacts *facts);

// The current state in the high 16 bits and the service type in the low
// 16 bits; 0 when the service cannot be asked.
DWORD QueryServiceState(const char *name);

// The state as text (652 "Stopped", 653 "Pending Start", ... 658 "Paused";
// an unknown state is "Stopped") into out (256 bytes). Returns what
// QueryServiceState returns, 0 (text "Stopped") when the service cannot be asked.
DWORD ServiceStateText(const char *name, char *out /* 256 */);

// The manager's states of every service at one moment, for a list of many
// services (one request instead of one per service). Null when memory is short.
struct ServiceSnapshot;
ServiceSnapshot *TakeServiceSnapshot(void);
void FreeServiceSnapshot(ServiceSnapshot *snapshot);
// As ServiceStateText, from the snapshot; 0 ("Stopped") for a service it lacks.
DWORD SnapshotStateText(const ServiceSnapshot *snapshot, const char *name, char *out /* 256 */);

// The display name the service control manager knows for a key name, into
// out (4096 bytes). 1, or 0 with an empty text.
int ServiceDisplayName(const char *keyName, char *out /* 4096 */);

// The start type (2 automatic, 3 manual, 4 disabled, 0/1 boot and system
// drivers) as the service control manager holds it, else the REG_DWORD
// "Start" of the service's key; -1 when neither is known.
int ServiceStartValue(const char *name);

// --- Control ------------------------------------------------------------------
// Sends a control code (1 = stop) and returns at once. 1 when the service
// accepted it; 0 with the system's error code as the last error.
int ControlServiceByName(const char *name, DWORD code);

// Sets the start type (0-4) through the service control manager, which
// also writes it to the service's key. A service the manager does not know
// (one written into the registry only, which it reads at the next start of
// Windows) gets its "Start" value written. 1, or 0 with the last error set.
int SetServiceStartType(const char *name, int start);

// Stops a service and waits while it makes progress. 0 when it is stopped
// now; ERROR_SERVICE_NOT_ACTIVE when it was not running; 1053
// (ERROR_SERVICE_REQUEST_TIMEOUT) when it still stops after the wait; any
// other system error code when the stop was refused.
DWORD StopServiceWaiting(const char *name);

// Starts a service and waits while it makes progress. 0 when it runs now;
// ERROR_SERVICE_ALREADY_RUNNING, 1053 when it is still starting after the
// wait, or another system error code.
DWORD StartServiceWaiting(const char *name);

// --- Changes with their history lines ------------------------------------------------
// A service as the changes act on it (name) and as the history names it
// (title, command, type). The history line's detail is the key name; a
// failure is written with its own action (SERVICE_Stop_Failed,
// SERVICE_Start_Failed, SERVICE_StartType_Failed) and the system's error
// code and text, never as the change it was meant to be.
struct ServiceRef {
    const char *name;
    const char *title;
    const char *command;
    int type;
};
ServiceRef ServiceRefOf(const Item &record);

// Each returns 0 when done, else the system's error code.
DWORD StopServiceLogged(const ServiceRef &service);    // SERVICE_Stop
DWORD StartServiceLogged(const ServiceRef &service);   // SERVICE_Start
// start 2, 3 or 4: the former type ("SERVICE_from_Automatic" ...), then
// "SERVICE_Automatic", "SERVICE_Manual" or "SERVICE_Disabled".
DWORD SetServiceStartLogged(const ServiceRef &service, int start);

// A rejected service: stopped when it runs, then disabled. stopError is 0
// when it was stopped or was not running.
struct ServiceRejection {
    DWORD stopError;
    DWORD disableError;
};
void RejectServiceLogged(const ServiceRef &service, ServiceRejection *result);

// The user's text for a failed change: a string with two "%s" (the title
// and the error) filled with the title and "code  system text". Returns the length.
// The service is named by its title and, where that differs, its key name
// ("Title (KeyName)"), so that two services of one display name are told
// apart.
int ServiceFailureText(UINT templateId, const char *title, const char *name, DWORD error, char *out, int size);

// Strings of the failure texts (title, error).
#define STR_SERVICE_STOP_FAILED  3611
#define STR_SERVICE_START_FAILED 3612
#define STR_SERVICE_TYPE_FAILED  3613

// --- Baseline ---------------------------------------------------------------------
// 1 when the record's service is approved (its title value and its key
// name's value both read as non-zero numbers), and its program's signature
// still names the signer it was approved for.
int IsServiceApproved(const Item &record);
// 1 unless the service was approved for a signer its program's signature
// no longer names; signer (SIGNER_NAME_SIZE, may be null) gets that signer.
int ServiceSignatureHolds(const Item &record, char *signer);
// 1 when a service approved for a signer runs a program whose signature no
// longer names it (only those services are looked at).
int HasBrokenServiceSigner(void);
// The program a service runs (the image path, or svchost's DLL), as the
// listing shows it. Returns its length; 0 when the service runs nothing.
int ServiceProgramOf(const char *keyName, char *out, int size);
// 1 when the key name's value reads as a non-zero number.
int IsServiceNameKnown(const char *name);
// Writes both values with the record's type. 1 when both were written.
int ApproveService(const Item &record);
// Approves every service of the full listing (the store's first run).
void WriteServiceBaseline(void);
