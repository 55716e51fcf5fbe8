// Registry places of Windows that more than one part of the programs reads.
#pragma once

#define SHELL_FOLDERS_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
#define WINLOGON_KEY "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"
#define WINLOGON_NOTIFY_KEY WINLOGON_KEY "\\Notify"
#define DELAYLOAD_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad"
#define SHARED_TASK_SCHEDULER_KEY \
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler"
#define SHELL_EXECUTE_HOOKS_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks"
#define WINDOWS_NT_KEY "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows"
#define AUTO_UPDATE_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update"
// The browser's default URL prefix ("www") and the prefix for addresses without one.
#define URL_PREFIXES_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes"
#define URL_DEFAULT_PREFIX_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix"
