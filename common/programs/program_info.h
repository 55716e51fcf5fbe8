// Program information: the page about a program in the knowledge base
// beside the programs, the lookup on the maker's web server, the help
// pages, and the user's notes about program files. Shared by the monitor's
// alerts and the explorer's pages; nothing here opens anything unless a
// caller acts on the user's request.
#pragma once
#include <windows.h>

#include "program_files.h"

// Sizes of the online lookup: the query behind the file name, the detailed
// address (server, script, escaped file name and query) and the simple
// address, which is cut (never inside a "%XX" escape).
#define INFO_QUERY_SIZE    1024
#define INFO_ADDRESS_SIZE  2048
#define INFO_SHORT_ADDRESS 260

// At most this many characters of a note are edited and saved.
#define NOTE_TEXT_MAX 16384

// --- Knowledge base ---------------------------------------------------------
// The key of a program's knowledge-base page, made from its file name
// (lower case, blanks, "?" and ":" as "_", no slashes, cut at the first
// ",", ".", "-" or "~" after the first character; a few fixed keys).
// Returns its length, 0 (empty text) for a name over 260 characters or an
// empty key.
int KbaseKey(const char *fileName, char *out, size_t size);

// The page kbase\<key>.html in the program folder when it exists. Returns
// the length of its path, 0 when there is none.
int FindKbasePage(const char *fileName, char *out /* PATH_SIZE */);

// --- Online lookup -----------------------------------------------------------
// The address of the online lookup for a program: number = its item type +
// 1000, command as it stands in the record, title used when the command
// names no file. detailed chooses the detailed query. Every value is
// escaped; nothing is cut inside an escape. Returns the length, 0 when no
// address can be built (no server address).
int BuildInfoAddress(int number, const char *command, const char *title, int detailed,
                     char *out, size_t size);

// The same with the two things an address carries besides the command read
// by the caller, who writes many addresses (a report): facts are the
// version facts of InfoAddressSource's file, build is Sentrel's own version
// text (GetVersionText). The address is the one BuildInfoAddress builds.
int BuildInfoAddressFrom(int number, const char *command, const char *title, int detailed,
                         const VersionFacts facts, const char *build, char *out, size_t size);
// The file whose version facts an address about command carries: the
// program file of the command (file, PATH_SIZE), or the command itself
// when it names none.
const char *InfoAddressSource(const char *command, char *file /* PATH_SIZE */);

// The program information of a command, on the user's request (the Info
// buttons of the alerts and pages): the program's knowledge-base page when
// there is one, else the lookup on the maker's web server (the detailed
// query when the option "ZentaFormat" is set). An AOL client that runs gets
// the address; when the shell cannot open it, Internet Explorer is started
// with it only when the option "BrowserFailure" is set. Returns 1 when
// something was opened.
int ShowProgramInfo(HWND owner, int number, const char *command, const char *title);

// The help page of a command number (6026 startup.html ... any other
// features.html, with the translation's language prefix): from the program
// folder when present, else from the maker's web server. 1 when opened.
int ShowHelpPage(HWND owner, int command);
// The file name of that help page. Returns its length.
int HelpPageName(int command, char *out, size_t size);

// The maker's page of free information ("stats.html") on its web server.
int ShowFreeInfoPage(HWND owner);

// Writes an Internet shortcut file pointing at the address. Returns the
// platform's status (S_OK on success).
HRESULT CreateUrlShortcut(const char *file, const char *address);

// --- Notes --------------------------------------------------------------------
// The note file of a program. Each program file has its own note, named by
// its file name and a short checksum of its full path, in the copy folder;
// a note shipped in the program folder for that file name is read as long
// as the user has not written one. Returns the length, 0 when the path
// names no file.
int NoteFilePath(const char *path, char *out /* PATH_SIZE */);
// The note the user writes for the program (never the shipped one).
int UserNoteFilePath(const char *path, char *out /* PATH_SIZE */);
// 1 when a note exists for the program.
int HasNote(const char *path);

// Reads a note file: NUL bytes and other control characters except TAB,
// CR and LF become blanks, a lone LF becomes CR LF. The text is allocated
// (free() it) and never null on success. Returns the length, -1 when the
// file cannot be read.
int ReadNoteText(const char *file, char **text);
// Writes the note (replacing the file). 1 when written.
int WriteNoteText(const char *file, const char *text);
