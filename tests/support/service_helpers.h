// Real services of the test prefix for the services tests: the sample
// service program (tests/helpers/service_sample.cpp) installed under folders
// with blanks in their names, services created with CreateService, and keys
// written into the registry only. Everything is removed again.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace services_test {

const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";
const char kServiceBaseline[] = "Software\\Orvendale\\Sentrel\\Services";
const char kServiceBaselineNames[] = "Software\\Orvendale\\Sentrel\\Services\\Names";
const DWORD kServiceWait = 20000;

// The sample program copied to "C:\Service Samples\<folder>\<file>" (a
// path with blanks); file "service_ms_sample.exe" names Microsoft as its
// company. Returns the full path, or "" on failure.
inline std::string InstallSample(const std::string &folder, const std::string &file = "service_sample.exe")
{
    CreateDirectoryA("C:\\Service Samples", nullptr);
    std::string dir = "C:\\Service Samples\\" + folder;
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string path = dir + "\\" + file;
    if (!CopyFileA((test::BuildFolder() + "\\" + file).c_str(), path.c_str(), FALSE) &&
        GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return "";
    return path;
}

// The service manager answers once Wine's boot has finished.
inline bool WaitForServiceManager()
{
    return test::WaitUntil(
        [] {
            SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
            if (!manager) return false;
            SC_HANDLE service = OpenServiceA(manager, "PlugPlay", SERVICE_QUERY_STATUS);
            SERVICE_STATUS status = {};
            bool ok = service && QueryServiceStatus(service, &status);
            if (service) CloseServiceHandle(service);
            CloseServiceHandle(manager);
            return ok;
        },
        kServiceWait);
}

inline SC_HANDLE OpenTestService(const std::string &name, DWORD access = SERVICE_ALL_ACCESS)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return nullptr;
    SC_HANDLE service = OpenServiceA(manager, name.c_str(), access);
    CloseServiceHandle(manager);
    return service;
}

// Creates an own-process service; command is the image path as written
// (quotes and arguments included). True when created.
inline bool CreateTestService(const std::string &name, const std::string &display, const std::string &command,
                              DWORD start)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return false;
    SC_HANDLE service = CreateServiceA(manager, name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, start, SERVICE_ERROR_IGNORE, command.c_str(),
                                       nullptr, nullptr, nullptr, nullptr, nullptr);
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return service != nullptr;
}

// The state the manager reports; 0 when it cannot be asked.
inline DWORD ScmState(const std::string &name)
{
    SC_HANDLE service = OpenTestService(name, SERVICE_QUERY_STATUS);
    if (!service) return 0;
    SERVICE_STATUS status = {};
    DWORD state = QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
    CloseServiceHandle(service);
    return state;
}

// The start type the manager reports; -1 when it cannot be asked.
inline int ScmStartType(const std::string &name)
{
    SC_HANDLE service = OpenTestService(name, SERVICE_QUERY_CONFIG);
    if (!service) return -1;
    BYTE buffer[8192];
    DWORD need = 0;
    int start = QueryServiceConfigA(service, (QUERY_SERVICE_CONFIGA *)buffer, sizeof buffer, &need)
                    ? (int)((QUERY_SERVICE_CONFIGA *)buffer)->dwStartType
                    : -1;
    CloseServiceHandle(service);
    return start;
}

inline bool WaitForState(const std::string &name, DWORD state, DWORD milliseconds = kServiceWait)
{
    return test::WaitUntil([&] { return ScmState(name) == state; }, milliseconds);
}

// Starts a service as the tests' own step and waits until it runs.
inline bool StartTestService(const std::string &name)
{
    SC_HANDLE service = OpenTestService(name);
    if (!service) return false;
    bool started = StartServiceA(service, 0, nullptr) != 0;
    CloseServiceHandle(service);
    return started && WaitForState(name, SERVICE_RUNNING);
}

// Ends a service however it behaves (stop, or the sample's control 128) and
// deletes it; a key written into the registry only is deleted with it.
inline void RemoveTestService(const std::string &name)
{
    if (SC_HANDLE service = OpenTestService(name)) {
        SERVICE_STATUS status = {};
        if (QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED) {
            if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) ControlService(service, 128, &status);
            WaitForState(name, SERVICE_STOPPED);
        }
        DeleteService(service);
        CloseServiceHandle(service);
        test::WaitUntil([&] { return !test::KeyExists(HKEY_LOCAL_MACHINE, std::string(kServicesKey) + "\\" + name); },
                        5000);
    }
    test::DeleteTree(HKEY_LOCAL_MACHINE, std::string(kServicesKey) + "\\" + name);
}

// A service key written into the registry only, as an installer that
// bypasses the manager leaves it: the manager knows it from the next start
// of Windows on.
inline bool WriteRegistryService(const std::string &name, const std::string &imagePath, DWORD start,
                                 DWORD type = SERVICE_WIN32_OWN_PROCESS)
{
    std::string key = std::string(kServicesKey) + "\\" + name;
    return test::WriteValue(HKEY_LOCAL_MACHINE, key, "ImagePath", REG_EXPAND_SZ, imagePath.c_str(),
                            (DWORD)imagePath.size() + 1) &&
           test::WriteDword(HKEY_LOCAL_MACHINE, key, "Start", start) &&
           test::WriteDword(HKEY_LOCAL_MACHINE, key, "Type", type);
}

// Services a test created, removed when it ends.
class ServiceSet {
public:
    ~ServiceSet() { RemoveAll(); }
    void Add(const std::string &name) { names_.push_back(name); }
    void RemoveAll()
    {
        for (const std::string &name : names_) RemoveTestService(name);
        names_.clear();
    }

private:
    std::vector<std::string> names_;
};

}  // namespace services_test
