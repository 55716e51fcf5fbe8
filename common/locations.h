// Registry places where Windows keeps what starts by itself, shared by the
// startup list and the changes made to it.
#pragma once

#define SHELL_FOLDERS_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
#define WINLOGON_KEY "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"
#define WINLOGON_NOTIFY_KEY WINLOGON_KEY "\\Notify"
#define DELAYLOAD_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad"
#define SHARED_TASK_SCHEDULER_KEY \
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler"
#define SHELL_EXECUTE_HOOKS_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks"
#define WINDOWS_NT_KEY "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows"
