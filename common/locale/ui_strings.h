// User-interface strings: the programs' string tables, with translations
// that override single strings from the registry ("LString<n>" under HKLM).
#pragma once
#include <windows.h>

// Primary language of the user interface; 9 = English. Any other value
// makes LoadUiString look for overrides.
extern WORD UiLanguage;

// Sets UiLanguage from the translation code in string 634.
void SetUiLanguage(void);

// Maps a translation code ("us", "de", ...) to its language number; 0 when unknown.
WORD LanguageFromCode(const char *code);

// Loads string number into buffer (size bytes, always terminated). With a
// negative size nothing is copied and only the length is returned. Returns
// the length, 0 when the string is missing.
int LoadUiString(UINT number, char *buffer, int size);

// Sets a dialog control's text to string number; a missing or empty string
// leaves the control's text alone.
void SetDlgItemUiString(HWND dialog, UINT number, int control);

// Message box with the text of string number, in the user-interface language.
int UiMessageBox(HWND owner, UINT number, const char *caption, UINT flags);

// Message box with a given text, in the user-interface language.
int UiMessageBoxText(HWND owner, const char *text, const char *caption, UINT flags);

// The window the questions of inventory changes are owned by (null: none).
extern HWND startupOwner;
