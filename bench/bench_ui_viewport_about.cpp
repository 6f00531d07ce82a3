// The viewport's splash paint at 1920 x 1080 and one about-box frame, each
// beside a BitBlt of the same area to the same window in the same run; and the
// processor time a running Player.exe spends while it plays a clip.
//
//   bench_ui_viewport_about [OUTPUT]   (the table goes to OUTPUT, else stdout)
//
// A window is painted only where it lies on the screen, so on a screen smaller
// than 1920 x 1080 the program runs itself again inside a larger Wine desktop
// and prints what that run wrote.
#include <windows.h>
#include <stdio.h>

#include <functional>
#include <string>
#include <vector>

#include "bench_util.h"
#include "player.h"
#include "skin.h"
#include "ui_windows.h"

namespace {

const int REPS = 41;

// Milliseconds per call, median of REPS.
double median_ms(const std::function<void()> &op)
{
    std::vector<double> t;
    for (int i = 0; i < REPS; i++) {
        double t0 = bench::seconds_now();
        op();
        t.push_back((bench::seconds_now() - t0) * 1000.0);
    }
    return bench::median(t);
}

void repaint(HWND w)
{
    InvalidateRect(w, nullptr, FALSE);
    UpdateWindow(w);
}

// The peer: a DIB section of the same size copied to the same window.
double bitblt_ms(HWND w, int width, int height)
{
    PxmSurface s = {};
    pxm_surface_create(&s, width, height, 0);
    HDC src = nullptr;
    pxm_surface_get_dc(&s, &src, nullptr);
    HDC dc = GetDC(w);
    double ms = median_ms([&] {
        BitBlt(dc, 0, 0, width, height, src, 0, 0, SRCCOPY);
        GdiFlush();
    });
    ReleaseDC(w, dc);
    pxm_surface_release_dc(&s, &src);
    pxm_surface_free(&s, 0);
    return ms;
}

struct Line { const char *what; const char *size; double ours; double peer; const char *unit; double target; };

void print_line(FILE *out, const Line &l)
{
    char peer[32] = "";
    if (l.peer > 0) snprintf(peer, sizeof peer, "%9.3f %7.2f", l.peer, l.ours / l.peer);
    fprintf(out, "%-34s %-10s %9.3f %-6s %-17s  < %g %s %s\n", l.what, l.size, l.ours, l.unit, peer, l.target, l.unit,
            l.ours < 0 ? "no reading" : l.ours < l.target ? "met" : "MISSED");
}

Line viewport_paint(void)
{
    HWND w = CreateWindowExA(0, "player_viewport", "", WS_POPUP | WS_VISIBLE, 0, 0, 1920, 1080, nullptr, nullptr,
                             player_instance, nullptr);
    repaint(w);  // the back buffer is made on the first paint
    HDC dc = GetDC(w);
    RECT box;
    GetClipBox(dc, &box);
    ReleaseDC(w, dc);
    static char size[32];
    snprintf(size, sizeof size, "%ldx%ld", box.right - box.left, box.bottom - box.top);
    Line l = {"viewport splash paint (BitBlt)", size, median_ms([w] { repaint(w); GdiFlush(); }), bitblt_ms(w, 1920, 1080),
              "ms", 2.0};
    DestroyWindow(w);
    return l;
}

Line about_frame_paint(void)
{
    HWND d = CreateDialogParamA(player_instance, MAKEINTRESOURCEA(ABOUT_DIALOG_RESOURCE), nullptr, player_about_proc, 0);
    KillTimer(d, UI_TIMER_ID);  // frames are driven here, one per repetition
    about_frame = 300;
    Line l = {"about box frame (BitBlt)", "320x270", median_ms([d] {
                  about_frame++;
                  repaint(d);
                  GdiFlush();
              }),
              bitblt_ms(d, 320, 270), "ms", 2.0};
    DestroyWindow(d);
    return l;
}

// Runs this program inside a 2048 x 1200 desktop and copies its table to stdout.
int run_in_large_desktop(void)
{
    char self[MAX_PATH], dir[MAX_PATH], done[MAX_PATH], part[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    GetTempPathA(MAX_PATH, dir);
    snprintf(done, sizeof done, "%sbench_ui_viewport_about.txt", dir);
    snprintf(part, sizeof part, "%s.part", done);
    DeleteFileA(done);
    std::string cmd = std::string("explorer.exe /desktop=bench_ui_viewport,2048x1200 \"") + self + "\" \"" + part + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
    for (int i = 0; i < 1200 && GetFileAttributesA(done) == INVALID_FILE_ATTRIBUTES; i++) Sleep(100);
    // The desktop's own process may stay after the program in it has ended.
    if (WaitForSingleObject(pi.hProcess, 2000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 0);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    FILE *f = fopen(done, "r");
    if (!f) return printf("bench_ui_viewport_about: no result from the large desktop\n"), 1;
    char line[256];
    while (fgets(line, sizeof line, f)) fputs(line, stdout);
    fclose(f);
    DeleteFileA(done);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2 && (GetSystemMetrics(SM_CXSCREEN) < 1920 || GetSystemMetrics(SM_CYSCREEN) < 1080))
        return run_in_large_desktop();
    FILE *out = argc > 1 ? fopen(argv[1], "w") : stdout;
    if (!out) return 1;
    player_instance = GetModuleHandleA(nullptr);
    pxm_startup(0);
    skin_load();
    player_create_windows();
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    std::vector<Line> lines = {viewport_paint(), about_frame_paint()};
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    fprintf(out, "%-34s %-10s %9s %-6s %9s %7s  %s\n", "operation (peer)", "area", "ours", "", "peer", "ratio",
            "target");
    for (const Line &l : lines) print_line(out, l);
    fprintf(out, "medians of %d repetitions\n", REPS);
    if (out != stdout) {
        fclose(out);
        // Complete only now: the waiting parent looks for the final name.
        std::string done(argv[1]);
        if (done.size() > 5 && done.compare(done.size() - 5, 5, ".part") == 0)
            MoveFileA(argv[1], done.substr(0, done.size() - 5).c_str());
    }
    DestroyWindow(main_window);
    pxm_shutdown(0);
    return 0;
}
