#include "signature_checks.h"

#include <cstdlib>
#include <cstring>

#include "text.h"

namespace {

struct Request {
    Request *next;
    HWND window;
    int generation;
    int row;
    char file[PATH_SIZE];
};

// The requests waiting, first to last, and the thread that checks them.
CRITICAL_SECTION lock;
HANDLE waiting;   // set while requests wait
Request *head, *tail;
int started;

DWORD WINAPI CheckSignatures(LPVOID)
{
    for (;;) {
        WaitForSingleObject(waiting, INFINITE);
        for (;;) {
            EnterCriticalSection(&lock);
            Request *request = head;
            if (request) {
                head = request->next;
                if (!head) tail = nullptr;
            } else {
                ResetEvent(waiting);
            }
            LeaveCriticalSection(&lock);
            if (!request) break;
            SignatureAnswer *answer = (SignatureAnswer *)calloc(1, sizeof(SignatureAnswer));
            if (answer) {
                answer->generation = request->generation;
                answer->row = request->row;
                VerifyProgramFile(request->file, &answer->signature);
                if (!PostMessageA(request->window, WM_SIGNATURE_KNOWN, 0, (LPARAM)answer)) free(answer);
            }
            free(request);
        }
    }
}

int Start(void)
{
    if (started) return started > 0;
    started = -1;
    InitializeCriticalSection(&lock);
    waiting = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!waiting) return 0;
    HANDLE thread = CreateThread(nullptr, 0, CheckSignatures, nullptr, 0, nullptr);
    if (!thread) return 0;
    // The interface comes first; the checks take what is left.
    SetThreadPriority(thread, THREAD_PRIORITY_BELOW_NORMAL);
    CloseHandle(thread);
    started = 1;
    return 1;
}

}  // namespace

int AskSignature(HWND window, int generation, int row, const char *file, int first)
{
    if (!window || !file || !Start()) return 0;
    Request *request = (Request *)malloc(sizeof(Request));
    if (!request) return 0;
    if (!CopyText(request->file, sizeof request->file, file)) {
        free(request);
        return 0;
    }
    request->window = window;
    request->generation = generation;
    request->row = row;
    EnterCriticalSection(&lock);
    if (first || !tail) {
        request->next = head;
        head = request;
        if (!tail) tail = request;
    } else {
        request->next = nullptr;
        tail->next = request;
        tail = request;
    }
    SetEvent(waiting);
    LeaveCriticalSection(&lock);
    return 1;
}

void DropSignatureRequests(HWND window)
{
    if (started <= 0) return;
    EnterCriticalSection(&lock);
    Request **link = &head;
    tail = nullptr;
    while (*link) {
        Request *request = *link;
        if (request->window == window) {
            *link = request->next;
            free(request);
            continue;
        }
        tail = request;
        link = &request->next;
    }
    LeaveCriticalSection(&lock);
}
