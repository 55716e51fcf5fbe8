// IE helpers: the browser helper objects, toolbars and toolbar buttons that
// Internet Explorer loads by itself, their removal and their baseline.
//
// A helper is known by what it is: its kind (item type 900, 901 or 902),
// its class id exactly as it stands in its key (the record's `name`) and
// the registry view it was read from. Its title is only shown.
#pragma once
#include <windows.h>

#include "items.h"
#include "store.h"

#define BHO_KEY           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects"
#define IE_TOOLBAR_KEY    "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar"
#define IE_EXTENSIONS_KEY "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions"

// The approved helpers: one value per approved title (data: the item type
// in decimal), and below it one value per approved helper, named by its
// identity, with the title it was approved under as data.
#define IE_HELPER_BASELINE STORE_ROOT "\\IEHelpers"
#define IE_HELPER_KNOWN    IE_HELPER_BASELINE "\\Known"
// The verified signer each approval was given for, by identity name.
#define IE_HELPER_SIGNERS  IE_HELPER_BASELINE "\\Signers"

// EnumerateIEHelpers (inventory.h) lists them into the item list.

// The HKLM key of a helper kind (900-902); null for other types.
const char *IEHelperKey(int type);

// "SOFTWARE\...\Browser Helper Objects" and the like for a record's kind
// and view, as the explorer shows the location. Returns the length.
int DescribeIEHelperLocation(int type, int view, char *out, int size);

// 1 when the helper's registration (its key or value) still exists.
int IEHelperRegistered(const Item *record);

// Removes the helper of the record and every other helper registered now
// with the same program file: each registration is deleted by its own
// kind and class id, an in-process server is unregistered with regsvr32,
// and each deleted registration gets a history line. The shared item list
// is neither read nor changed. Returns the number of registrations deleted.
int RemoveIEHelperEntry(const Item *record);

// The same for the record at index of the item list (the list as last
// filled by EnumerateIEHelpers). 0 when there is no such record.
int RemoveIEHelper(const char *helperPath, int index);

// The name of a helper's identity value under IE_HELPER_KNOWN: the type,
// "/32" for the 32-bit view, ":" and the class id. Returns its length, 0
// when it does not fit.
int IEHelperIdentityName(const Item *record, char *out, int size);

// 1 when the helper is approved: its title is approved and the helper
// itself was approved under that title. A title shared by another helper
// never approves this one.
int IEHelperApproved(const Item *record);

// Approves the helper (its title value and its identity value). 1 or 0.
int ApproveIEHelper(const Item *record);

// Withdraws the helper's approval. The title value goes too, unless another
// approved helper still holds that title.
void ForgetIEHelper(const Item *record);

// Approves every helper listed now (store initialisation).
void WriteIEHelperBaseline(void);
