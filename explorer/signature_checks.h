// SentrelEx.exe: signatures checked on a thread of their own, so that a
// page shows its rows while their program files are hashed. A page hands
// over the file of a row; the answer comes back to the page's window as
// WM_SIGNATURE_KNOWN, lParam a SignatureAnswer the page frees (free()).
#pragma once
#include <windows.h>

#include "signatures.h"

#define WM_SIGNATURE_KNOWN (WM_APP + 41)

struct SignatureAnswer {
    int generation;   // the page's fill it was asked for
    int row;          // the row store index
    Signature signature;
};

// Asks for the signature of file for a row of the page window's fill
// generation; first puts it ahead of every request waiting (a row in
// view). 1 when it is on its way; 0 when it could not be asked (the caller
// checks the file itself).
int AskSignature(HWND window, int generation, int row, const char *file, int first);

// Forgets the requests of window that are not being checked yet.
void DropSignatureRequests(HWND window);
