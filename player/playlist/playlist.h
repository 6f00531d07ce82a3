// The playlist: one contiguous block of fixed-size records, a count and the
// index of the current entry. All of it runs on the user-interface thread.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <stdint.h>

#define PLAYLIST_SELECTED 1u
#define PLAYLIST_PATH_CHARS 260

#pragma pack(push, 1)
struct PlaylistEntry {
    char path[PLAYLIST_PATH_CHARS];  // empty marks a removed record awaiting compaction
    char title[128];                 // never filled by the player; read by the M3U writer
    int32_t length;                  // never filled by the player; read by the M3U writer
    uint32_t flags;                  // PLAYLIST_SELECTED
};
#pragma pack(pop)
static_assert(sizeof(PlaylistEntry) == 396, "PlaylistEntry is a 396-byte packed record");

extern PlaylistEntry *playlist_entries;  // GlobalAlloc'd, zero past the records in use
extern int32_t playlist_count;
extern int32_t playlist_current;         // clamped by the operations that use it

int playlist_reserve(void);
extern SIZE_T playlist_block_limit;      // largest block asked for; tests lower it
int playlist_append_file(const char *path);
const char *playlist_current_path(void);
char *playlist_display_name(int index, char *out);
int playlist_step(int delta);
int playlist_toggle_selection(int index, int keep_others);
int playlist_remove_selected(void);
int playlist_compact(void);
int playlist_clear(void);

// Reordering: at random, by display name, or by the title or artist in each
// file's tags (entries without one last, by display name). Records keep their
// bytes and the current entry stays on its file. Returns 1, or 0 (list
// unchanged) for an unknown order or when memory runs out.
#define PLAYLIST_SORT_RANDOM 0
#define PLAYLIST_SORT_FILE 1
#define PLAYLIST_SORT_TITLE 2
#define PLAYLIST_SORT_ARTIST 3
int playlist_sort(int order);

// Playlist files: extended M3U (read and written) and PLS (read).
const char *text_find(const char *text, const char *pattern);
int playlist_is_playlist_file(const char *path);
int playlist_read_file(const char *path);
int playlist_write_m3u(char *path);  // 260-character buffer; ".m3u" may be appended
void playlist_save_dialog(HWND owner);

// Adding files, folders, playlists and dropped items.
int playlist_add(const char *path);
int playlist_open_dialog(HWND owner);
void playlist_add_dropped(HDROP drop);
