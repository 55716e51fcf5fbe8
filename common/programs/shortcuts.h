// Shell links (.lnk files): read, resolved and written through the shell's
// wide interface, so that a shortcut and its target may be named in any
// script.
#pragma once
#include <windows.h>

#include "text.h"

#define SHORTCUT_TEXT_SIZE 1024   // a description or the arguments

// Resolves a shortcut without user interface. Returns the shell's result
// (S_FALSE when the target is missing; then the description is string 730).
HRESULT ResolveShortcut(HWND owner, const char *shortcut, char *target /* PATH_SIZE */,
                        char *description /* SHORTCUT_TEXT_SIZE */);

// The arguments and working folder of a shortcut file. 1 when the shortcut
// was read.
int ReadShortcutParts(const char *shortcut, char *arguments /* SHORTCUT_TEXT_SIZE */, char *folder /* PATH_SIZE */);

// Creates a shell link. 1 when saved.
int CreateShortcut(const char *shortcut, const char *target, const char *arguments,
                   const char *folder, const char *description, const char *iconFile, int iconIndex);
