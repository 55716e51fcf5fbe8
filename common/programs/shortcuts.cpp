#include "shortcuts.h"

#include <objbase.h>
#include <shlobj.h>

#include "ui_strings.h"
#include "unicode_text.h"

namespace {
// A shell link of the shell, loaded from a file when one is named. Null
// when the shell cannot make one.
IShellLinkW *OpenLink(const char *shortcut, HRESULT *result)
{
    IShellLinkW *link = nullptr;
    *result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void **)&link);
    if (FAILED(*result)) return nullptr;
    if (!shortcut) return link;
    IPersistFile *file = nullptr;
    *result = link->QueryInterface(IID_IPersistFile, (void **)&file);
    if (SUCCEEDED(*result)) {
        WideText wide(shortcut);
        *result = wide.get() ? file->Load(wide, STGM_READ) : E_OUTOFMEMORY;
        file->Release();
    }
    if (FAILED(*result)) {
        link->Release();
        return nullptr;
    }
    return link;
}

// A text the link gave as UTF-8; a text that does not fit is left empty.
void TakeText(const WCHAR *wide, char *out, int size)
{
    if (!WideToText(wide, -1, out, size, 0)) out[0] = 0;
}
}  // namespace

HRESULT ResolveShortcut(HWND owner, const char *shortcut, char *target, char *description)
{
    target[0] = 0;
    description[0] = 0;
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HRESULT hr;
    IShellLinkW *link = OpenLink(shortcut, &hr);
    if (link) {
        hr = link->Resolve(owner, SLR_NO_UI | (500 << 16));
        if (hr == S_FALSE) {
            LoadUiString(730, description, SHORTCUT_TEXT_SIZE);
        } else if (SUCCEEDED(hr)) {
            WCHAR text[SHORTCUT_TEXT_SIZE] = L"";
            if (SUCCEEDED(link->GetDescription(text, SHORTCUT_TEXT_SIZE))) {
                text[SHORTCUT_TEXT_SIZE - 1] = 0;
                TakeText(text, description, SHORTCUT_TEXT_SIZE);
            }
            WCHAR path[MAX_PATH] = L"";
            if (SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, SLGP_SHORTPATH))) {
                path[MAX_PATH - 1] = 0;
                TakeText(path, target, PATH_SIZE);
            }
        }
        link->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return hr;
}

int ReadShortcutParts(const char *shortcut, char *arguments, char *folder)
{
    arguments[0] = folder[0] = 0;
    if (!shortcut || !shortcut[0]) return 0;
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int read = 0;
    HRESULT hr;
    IShellLinkW *link = OpenLink(shortcut, &hr);
    if (link) {
        WCHAR wideArguments[SHORTCUT_TEXT_SIZE] = L"", wideFolder[MAX_PATH] = L"";
        if (SUCCEEDED(link->GetArguments(wideArguments, SHORTCUT_TEXT_SIZE)) &&
            SUCCEEDED(link->GetWorkingDirectory(wideFolder, MAX_PATH))) {
            wideArguments[SHORTCUT_TEXT_SIZE - 1] = wideFolder[MAX_PATH - 1] = 0;
            read = WideToText(wideArguments, -1, arguments, SHORTCUT_TEXT_SIZE, 0) || !wideArguments[0];
            read = read && (WideToText(wideFolder, -1, folder, PATH_SIZE, 0) || !wideFolder[0]);
        }
        link->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    if (!read) arguments[0] = folder[0] = 0;
    return read;
}

int CreateShortcut(const char *shortcut, const char *target, const char *arguments,
                   const char *folder, const char *description, const char *iconFile, int iconIndex)
{
    if (!shortcut || !shortcut[0] || !target) return 0;
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int saved = 0;
    HRESULT hr;
    IShellLinkW *link = OpenLink(nullptr, &hr);
    if (link) {
        link->SetPath(WideText(target));
        if (arguments) link->SetArguments(WideText(arguments));
        if (folder) link->SetWorkingDirectory(WideText(folder));
        if (description) link->SetDescription(WideText(description));
        if (iconFile && iconFile[0]) link->SetIconLocation(WideText(iconFile), iconIndex);
        IPersistFile *file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
            WideText wide(shortcut);
            if (wide.get()) saved = SUCCEEDED(file->Save(wide, TRUE));
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return saved;
}
