// Where disabled startup entries are kept, all under HKLM
// Software\Orvendale\Sentrel\Disabled: the mark (a value whose data is the
// entry's former item type), the saved copy (a value of the same name in
// the subkey of that type) and, when the stored name is not the entry's own
// value name, the entry's exact name under the subkey "Names".
//
// An ordinary Run entry is stored under its value name, as it always was.
// Where that name would be shared (the same name in another hive or view,
// win.ini pieces, Startup-folder files, the default value) the stored name
// is qualified by the location: "@<type>:<name>", "@<type>/32:<name>".
#pragma once
#include <windows.h>

#include "store.h"

#define DISABLED_KEY STORE_ROOT "\\Disabled"
#define DISABLED_NAMES_KEY "Software\\Orvendale\\Sentrel\\Disabled\\Names"
// The Startup folder a disabled Startup-folder file came from, by its mark.
#define DISABLED_FOLDERS_KEY "Software\\Orvendale\\Sentrel\\Disabled\\Folders"
// A disabled win.ini piece: its list before and after the Disable.
#define DISABLED_WININI_KEY "Software\\Orvendale\\Sentrel\\Disabled\\WinIniLists"

// Every mark of the store, read once; lookups are made in memory.
struct MarkIndex {
    struct Mark {
        char *stored;   // the mark's value name
        char *name;     // the entry's exact name (from "Names", or the stored name)
        int type;
        int view;
        int qualified;
    };
    Mark *marks = nullptr;
    int count = 0;

    MarkIndex() = default;
    MarkIndex(const MarkIndex &) = delete;
    MarkIndex &operator=(const MarkIndex &) = delete;
    ~MarkIndex() { Clear(); }
    void Load(void);
    void Clear(void);
    // The stored name of the mark of an entry; null when it has none.
    const char *Find(int type, int view, const char *name) const;
    // The mark stored under a name; null when none.
    const Mark *Stored(const char *stored) const;
};

// The stored name of an entry's mark (heap, free() it), or null.
char *FindDisabledMark(int type, int view, const char *name);

// The stored name an entry being disabled takes (heap, free() it): its
// existing mark's, its value name when that is free, or the qualified
// name. Null when the qualified name already belongs to another entry.
char *ChooseMarkName(int type, int view, const char *name);

// Writes the mark (and the "Names" entry of a qualified name) and reads it
// back. 1 or 0.
int WriteDisabledMark(const char *stored, int type, int view, const char *name);

// Deletes the mark, the saved copy in the subkey (when given) and the
// "Names" entry. Returns the result of deleting the mark.
int DeleteDisabledMark(const char *stored, const char *subkey);

// The former type a mark holds; 0 when there is no mark of that stored name.
int MarkTypeOf(const char *stored);
