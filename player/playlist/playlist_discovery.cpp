// Adding paths: files are appended, playlists read, folders scanned.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <string.h>

#include "player.h"
#include "playlist.h"
#include "text.h"

static int playlist_skipped_name(const char *name)
{
    static const char *const skipped[] = {".", "..", "thumbs.db", "desktop.ini", "folder.htt"};
    for (const char *s : skipped)
        if (lstrcmpiA(name, s) == 0) return 1;
    return 0;
}

// folder + '\' + name into out; 0 when the result would exceed 259 characters.
static int playlist_join(char *out, const char *folder, const char *name)
{
    size_t f = strlen(folder), n = strlen(name);
    if (f + 1 + n > PLAYER_PATH_CHARS - 1) return 0;
    memcpy(out, folder, f);
    out[f] = '\\';
    memcpy(out + f + 1, name, n + 1);
    return 1;
}

// The folder is read through the wide calls, so that every name is seen
// whatever its script; a name the program's code page cannot hold, or one
// that makes the path too long, is skipped.
static int playlist_scan_folder(const char *folder)
{
    char pattern[PLAYER_PATH_CHARS + 8];
    WCHAR wide[PLAYER_PATH_CHARS + 8];
    if (!playlist_join(pattern, folder, "*.*") || !MultiByteToWideChar(CP_ACP, 0, pattern, -1, wide, PLAYER_PATH_CHARS + 8))
        return 0;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW(wide, &fd);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        char name[PLAYER_PATH_CHARS], child[PLAYER_PATH_CHARS];
        if (text_from_wide(fd.cFileName, lstrlenW(fd.cFileName), name, sizeof name, 0) < 0) continue;
        if (playlist_skipped_name(name)) continue;
        if (playlist_join(child, folder, name)) playlist_add(child);
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    return 1;
}

int playlist_add(const char *path)
{
    if (!playlist_reserve()) return 0;
    if (!path) return 0;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (playlist_is_playlist_file(path)) return playlist_read_file(path);
        return playlist_append_file(path);
    }
    return playlist_scan_folder(path);
}

#define PLAYLIST_OPEN_CHARS 66560
static char playlist_open_buffer[PLAYLIST_OPEN_CHARS];

int playlist_open_dialog(HWND owner)
{
    memset(playlist_open_buffer, 0, sizeof playlist_open_buffer);
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter =
        "All Known Media Files\0"
        "*.m3u;*.m3u8;*.pls;*.mpg;*.mpeg;*.mpe;*.mpv;*.m1v;*.mp2;*.mp3;*.mp4;*.mpa;*.mpv2;*.dat;*.vob;*.avi;*.wav;*.wmv;"
        "*.wma;*.divx;*.asf;*.ogg;*.mid;*.midi\0"
        "Supported Playlist Files\0*.m3u;*.m3u8;*.pls;\0"
        "All Files\0*.*\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = playlist_open_buffer;
    ofn.nMaxFile = PLAYLIST_OPEN_CHARS;
    ofn.Flags = OFN_READONLY | OFN_ALLOWMULTISELECT | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER;
    if (!GetOpenFileNameA(&ofn)) return 0;

    DWORD attributes = GetFileAttributesA(playlist_open_buffer);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        playlist_add(playlist_open_buffer);
        return 1;
    }
    // Several files: the folder, then each name, then an empty name. A drive's
    // root already ends in a backslash and takes no second one.
    char folder[PLAYER_PATH_CHARS];
    lstrcpynA(folder, playlist_open_buffer, sizeof folder);
    size_t flen = strlen(folder);
    if (flen && folder[flen - 1] == '\\') folder[flen - 1] = 0;
    const char *name = playlist_open_buffer + ofn.nFileOffset;
    const char *limit = playlist_open_buffer + PLAYLIST_OPEN_CHARS;
    while (name < limit && *name) {
        char path[PLAYER_PATH_CHARS];
        if (playlist_join(path, folder, name)) playlist_add(path);
        name += strnlen(name, (size_t)(limit - name)) + 1;
    }
    return 1;
}

void playlist_add_dropped(HDROP h)
{
    UINT count = DragQueryFileW(h, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; i++) {
        // A path too long for the program's buffers would come back cut and
        // could name some other file; it is skipped instead, and so is one
        // the program's code page cannot hold.
        WCHAR wide[PLAYER_PATH_CHARS];
        UINT n = DragQueryFileW(h, i, nullptr, 0);
        if (n == 0 || n > PLAYER_PATH_CHARS - 1 || !DragQueryFileW(h, i, wide, PLAYER_PATH_CHARS)) continue;
        char path[PLAYER_PATH_CHARS];
        if (text_from_wide(wide, (int)n, path, sizeof path, 0) >= 0) playlist_add(path);
    }
    DragFinish(h);
}
