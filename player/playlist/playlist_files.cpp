// Recognising, reading and writing playlist files.
#include <windows.h>
#include <commdlg.h>
#include <stdio.h>
#include <string.h>

#include "player.h"
#include "playlist.h"

static char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c + 32) : c; }

const char *text_find(const char *text, const char *pattern)
{
    if (!text || !text[0]) return nullptr;
    if (!pattern || !pattern[0]) return text;
    for (const char *t = text; *t; t++) {
        const char *a = t, *b = pattern;
        while (*b && *a && ascii_lower(*a) == ascii_lower(*b)) a++, b++;
        if (!*b) return t;
    }
    return nullptr;
}

// The text from the last '.' of the path equals ext, without regard to case.
static int has_extension(const char *path, const char *ext)
{
    const char *dot = strrchr(path, '.');
    return dot && lstrcmpiA(dot, ext) == 0;
}

static HANDLE open_for_reading(const char *path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int playlist_is_playlist_file(const char *path)
{
    if (!path) return 0;
    if (has_extension(path, ".m3u") || has_extension(path, ".pls")) return 1;
    HANDLE h = open_for_reading(path);
    if (h == INVALID_HANDLE_VALUE) return 0;
    char probe[256];
    memset(probe, 0, sizeof probe);
    DWORD size = GetFileSize(h, nullptr);
    DWORD want = size < 200 ? size : 200;  // an unknown size (all ones) reads 200 too
    DWORD got = 0;
    BOOL ok = ReadFile(h, probe, want, &got, nullptr);
    CloseHandle(h);
    if (!ok || got < want) return 0;
    return text_find(probe, "#EXTM3U") || text_find(probe, "[playlist]");
}

// Playlists that are being read now, outermost first. A playlist that names
// itself, directly or through others, is not read again while it is open, and
// nesting stops at a fixed depth, so reading always ends.
#define PLAYLIST_NESTING 16
static char playlist_reading[PLAYLIST_NESTING][MAX_PATH];
static int playlist_reading_depth = 0;

static int playlist_enter(const char *path)
{
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH) lstrcpynA(full, path, MAX_PATH);
    if (playlist_reading_depth >= PLAYLIST_NESTING) return 0;
    for (int i = 0; i < playlist_reading_depth; i++)
        if (lstrcmpiA(playlist_reading[i], full) == 0) return 0;
    lstrcpyA(playlist_reading[playlist_reading_depth++], full);
    return 1;
}

static int is_line_break(char c) { return c == '\r' || c == '\n'; }

// Tries one line or value as a path: added when it names a readable file. A
// zero byte ends the path; the rest of the line is ignored.
static void playlist_try_path(const char *from, const char *to)
{
    const char *zero = (const char *)memchr(from, 0, (size_t)(to - from));
    size_t n = (size_t)((zero ? zero : to) - from);
    if (n >= PLAYER_PATH_CHARS) return;  // longer than any readable path
    char path[PLAYER_PATH_CHARS];
    memcpy(path, from, n);
    path[n] = 0;
    if (player_file_is_readable(path)) playlist_add(path);
}

// Extended M3U: every line from the marker on is tried as a path.
static void playlist_parse_m3u(const char *p, const char *end)
{
    while (p < end) {
        while (p < end && is_line_break(*p)) p++;
        const char *line = p;
        while (p < end && !is_line_break(*p)) p++;
        if (p > line) playlist_try_path(line, p);
    }
}

// PLS: the value of every key=value line is tried as a path, keys unread.
static void playlist_parse_pls(const char *p, const char *end)
{
    while (p < end) {
        while (p < end && is_line_break(*p)) p++;
        const char *eq = (const char *)memchr(p, '=', (size_t)(end - p));
        if (!eq) return;
        const char *value = eq + 1;
        p = value;
        while (p < end && !is_line_break(*p)) p++;
        playlist_try_path(value, p);
    }
}

int playlist_read_file(const char *path)
{
    if (!path) return 0;
    HANDLE h = open_for_reading(path);
    if (h == INVALID_HANDLE_VALUE) return 0;
    DWORD size = GetFileSize(h, nullptr);
    if (size == INVALID_FILE_SIZE) {
        CloseHandle(h);
        return 0;
    }
    char *text = (char *)GlobalAlloc(GMEM_FIXED, (SIZE_T)size + 1);
    if (!text) {
        CloseHandle(h);
        return 0;
    }
    DWORD got = 0;
    if (!ReadFile(h, text, size, &got, nullptr)) got = 0;
    CloseHandle(h);
    text[got] = 0;
    const char *end = text + got;

    int result = 0;
    const char *marker;
    if (!playlist_enter(path)) {
        result = 0;
    } else {
        if ((marker = text_find(text, "#EXTM3U")) != nullptr) {
            playlist_parse_m3u(marker, end);
            result = 1;
        } else if ((marker = text_find(text, "[playlist]")) != nullptr) {
            playlist_parse_pls(marker, end);
            result = 1;
        }
        playlist_reading_depth--;
    }
    GlobalFree(text);
    return result;
}

static int write_all(HANDLE h, const char *data, DWORD n)
{
    DWORD written = 0;
    return WriteFile(h, data, n, &written, nullptr) && written == n;
}

int playlist_write_m3u(char *path)
{
    if (!path) return 0;
    if (!has_extension(path, ".m3u")) {
        if (lstrlenA(path) + 4 > PLAYER_PATH_CHARS - 1) return 0;
        lstrcatA(path, ".m3u");
    }
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    if (!write_all(h, "#EXTM3U\r\n", 9)) {
        CloseHandle(h);
        return 0;
    }
    for (int i = 0; i < playlist_count; i++) {
        const PlaylistEntry *e = &playlist_entries[i];
        char line[520];
        int n = 0;
        // Entries never carry a length in this player; a length is written as
        // an extended-information line, with its value only beside a title.
        if (e->length != 0)
            n = e->title[0] ? snprintf(line, sizeof line, "#EXTINF:%ld\r\n", (long)e->length)
                            : snprintf(line, sizeof line, "#EXTINF:\r\n");
        n += snprintf(line + n, sizeof line - n, "%.*s\r\n", (int)sizeof e->path - 1, e->path);
        if (!write_all(h, line, (DWORD)n)) {
            CloseHandle(h);
            return 0;
        }
    }
    CloseHandle(h);
    return 1;
}

// The full form of the dialog record: 88 bytes in 32-bit programs.
static_assert(sizeof(void *) != 4 || sizeof(OPENFILENAMEA) == 88, "the dialog record is the full 88-byte form");

void playlist_save_dialog(HWND owner)
{
    char file[PLAYER_PATH_CHARS];
    memset(file, 0, sizeof file);
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = "M3U Playlist File\0*.m3u\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrTitle = "Save Playlist";
    ofn.lpstrDefExt = ".m3u";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING;
    if (GetSaveFileNameA(&ofn)) playlist_write_m3u(file);
}
