// Program files: the file behind a command, whether it exists, and the
// program's own folder.
#pragma once

#define PATH_SIZE 260

// The folder of the running program file, without a trailing backslash.
// Returns its length, 0 (and an empty text) on failure.
int GetProgramFolder(char *out /* PATH_SIZE */);

// The program file named by a command, in capitals. Returns its length.
int ResolveCommandPath(const char *command, char *out /* PATH_SIZE */);

// 1 when the file exists.
int FileExists(char *path /* PATH_SIZE, may be replaced */);
