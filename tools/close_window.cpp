// close_window CLASS [TIMEOUT_MS]: posts WM_CLOSE to the first top-level
// window of CLASS, waits for its process to end and exits with its exit code
// (or 255 when no such window exists or the process does not end in time).
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: close_window CLASS [TIMEOUT_MS]\n");
        return 255;
    }
    DWORD timeout = argc > 2 ? (DWORD)strtoul(argv[2], nullptr, 10) : 10000;
    HWND w = FindWindowA(argv[1], nullptr);
    if (!w) {
        fprintf(stderr, "close_window: no window of class %s\n", argv[1]);
        return 255;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    PostMessageA(w, WM_CLOSE, 0, 0);
    if (!process) return 0;
    DWORD code = 255;
    if (WaitForSingleObject(process, timeout) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
    CloseHandle(process);
    printf("%lu\n", (unsigned long)code);
    return (int)code;
}
