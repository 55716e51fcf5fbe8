// A small in-process COM server for the IE helper tests. Registering it
// (regsvr32) writes its own class under HKEY_CLASSES_ROOT with this file as
// its server; unregistering removes that class again, so that a test can
// see whether regsvr32 /u really reached the file.
#include <windows.h>

namespace {
HINSTANCE self;
const char kClassKey[] = "CLSID\\{5E0C7A31-9B42-4D6E-8F13-2A7C64D0B9E5}";
}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer(void)
{
    // Its own file, whatever script its folder is named in.
    wchar_t file[MAX_PATH];
    DWORD length = GetModuleFileNameW(self, file, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return E_FAIL;
    HKEY key;
    char server[sizeof kClassKey + 32];
    lstrcpyA(server, kClassKey);
    lstrcatA(server, "\\InprocServer32");
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, server, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return E_FAIL;
    RegSetValueExW(key, L"", 0, REG_SZ, (const BYTE *)file, (length + 1) * sizeof(wchar_t));
    RegSetValueExA(key, "ThreadingModel", 0, REG_SZ, (const BYTE *)"Apartment", 10);
    RegCloseKey(key);
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer(void)
{
    LONG rc = RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKey);
    if (rc == ERROR_SUCCESS) rc = RegDeleteKeyA(HKEY_CLASSES_ROOT, kClassKey);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? S_OK : E_FAIL;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllGetClassObject(REFCLSID, REFIID, void **object)
{
    if (object) *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllCanUnloadNow(void)
{
    return S_OK;
}
