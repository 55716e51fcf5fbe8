// Files and folders of the test prefix.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace test {

// The folder of the running test program (the build's bin folder).
std::string BuildFolder();
// The prefix's Windows and system folders, and its temporary folder by its
// long name (none with a backslash at its end).
std::string WindowsFolder();
std::string SystemFolder();
std::string TempFolder();
// A fresh, empty folder C:\sentrel-tests\<name>.
std::string FreshFolder(const std::string &name);
// Deletes a folder and everything in it (no error when missing).
void RemoveFolder(const std::string &folder);
bool WriteFile(const std::string &path, const std::string &content);
bool ReadFile(const std::string &path, std::string *content);
// A file's whole content; missing when it cannot be read.
std::string FileText(const std::string &path, const std::string &missing = "<missing>");
bool FileExistsAt(const std::string &path);
// A test's own cookie folders inside folder, named in Sentrel's store: the
// IE cookie folder folder\Cookies (with its index.dat) and the Mozilla
// profile folder folder\profile. False when one could not be made.
bool PlantCookieFolders(const std::string &folder, std::string *ie, std::string *profile);
// The whole lines (ended by LF) a recorder program (url_recorder.exe) wrote
// into folder\recorded.txt, once there are count of them or the time is up.
std::vector<std::string> RecordedLines(const std::string &folder, size_t count, DWORD milliseconds);

// The history (history.txt) that the programs of the build folder write:
// its text ("" when there is none), its lines (without CR, empty ones left
// out), how many lines contain every one of the texts; and its removal.
std::string HistoryText();
std::vector<std::string> HistoryLines();
int CountHistory(std::initializer_list<std::string> texts);
void ClearHistory();
// The fields of a history line, split at its TABs.
std::vector<std::string> TabFields(const std::string &line);

}  // namespace test
