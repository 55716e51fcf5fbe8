// Task Scheduler 2.0 tasks planted in the task store of the test prefix as
// Windows keeps them.
#pragma once
#include <windows.h>

#include <string>

namespace test {

// A Task Scheduler 2.0 task as Windows stores it: the XML of a task with
// one Exec action (command, arguments), the triggers given as XML (a logon
// trigger when empty), enabled or not, hidden or not.
std::string TaskXml(const std::string &command, const std::string &arguments, const std::string &triggers = "",
                    bool enabled = true, bool hidden = false);
// Writes a task file into the task store (System32\Tasks) under its task
// path ("\Folder\Name"), folders made as needed: UTF-16 with its
// byte-order mark as Windows writes it, or UTF-8. Returns the file's path,
// empty on failure.
std::string PlantTask(const std::string &taskPath, const std::string &xml, bool utf16 = true);
// Removes a planted task's file and its folders up to the store, when empty.
void RemovePlantedTask(const std::string &taskPath);

}  // namespace test
