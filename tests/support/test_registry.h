// The registry of the test prefix, read and written exactly: every name and
// text is UTF-8 and reaches the registry as the units it stands for.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace test {

// --- Text ---------------------------------------------------------------
// UTF-8 (the programs' text) and the platform's wide text.
std::wstring Wide(const std::string &text);
std::string Utf8(const std::wstring &wide);
// Whether text holds part.
inline bool Contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}
// The pieces of text between separators (a last one only when not empty).
std::vector<std::string> Split(const std::string &text, const std::string &separator);
// Whether texts hold text as one of them.
inline bool Contains(const std::vector<std::string> &texts, const std::string &text)
{
    for (const std::string &t : texts)
        if (t == text) return true;
    return false;
}

// --- Registry of the prefix -------------------------------------------
// Every name and text is UTF-8 and reaches the registry exactly.
// Writes a value with raw data bytes and type (text types: the UTF-8 bytes
// given, as the units they stand for). True on success.
bool WriteValue(HKEY root, const std::string &path, const std::string &name, DWORD type,
                const void *data, DWORD size);
bool WriteString(HKEY root, const std::string &path, const std::string &name,
                 const std::string &text);
bool WriteDword(HKEY root, const std::string &path, const std::string &name, DWORD value);
// Writes a value through the native call, which takes a name holding a NUL
// (as programs that hide their entries do).
bool WriteNative(HKEY root, const std::string &path, const std::wstring &name, DWORD type, const void *data,
                 DWORD size);
bool NativeValueExists(HKEY root, const std::string &path, const std::wstring &name);
// A value's raw stored bytes (text as its UTF-16 units); empty when missing.
std::string ReadRawValue(HKEY root, const std::string &path, const std::wstring &name, DWORD *type = nullptr);
// A value as stored: whether it is there, its type and its data (text
// types as UTF-8, the way WriteValue takes them; other types as their
// bytes). Equal when all three are.
struct Stored {
    bool present = false;
    DWORD type = 0;
    std::string data;
    bool operator==(const Stored &o) const { return present == o.present && type == o.type && data == o.data; }
    // The text up to its first NUL; "<missing>" when the value is not there.
    std::string Text() const { return present ? std::string(data.c_str()) : "<missing>"; }
};
Stored ReadStored(HKEY root, const std::string &path, const std::string &name);
// Puts a value back as it was read: written again, or deleted when it was not there.
bool WriteStored(HKEY root, const std::string &path, const std::string &name, const Stored &stored);
// Reads a REG_SZ value; false when missing.
bool ReadString(HKEY root, const std::string &path, const std::string &name, std::string *text);
// A REG_SZ value's text, or "<missing>".
std::string Value(HKEY root, const std::string &path, const std::string &name);
bool ValueExists(HKEY root, const std::string &path, const std::string &name);
bool KeyExists(HKEY root, const std::string &path);
// Deletes a key and everything below it (no error when missing).
void DeleteTree(HKEY root, const std::string &path);
// Deletes one value (no error when missing).
void DeleteValue(HKEY root, const std::string &path, const std::string &name);
// Names of a key's values, in enumeration order.
std::vector<std::string> ValueNames(HKEY root, const std::string &path);
std::vector<std::wstring> WideValueNames(HKEY root, const std::string &path);
// A text dump of a key tree (names, types, data), for before/after comparisons.
std::string DumpTree(HKEY root, const std::string &path);

// A value of the [windows] section of win.ini ("" when there is none).
std::string WinIni(const char *key);
// A folder of the user's shell by its name in Shell Folders ("Startup", ...).
std::string ShellFolder(const char *name);

// Wine acts as that version of Windows (winxp64, win10, ...) for programs
// of that file name; with an empty version, as it does for any program.
void SetWineVersion(const std::string &program, const std::string &version);

// Writes options into Sentrel's store, as the explorer does: name, value.
void SetOptions(std::initializer_list<std::pair<const char *, const char *>> options);

// Removes everything Sentrel keeps in the registry (HKCU and HKLM stores,
// the Run-key registration) so that a test starts from a first run.
void ResetSentrelRegistry();

// Deletes every value of both Run keys but Wine's own winemenubuilder.
void ClearRunKeys();

}  // namespace test
