// Reordering the playlist's records: shuffled, by display name, or by the
// title or artist read from each file's tags.
#include "playlist.h"

#include <windows.h>
#include <string.h>

#include <algorithm>
#include <new>

#include "path_name.h"
#include "playlist_tags.h"

// Orders record indices by their key text, case-insensitively; with keys,
// entries whose key is empty come last, among themselves by display name.
struct PlaylistSortLess {
    const char *const *names;
    const char (*keys)[128];
    bool operator()(int32_t a, int32_t b) const
    {
        if (keys) {
            bool ha = keys[a][0] != 0, hb = keys[b][0] != 0;
            if (ha != hb) return ha;
            if (ha) return lstrcmpiA(keys[a], keys[b]) < 0;
        }
        return lstrcmpiA(names[a], names[b]) < 0;
    }
};

// splitmix64, seeded from the clock on every shuffle and carried between
// shuffles, so that two shuffles in the same clock tick still differ.
static uint64_t playlist_random_state;

static uint64_t playlist_random_next(void)
{
    uint64_t z = (playlist_random_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Uniform in [0, bound): 64 random bits, rejecting the top values that would
// favour the low results.
static uint32_t playlist_random_below(uint32_t bound)
{
    uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
    uint64_t r;
    do r = playlist_random_next();
    while (r >= limit);
    return (uint32_t)(r % bound);
}

static void playlist_shuffle(int32_t *order, int n)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    playlist_random_state ^= (uint64_t)now.QuadPart ^ ((uint64_t)GetTickCount() << 32);
    for (int i = n - 1; i > 0; i--) {  // Fisher-Yates
        int j = (int)playlist_random_below((uint32_t)i + 1);
        std::swap(order[i], order[j]);
    }
}

// Puts the records in the given order through a copy, and moves the current
// index with its record.
static int playlist_apply_order(const int32_t *order, int n)
{
    PlaylistEntry *copy = (PlaylistEntry *)GlobalAlloc(GMEM_FIXED, (SIZE_T)n * sizeof(PlaylistEntry));
    if (!copy) return 0;
    int current = playlist_current < 0 ? 0 : playlist_current >= n ? n - 1 : playlist_current;
    for (int i = 0; i < n; i++) {
        copy[i] = playlist_entries[order[i]];
        if (order[i] == current) playlist_current = i;
    }
    memcpy(playlist_entries, copy, (SIZE_T)n * sizeof(PlaylistEntry));
    GlobalFree(copy);
    return 1;
}

int playlist_sort(int order)
{
    if (order < PLAYLIST_SORT_RANDOM || order > PLAYLIST_SORT_ARTIST) return 0;
    int n = playlist_count;
    if (n < 2 || !playlist_entries) return 1;
    int by_tag = order == PLAYLIST_SORT_TITLE || order == PLAYLIST_SORT_ARTIST;
    int32_t *index = new (std::nothrow) int32_t[n];
    const char **names = new (std::nothrow) const char *[n];
    char (*keys)[128] = by_tag ? new (std::nothrow) char[n][128] : nullptr;
    int ok = index && names && (keys || !by_tag);
    if (ok) {
        for (int i = 0; i < n; i++) {
            index[i] = i;
            names[i] = path_file_name(playlist_entries[i].path);
        }
        if (by_tag) {
            for (int i = 0; i < n; i++) {
                TagText tags;
                tag_read_file(playlist_entries[i].path, &tags);
                memcpy(keys[i], order == PLAYLIST_SORT_TITLE ? tags.title : tags.artist, sizeof keys[i]);
            }
        }
        if (order == PLAYLIST_SORT_RANDOM)
            playlist_shuffle(index, n);
        else
            std::stable_sort(index, index + n, PlaylistSortLess{names, keys});
        ok = playlist_apply_order(index, n);
    }
    delete[] index;
    delete[] names;
    delete[] keys;
    return ok;
}
