// Cold start to the first complete paint: Player.exe against a bare program
// that creates and paints one window, started the same way and taking turns.
// A start is timed from CreateProcess until the new process shows as many
// windows as it makes at start-up (four for the player: its main window and
// the three skinned children; one for the bare program) and none of them has
// anything left to paint. Then it is closed, and the next start waits until
// it has gone.
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <vector>

#include "bench_util.h"

namespace {

struct Windows {
    DWORD process;
    int count;     // visible windows
    int unpainted; // of them, those with something left to paint
};

BOOL CALLBACK count_child(HWND window, LPARAM param)
{
    Windows *w = (Windows *)param;
    RECT r;
    if (!IsWindowVisible(window))
        return TRUE;
    w->count++;
    if (GetUpdateRect(window, &r, FALSE))
        w->unpainted++;
    return TRUE;
}

BOOL CALLBACK count_top(HWND window, LPARAM param)
{
    Windows *w = (Windows *)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != w->process || !IsWindowVisible(window))
        return TRUE;
    count_child(window, param);
    EnumChildWindows(window, count_child, param);
    return TRUE;
}

BOOL CALLBACK close_top(HWND window, LPARAM param)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == (DWORD)param)
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// Milliseconds from CreateProcess to the first complete paint of the
// expected windows, or -1.
double start_once(const char *program, int expected)
{
    char line[MAX_PATH + 2];
    snprintf(line, sizeof(line), "\"%s\"", program);
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    double t0 = bench::seconds_now(), ms = -1;
    if (!CreateProcessA(program, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    while (bench::seconds_now() - t0 < 20) {
        Windows seen = {pi.dwProcessId, 0, 0};
        EnumWindows(count_top, (LPARAM)&seen);
        if (seen.count >= expected && seen.unpainted == 0) {
            ms = (bench::seconds_now() - t0) * 1000;
            break;
        }
        Sleep(1);
    }
    WaitForInputIdle(pi.hProcess, 10000);
    EnumWindows(close_top, (LPARAM)pi.dwProcessId);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 5) {
        fprintf(stderr, "usage: bench_startup Player.exe windows bare_window.exe windows [starts]\n");
        return 2;
    }
    int player_windows = atoi(argv[2]), bare_windows = atoi(argv[4]);
    int starts = argc > 5 ? atoi(argv[5]) : 9;
    // One untimed start of each loads the programs' files into the cache.
    start_once(argv[1], player_windows);
    start_once(argv[3], bare_windows);
    std::vector<double> player, bare, ratio;
    for (int i = 0; i < starts; i++) {
        double b = start_once(argv[3], bare_windows);
        double p = start_once(argv[1], player_windows);
        if (p < 0 || b < 0) {
            fprintf(stderr, "a start did not paint its windows within 20 s\n");
            return 1;
        }
        player.push_back(p);
        bare.push_back(b);
        ratio.push_back(p / b);
    }
    double lo = *std::min_element(ratio.begin(), ratio.end()), hi = *std::max_element(ratio.begin(), ratio.end());
    double r = bench::median(ratio);
    printf("Start-up to the first complete paint, median of %d starts each, taking turns:\n", starts);
    printf("  Player.exe (%d windows)   %7.1f ms\n", player_windows, bench::median(player));
    printf("  bare program (%d window)  %7.1f ms\n", bare_windows, bench::median(bare));
    printf("  ratio %.2f (spread %.2f-%.2f)  target <= 1.3 %s\n", r, lo, hi, r <= 1.3 ? "met" : "MISSED");
    return 0;
}
