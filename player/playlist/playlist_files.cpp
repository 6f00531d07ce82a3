// Recognising, reading and writing playlist files.
#include <windows.h>
#include <commdlg.h>
#include <stdio.h>
#include <string.h>

#include "player.h"
#include "playlist.h"
#include "text.h"

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

static int is_m3u_name(const char *path) { return has_extension(path, ".m3u") || has_extension(path, ".m3u8"); }

int playlist_is_playlist_file(const char *path)
{
    if (!path) return 0;
    if (is_m3u_name(path) || has_extension(path, ".pls")) return 1;
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
static int is_blank(char c) { return c == ' ' || c == '\t'; }
static int is_separator(char c) { return c == '\\' || c == '/'; }

static int hex_value(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// A local file:// URI as a path: "file:///C:/a%20b" is "C:/a b",
// "file://server/share/x" is "//server/share/x" (separators are turned
// later). Percent-escapes are decoded to the bytes they stand for. 0 for
// another host's form the player cannot reach, or a result too long.
static int uri_to_path(const char *uri, size_t n, char *out, size_t cap)
{
    const char *p = uri + 7, *end = uri + n;  // after "file://"
    if ((size_t)(end - p) >= 9 && !_strnicmp(p, "localhost", 9) && (p + 9 == end || p[9] == '/')) p += 9;
    size_t k = 0;
    if (p < end && *p == '/') {
        p++;  // "/C:/..." names a drive; anything else is a share on a server
        if (!(end - p >= 2 && p[1] == ':')) {
            if (cap < 3) return 0;
            out[k++] = '/', out[k++] = '/';
        }
    } else if (cap >= 3) {
        out[k++] = '/', out[k++] = '/';
    }
    for (; p < end; p++) {
        char c = *p;
        if (c == '%' && end - p >= 3 && hex_value(p[1]) >= 0 && hex_value(p[2]) >= 0) {
            c = (char)(hex_value(p[1]) << 4 | hex_value(p[2]));
            p += 2;
        }
        if (!c || k + 1 >= cap) return 0;
        out[k++] = c;
    }
    out[k] = 0;
    return k > 0;
}

// The playlist whose lines are being read: its folder, against which
// relative entries are resolved, and its drive root for "\name" entries.
static char playlist_folder[PLAYLIST_NESTING][MAX_PATH];

// Turns an entry into a full path in out (MAX_PATH): absolute entries as
// they are, relative ones below the playlist's folder; "." and ".." are
// resolved, '/' becomes '\'. 0 for an entry naming no local path, a
// drive-relative one ("D:name", whose meaning depends on the process) or a
// result too long.
static int playlist_entry_path(const char *entry, const char *folder, char *out)
{
    char joined[MAX_PATH * 2];
    size_t n = strlen(entry);
    int absolute = (n >= 3 && entry[1] == ':' && is_separator(entry[2])) || (is_separator(entry[0]) && is_separator(entry[1]));
    if (n >= 2 && entry[1] == ':' && !absolute) return 0;
    if (absolute)
        snprintf(joined, sizeof joined, "%s", entry);
    else if (is_separator(entry[0]) && folder[1] == ':')  // from the playlist's drive root
        snprintf(joined, sizeof joined, "%.2s%s", folder, entry);
    else if (is_separator(entry[0]))
        return 0;
    else
        snprintf(joined, sizeof joined, "%s\\%s", folder, entry);
    for (char *c = joined; *c; c++)
        if (*c == '/') *c = '\\';
    // A full path needs no current folder: GetFullPathName only folds "."
    // and ".." here.
    DWORD got = GetFullPathNameA(joined, MAX_PATH, out, nullptr);
    return got > 0 && got < MAX_PATH;
}

// Tries one line or value as a path: added when it names a readable file.
// A zero byte ends the path; the rest of the line is ignored. Blanks around
// it are not part of it; its text is UTF-8 when valid, the legacy code page
// otherwise.
static void playlist_try_path(const char *from, const char *to)
{
    const char *zero = (const char *)memchr(from, 0, (size_t)(to - from));
    if (zero) to = zero;
    while (from < to && is_blank(*from)) from++;
    while (to > from && is_blank(to[-1])) to--;
    size_t n = (size_t)(to - from);
    if (n == 0 || n >= 4 * PLAYER_PATH_CHARS) return;  // longer than any readable path in any encoding
    char raw[4 * PLAYER_PATH_CHARS], entry[PLAYER_PATH_CHARS], path[PLAYER_PATH_CHARS];
    memcpy(raw, from, n);
    raw[n] = 0;
    const char *scheme = strstr(raw, "://");
    if (scheme) {  // only local file URIs name something the player can open
        if (scheme - raw != 4 || _strnicmp(raw, "file", 4) || !uri_to_path(raw, n, raw, sizeof raw)) return;
        n = strlen(raw);
    }
    if (text_from_file(raw, n, entry, sizeof entry, 0) < 0) return;
    if (!playlist_entry_path(entry, playlist_folder[playlist_reading_depth - 1], path)) return;
    if (player_file_is_readable(path)) playlist_add(path);
}

// M3U, extended or plain: every line that is not a comment is tried as a path.
static void playlist_parse_m3u(const char *p, const char *end)
{
    while (p < end) {
        while (p < end && is_line_break(*p)) p++;
        const char *line = p;
        while (p < end && !is_line_break(*p)) p++;
        const char *first = line;
        while (first < p && is_blank(*first)) first++;
        if (first < p && *first != '#') playlist_try_path(line, p);
    }
}

// PLS: the value of every key=value line is tried as a path, keys unread.
static void playlist_parse_pls(const char *p, const char *end)
{
    while (p < end) {
        while (p < end && is_line_break(*p)) p++;
        const char *line_end = p;
        while (line_end < end && !is_line_break(*line_end)) line_end++;
        const char *eq = (const char *)memchr(p, '=', (size_t)(line_end - p));
        if (eq) playlist_try_path(eq + 1, line_end);
        p = line_end;
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
    const char *start = text, *end = text + got;
    if (got >= 3 && !memcmp(text, "\xEF\xBB\xBF", 3)) start += 3;  // UTF-8's byte order mark

    int result = 0;
    const char *m3u = text_find(start, "#EXTM3U"), *pls = text_find(start, "[playlist]");
    if (playlist_enter(path)) {
        // The folder of the playlist's full path: relative entries live there.
        char *folder = playlist_folder[playlist_reading_depth - 1];
        lstrcpynA(folder, playlist_reading[playlist_reading_depth - 1], MAX_PATH);
        char *cut = strrchr(folder, '\\');
        if (cut) *cut = 0;
        if (m3u) {
            playlist_parse_m3u(m3u, end);
            result = 1;
        } else if (pls) {
            playlist_parse_pls(pls, end);
            result = 1;
        } else if (is_m3u_name(path)) {  // a plain list of paths, without the marker
            playlist_parse_m3u(start, end);
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

// The lines of a list whose paths are all ASCII are exactly what earlier
// versions wrote; a list with other characters is written as UTF-8 after its
// byte order mark, so any player reads it the same on any system.
int playlist_write_m3u(char *path)
{
    if (!path) return 0;
    if (!is_m3u_name(path)) {
        if (lstrlenA(path) + 4 > PLAYER_PATH_CHARS - 1) return 0;
        lstrcatA(path, ".m3u");
    }
    int utf8 = 0;
    for (int i = 0; i < playlist_count && !utf8; i++)
        for (const char *c = playlist_entries[i].path; *c && c < playlist_entries[i].path + PLAYLIST_PATH_CHARS; c++)
            if ((unsigned char)*c >= 0x80) utf8 = 1;
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    if ((utf8 && !write_all(h, "\xEF\xBB\xBF", 3)) || !write_all(h, "#EXTM3U\r\n", 9)) {
        CloseHandle(h);
        return 0;
    }
    for (int i = 0; i < playlist_count; i++) {
        const PlaylistEntry *e = &playlist_entries[i];
        char line[1200], name[4 * PLAYLIST_PATH_CHARS];
        int n = 0;
        // Entries never carry a length in this player; a length is written as
        // an extended-information line, with its value only beside a title.
        if (e->length != 0)
            n = e->title[0] ? snprintf(line, sizeof line, "#EXTINF:%ld\r\n", (long)e->length)
                            : snprintf(line, sizeof line, "#EXTINF:\r\n");
        snprintf(name, sizeof name, "%.*s", (int)sizeof e->path - 1, e->path);
        if (utf8 && GetACP() != CP_UTF8) {  // the program's code page into UTF-8
            WCHAR wide[PLAYLIST_PATH_CHARS];
            int w = MultiByteToWideChar(CP_ACP, 0, name, -1, wide, PLAYLIST_PATH_CHARS);
            if (!w || !WideCharToMultiByte(CP_UTF8, 0, wide, -1, name, sizeof name, nullptr, nullptr)) name[0] = 0;
        }
        n += snprintf(line + n, sizeof line - n, "%s\r\n", name);
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
    ofn.lpstrFilter = "M3U Playlist File\0*.m3u\0M3U Playlist File, UTF-8\0*.m3u8\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrTitle = "Save Playlist";
    ofn.lpstrDefExt = ".m3u";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING;
    if (GetSaveFileNameA(&ofn)) playlist_write_m3u(file);
}
