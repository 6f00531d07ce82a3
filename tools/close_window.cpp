// close_window CLASS [TIMEOUT_MS [REPORT_FILE]]: posts WM_CLOSE to the first
// top-level window of CLASS, waits for its process to end and exits with its
// exit code (255 when no such window exists or the process does not end in
// time). The code is also printed, and written to REPORT_FILE when given, for
// callers inside a Wine desktop whose output and exit code do not reach them.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

static int finish(const char *report, DWORD code)
{
    printf("%lu\n", (unsigned long)code);
    if (report) {
        FILE *f = fopen(report, "w");
        if (f) {
            fprintf(f, "%lu\n", (unsigned long)code);
            fclose(f);
        }
    }
    return (int)code;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: close_window CLASS [TIMEOUT_MS]\n");
        return 255;
    }
    DWORD timeout = argc > 2 ? (DWORD)strtoul(argv[2], nullptr, 10) : 10000;
    const char *report = argc > 3 ? argv[3] : nullptr;
    HWND w = FindWindowA(argv[1], nullptr);
    if (!w) {
        fprintf(stderr, "close_window: no window of class %s\n", argv[1]);
        return finish(report, 255);
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    PostMessageA(w, WM_CLOSE, 0, 0);
    if (!process) return finish(report, 255);
    DWORD code = 255;
    if (WaitForSingleObject(process, timeout) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return finish(report, code);
}
