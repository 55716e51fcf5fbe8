// File type associations: which program opens each watched extension, the
// watched list, the approved associations (the baseline) and putting an
// approved association back.
//
// ListFileTypes and InitFileTypes are declared in inventory.h.
#pragma once
#include <windows.h>

#include "store.h"

// Where an extension's class and open command come from.
enum AssociationMethod {
    METHOD_CLASS = 1,         // HKLM Software\Classes\.ext -> class -> its open command
    METHOD_APPLICATION = 2,   // the user's FileExts "Application" -> Applications\app
    METHOD_PROGID = 3,        // the user's FileExts "ProgID" -> ProgID
    METHOD_ROOT = 4,          // HKEY_CLASSES_ROOT\.ext -> class (saved and restored only)
    METHOD_USER = 5,          // the user's own classes (HKCU Software\Classes) where they change
                              // the extension's class or that class's open command
};

// The methods listed and checked, in this order (1, 2, 3, 5); 0 past the end.
int ListedMethod(int index);
// 1 for the methods that are the user's own choices (2, 3, 5): a new one
// is asked about, never taken for approved unseen.
int IsUserChoice(int method);

// The baseline under HKCU Software\Orvendale\Sentrel.
#define FILE_TYPE_CLASS_KEY STORE_ROOT "\\Class"   // default value: the watched list

// A class, application or ProgID names a registry key, so it is at most 255
// characters long (UTF-16 units; in UTF-8 up to three bytes each).
#define ASSOCIATION_CLASS_UNITS 255
#define ASSOCIATION_CLASS_SIZE 768

// One association as it stands in the registry.
struct Association {
    char cls[ASSOCIATION_CLASS_SIZE];
    // The open command exactly as stored (REG_SZ or REG_EXPAND_SZ, any
    // length, quotes and all).
    StoreBlob command;
};
void FreeAssociation(Association *association);

// Reads the association of an extension (with or without its dot) by one
// method. 1 when there is a class and an open command (text of any length);
// 0 otherwise, with the association empty.
int ReadAssociation(const char *extension, int method, Association *out);

// The same with the class and the command (REG_EXPAND_SZ expanded) in
// buffers of 260 characters. 1 when found and both fit; 0 with the outputs
// untouched otherwise.
int GetAssociation(const char *extension, char *cls /* 260 */, char *command /* 260 */, int method);

// The approved association of an extension and method: the class saved
// under the extension and the command saved under that class, as stored.
// 1 when both are there and the command is not empty (a baseline of any
// length counts); 0 when the extension has no baseline yet.
int ReadSavedAssociation(const char *extension, int method, Association *out);

// 1 when the association of the extension by that method is the approved
// one (its open command is the saved command).
int IsAssociationApproved(const char *extension, int method);

// Stores the association as it stands now as the approved one. 1 when
// written, 0 when there is none or a write failed.
int SaveAssociation(const char *extension, int method);
// Stores a given association (the one the user was shown) as the approved one.
int SaveAssociationAs(const char *extension, int method, const Association *shown);

// Writes the approved association back: the class under the extension and,
// when one is saved, the command under the class, byte for byte. 1 when
// everything saved was written back, 0 when nothing is saved or a write
// failed.
int RestoreAssociation(const char *extension, int method);

// Takes away a choice of the user's own that has no baseline (the value
// that makes it: FileExts "Application" or "ProgID", the user's class of
// the extension or open command of that class), so the machine's
// association counts again. 1 when it is gone.
int RemoveUserChoice(const char *extension, int method);

// 1 when two open commands name the same program with the same parameters:
// compared from the program's file name on (its folder may differ), case,
// quotes and the difference between "=" and ":" ignored.
int SameOpenCommand(const char *saved, const char *current);

// The file name of the program an open command names, quotes left out.
// Returns its length, 0 (out empty) when the command names none.
int OpenCommandProgramName(const char *command, char *out, size_t size);

// The icon an association names (the DefaultIcon of its class): the file,
// variables expanded, and the icon's index (negative: a resource id). 1
// when it names a file; 0 when it names none or only the opened file ("%1").
int GetAssociationIcon(const char *extension, int method, char *file /* 260 */, int *index);

// --- The watched list --------------------------------------------------------

// Reads the watched list whole into a heap text (free() it). Returns its
// length; 0 with *text null when there is none.
int ReadWatchedList(char **text);

// The extension a piece of the watched list stands for: blanks around it
// dropped, a dot put in front when it has none. 0 (out empty) for a piece
// that names no extension: empty, dots only, two leading dots, a backslash
// or a control character, or more than 255 characters with its dot.
int WatchedExtension(const char *piece, size_t length, char *out /* ASSOCIATION_CLASS_SIZE */);

// Calls visit(extension) for each distinct extension of the watched list,
// in list order, at most 4096 of them. Stops when visit returns 0. Returns
// the number visited.
typedef int (*WatchedExtensionVisitor)(const char *extension, void *context);
int ForEachWatchedExtension(WatchedExtensionVisitor visit, void *context);

// Puts an extension on the watched list and saves its present associations
// as approved. 0 when added; otherwise the string of the refusal: 762
// already watched, 763 the list is full, FILE_TYPE_NOT_AN_EXTENSION for a
// text that names no extension, FILE_TYPE_NOT_WRITTEN when the list could
// not be written.
#define FILE_TYPE_NOT_AN_EXTENSION 3261
#define FILE_TYPE_NOT_WRITTEN 3262
int AddWatchedFileType(const char *text);

// Takes an extension off the watched list and forgets its approved class
// (and the class's command when no other extension uses it). 1 when the
// list was rewritten.
int RemoveWatchedFileType(const char *extension);
