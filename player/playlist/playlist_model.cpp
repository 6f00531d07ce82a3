// Playlist records, storage reservation, stepping, selection and removal.
#include "playlist.h"

#include <windows.h>
#include <string.h>

PlaylistEntry *playlist_entries = nullptr;
int32_t playlist_count = 0;
int32_t playlist_current = 0;

static const SIZE_T PLAYLIST_KEEP_THRESHOLD = 16384;  // below it the block is always rebuilt
static const SIZE_T PLAYLIST_SPARE_BYTES = 4096;

// The largest block the playlist asks the system for: no limit but the
// system's own, unless a test stands in for memory pressure.
SIZE_T playlist_block_limit = (SIZE_T)-1;

static PlaylistEntry *playlist_alloc(SIZE_T bytes)
{
    if (bytes > playlist_block_limit) return nullptr;
    return (PlaylistEntry *)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes);
}

// Makes room for one more record. Short lists are rebuilt at exactly the size
// they need plus 4096 bytes on every call, so they never hold more. Long lists
// keep their block until it is full, then grow by half as many records again
// (at least 4096 bytes), so that adding n records copies O(n) bytes, not
// O(n^2). When the larger block cannot be had, the short lists' step of
// 4096 bytes is tried before the addition fails.
int playlist_reserve(void)
{
    if (playlist_count < 0) playlist_count = 0;
    if (playlist_current < 0) playlist_current = 0;

    const SIZE_T record = sizeof(PlaylistEntry);
    SIZE_T records = (SIZE_T)playlist_count + 1;
    if (records > ((SIZE_T)-1 - PLAYLIST_SPARE_BYTES) / record * 2 / 3) return 0;  // the size would wrap
    SIZE_T needed = records * record;
    SIZE_T size = 0, spare = PLAYLIST_SPARE_BYTES;
    if (playlist_entries) {
        size = GlobalSize(playlist_entries);
        if (needed >= PLAYLIST_KEEP_THRESHOLD) {
            if (needed < size) return 1;
            if (records / 2 * record > spare) spare = records / 2 * record;
        }
    }

    PlaylistEntry *block = playlist_alloc(needed + spare);
    if (!block && spare > PLAYLIST_SPARE_BYTES) block = playlist_alloc(needed + PLAYLIST_SPARE_BYTES);
    if (!block) return 0;
    if (playlist_entries) {
        memcpy(block, playlist_entries, needed < size ? needed : size);
        GlobalFree(playlist_entries);
    }
    playlist_entries = block;
    return 1;
}

int playlist_append_file(const char *path)
{
    if (!playlist_entries || !path) return 0;
    PlaylistEntry *e = &playlist_entries[playlist_count];
    memset(e, 0, sizeof *e);
    lstrcpynA(e->path, path, sizeof e->path);
    playlist_count++;
    return 1;
}

const char *playlist_current_path(void)
{
    if (playlist_count < 1 || !playlist_entries) return nullptr;
    if (playlist_current < 0) playlist_current = 0;
    if (playlist_current >= playlist_count) playlist_current = playlist_count - 1;
    return playlist_entries[playlist_current].path;
}

char *playlist_display_name(int index, char *out)
{
    const char *path = playlist_entries[index].path;
    const char *name = strrchr(path, '\\');
    if (!name) name = strrchr(path, '/');
    name = name ? name + 1 : path;
    lstrcpynA(out, name, PLAYLIST_PATH_CHARS);
    return out;
}

int playlist_step(int delta)
{
    if (playlist_count < 1) return 0;
    // 64-bit so that a huge delta or a far-off current index cannot overflow.
    int64_t a = (int64_t)playlist_current + delta;
    a %= playlist_count;
    if (a < 0) a += playlist_count;
    playlist_current = (int32_t)a;
    return 1;
}

int playlist_toggle_selection(int index, int keep_others)
{
    if (index < 0 || index >= playlist_count) return 0;
    if (!keep_others)
        for (int i = 0; i < playlist_count; i++) playlist_entries[i].flags &= ~PLAYLIST_SELECTED;
    playlist_entries[index].flags ^= PLAYLIST_SELECTED;
    return 1;
}

int playlist_remove_selected(void)
{
    int c = playlist_current;
    int removed_before = 0;
    for (int i = 0; i < playlist_count; i++) {
        if (playlist_entries[i].flags & PLAYLIST_SELECTED) {
            memset(&playlist_entries[i], 0, sizeof(PlaylistEntry));
            if (i < c) removed_before++;
        }
    }
    playlist_current -= removed_before;
    if (playlist_count > 0 && playlist_current >= playlist_count) playlist_current = playlist_count - 1;
    playlist_compact();
    return 1;
}

// Moves the records that still have a path to the front, in their order,
// each once; the count becomes theirs and the vacated records are zeroed.
// The same order and count as bubbling the empty records to the end.
int playlist_compact(void)
{
    if (playlist_count >= 1 && playlist_entries) {
        int kept = 0;
        for (int i = 0; i < playlist_count; i++) {
            if (!playlist_entries[i].path[0]) continue;
            if (kept != i) playlist_entries[kept] = playlist_entries[i];
            kept++;
        }
        memset(&playlist_entries[kept], 0, (size_t)(playlist_count - kept) * sizeof(PlaylistEntry));
        playlist_count = kept;
    }
    if (playlist_count > 0 && playlist_current >= playlist_count) playlist_current = playlist_count - 1;
    playlist_reserve();
    return 1;
}

int playlist_clear(void)
{
    if (playlist_entries && playlist_count > 0)
        memset(playlist_entries, 0, (size_t)playlist_count * sizeof(PlaylistEntry));
    playlist_count = 0;
    playlist_reserve();
    return 1;
}
