// Pieces shared by the engine's benchmarks: the clock, the pixel generator,
// medians, the integer-form wrapper and the setup and output that
// scripts/bench relies on.
#pragma once
#include <windows.h>

#include <algorithm>
#include <functional>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <vector>

#include "pixmoor.h"

namespace bench {

inline double seconds_now()
{
    static LARGE_INTEGER freq;
    if (!freq.QuadPart)
        QueryPerformanceFrequency(&freq);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)freq.QuadPart;
}

// xorshift32: the same pixels on every run.
inline uint32_t xorshift(uint32_t &state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs op with the integer forms.
inline std::function<void()> integer_form(const std::function<void()> &op)
{
    return [op]() {
        int level = pxm_cpu_level;
        pxm_cpu_level = 0;
        op();
        pxm_cpu_level = level;
    };
}

// One processor at high priority, and the engine started.
inline void start()
{
    SetThreadAffinityMask(GetCurrentThread(), 1);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    pxm_startup(0);
    if (pxm_cpu_level < 2)
        printf("note: this processor has no SSE2; the SSE2 rows run the integer forms\n");
}

// One row of the table: ours against a peer, in Mpixels/s.
struct Row {
    char ours[64];
    int size;
    double mpix;
    char peer[64];
    double peer_mpix;
    double target; // 0 = none
};

inline std::vector<Row> rows;

// Rows named for the SSE2 forms run the fastest forms this processor has:
// they are named for the level that ran them.
inline void name_for_level(char *out, size_t size, const char *name)
{
    const char *suffix = ", SSE2";
    size_t n = strlen(name), k = strlen(suffix);
    const char *form = pxm_cpu_level >= 5 ? ", AVX2" : pxm_cpu_level >= 4 ? ", SSSE3" : suffix;
    if (n >= k && !strcmp(name + n - k, suffix))
        snprintf(out, size, "%.*s%s", (int)(n - k), name, form);
    else
        snprintf(out, size, "%s", name);
}

inline void add_row(const char *ours, int size, double mpix, const char *peer, double peer_mpix, double target)
{
    Row r;
    name_for_level(r.ours, sizeof(r.ours), ours);
    snprintf(r.peer, sizeof(r.peer), "%s", peer);
    r.size = size;
    r.mpix = mpix;
    r.peer_mpix = peer_mpix;
    r.target = target;
    rows.push_back(r);
}

// The target column, ">= 2.0 met" or empty when a row has none; misses are counted.
inline void target_text(char (&text)[32], double ratio, double target, int *missed)
{
    text[0] = 0;
    if (target > 0) {
        bool met = ratio >= target;
        *missed += !met;
        snprintf(text, sizeof(text), ">= %.1f %s", target, met ? "met" : "MISSED");
    }
}

// One line per row for scripts/bench, which takes medians over runs; the
// rates with the given number of decimals.
inline void print_raw_row(const char *ours, int size, double mpix, const char *peer, double peer_mpix, double target,
                          int decimals)
{
    printf("%s|%d|%.*f|%s|%.*f|%.1f\n", ours, size, decimals, mpix, peer, decimals, peer_mpix, target);
}

} // namespace bench
