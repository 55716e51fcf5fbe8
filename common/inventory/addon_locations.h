// Browser add-on locations read for the hijack log and the spreadsheet
// report: every place where code or settings attach themselves to Internet
// Explorer. Each enumeration empties the item list, appends one record per
// finding (identity: the class id, key or value name, and the registry view
// it was read in) and returns the number appended. HKLM Software places are
// read in both registry views of 64-bit Windows.
#pragma once
#include <windows.h>

int ListBrowserHelperObjects(void);   // title class, path server, detail class id; type 900
int ListToolbars(void);               // as above, info the server's company
int ListMenuExtensions(void);         // title and detail the menu text, path its target
int ListButtonExtensions(void);       // type 1 button, 2 "Tools" menu item; detail class id
int ListPlugins(void);                // title the extension, path its "Location"
int ListDownloadedControls(void);     // title class, path CODEBASE, detail server, info class id
int ListDelayLoadObjects(void);       // title class, path server, detail class id, info value name
int ListSharedTaskSchedulers(void);   // title class, path server, detail class id, info value data
int ListAdvancedOptions(void);        // title "Text", path "HelpID", detail the bitmap's folder
int ListZoneDomains(void);            // title the domain

// 1 for the shell's own delay-load classes, which the log leaves out.
int IsKnownSystemClass(const char *clsid);

// The zone mark of a domain: 4 or 5 from the "*" value of its first subkey
// that carries one of them; 0 when none does.
int ZoneMarkOfDomain(HKEY root, REGSAM view, const char *domainKey);
