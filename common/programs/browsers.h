// The web browsers: the default one and Internet Explorer, as the machine's
// registry names them.
#pragma once
#include <windows.h>

// The program file of the default web browser. Returns its length, 0 when
// none is registered.
int GetDefaultBrowser(char *out /* PATH_SIZE */);

// The default browser's kind: 1 Internet Explorer (and anything unknown),
// 2 Netscape, 3 Firefox, 4 Maxthon, 5 Avant, 6 Mozilla.
int DefaultBrowserKind(void);

// The Internet Explorer program file. Returns its length, 0 when unknown.
int GetIEPath(char *out /* PATH_SIZE */);

// The main window of a running AOL client, or null.
HWND FindAolWindow(void);
