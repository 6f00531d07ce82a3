// Media discovery at scale: a folder tree dropped through playlist_add, an M3U
// of 10,000 lines read, 10,000 entries exported. Each is timed against the
// bare file-system work that the rules require for the same input, measured
// in the same run, and the bytes copied by block replacement are counted.
//
//   bench_discovery [FILES...]   (default 10000 100000)
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "playlist.h"

namespace {

double now_seconds()
{
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)freq.QuadPart;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void reset_playlist()
{
    if (playlist_entries) GlobalFree(playlist_entries);
    playlist_entries = nullptr;
    playlist_count = 0;
    playlist_current = 0;
}

// A tree like a music library: 100 files per album folder, 10 albums per artist.
std::vector<std::string> make_tree(const std::string &root, int files)
{
    std::vector<std::string> paths;
    CreateDirectoryA(root.c_str(), nullptr);
    char name[MAX_PATH];
    for (int i = 0; i < files; i++) {
        int album = i / 100, artist = album / 10;
        snprintf(name, sizeof name, "%s\\artist%03d", root.c_str(), artist);
        if (i % 1000 == 0) CreateDirectoryA(name, nullptr);
        snprintf(name, sizeof name, "%s\\artist%03d\\album%04d", root.c_str(), artist, album);
        if (i % 100 == 0) CreateDirectoryA(name, nullptr);
        snprintf(name, sizeof name, "%s\\artist%03d\\album%04d\\track%06d.mp3", root.c_str(), artist, album, i);
        HANDLE h = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            char data[256];
            memset(data, 'a' + i % 26, sizeof data);
            DWORD n;
            WriteFile(h, data, sizeof data, &n, nullptr);
            CloseHandle(h);
        }
        paths.push_back(name);
    }
    return paths;
}

void remove_tree(const std::string &path)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(fd.cFileName, ".") || !strcmp(fd.cFileName, "..")) continue;
            std::string p = path + "\\" + fd.cFileName;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(p);
            else
                DeleteFileA(p.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

// The file-system calls the rules make for one file: its attributes, then the
// 200-byte probe of a name that is not a playlist by extension.
int bare_file(const char *path)
{
    DWORD a = GetFileAttributesA(path);
    if (a == INVALID_FILE_ATTRIBUTES) return 0;
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    char probe[256];
    DWORD size = GetFileSize(h, nullptr), got = 0;
    ReadFile(h, probe, size < 200 ? size : 200, &got, nullptr);
    CloseHandle(h);
    return 1;
}

// The bare work of a folder scan: enumeration, attributes of every entry, the probe.
int bare_scan(const std::string &folder)
{
    int n = 0;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*.*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!strcmp(fd.cFileName, ".") || !strcmp(fd.cFileName, "..")) continue;
        std::string p = folder + "\\" + fd.cFileName;
        DWORD a = GetFileAttributesA(p.c_str());
        if (a & FILE_ATTRIBUTE_DIRECTORY)
            n += bare_scan(p);
        else
            n += bare_file(p.c_str());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return n;
}

// The model alone: n appends with no file system, timed, and the bytes that
// block replacement moved meanwhile, read off the real model: each
// replacement copies min(needed, old size).
double model_appends(const std::vector<std::string> &paths, int *replacements, double *copied_bytes)
{
    reset_playlist();
    double copied = 0;
    *replacements = 0;
    double t = now_seconds();
    for (const std::string &p : paths) {
        PlaylistEntry *before = playlist_entries;
        SIZE_T old_size = before ? GlobalSize(before) : 0;
        playlist_reserve();
        if (before && playlist_entries != before) {
            SIZE_T needed = (SIZE_T)(playlist_count + 1) * sizeof(PlaylistEntry);
            copied += (double)(needed < old_size ? needed : old_size);
            (*replacements)++;
        }
        playlist_append_file(p.c_str());
    }
    t = now_seconds() - t;
    reset_playlist();
    *copied_bytes = copied;
    return t;
}

void row(const char *what, int n, double ours, double peer, const char *peer_name)
{
    printf("%-34s %8d %10.1f ms %9.1f us/item  %-28s %10.1f ms  ratio %.2f\n", what, n, ours * 1e3, ours * 1e6 / n,
           peer_name, peer * 1e3, ours / peer);
}

void run(const std::string &base, int files)
{
    std::string root = base + "\\tree" + std::to_string(files);
    remove_tree(root);
    double t0 = now_seconds();
    std::vector<std::string> paths = make_tree(root, files);
    double made = now_seconds() - t0;
    printf("\n%d files in %d folders (created in %.1f s)\n", files, files / 100 + files / 1000 + 1, made);

    const int reps = files <= 20000 ? 5 : 1;
    std::vector<double> ours, bare;
    for (int r = 0; r < reps; r++) {
        double t = now_seconds();
        int n = bare_scan(root);
        bare.push_back(now_seconds() - t);
        if (n != files) printf("  bare scan saw %d files\n", n);
        reset_playlist();
        t = now_seconds();
        playlist_add(root.c_str());
        ours.push_back(now_seconds() - t);
        if (playlist_count != files) printf("  playlist_add added %d entries\n", playlist_count);
        reset_playlist();
    }
    row("drop folder tree (playlist_add)", files, median(ours), median(bare), "bare enumerate+attr+probe");
    int replacements = 0;
    double copied = 0;
    double model = model_appends(paths, &replacements, &copied);
    printf("  %-32s %8d %10.1f ms   (%d block replacements, %.1f MB copied)\n", "model appends alone", files,
           model * 1e3, replacements, copied / 1e6);

    {
        // An M3U naming every file, read back.
        std::string m3u = base + "\\list" + std::to_string(files) + ".m3u";
        std::string text = "#EXTM3U\r\n";
        for (const std::string &p : paths) text += p + "\r\n";
        HANDLE h = CreateFileA(m3u.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD n;
        WriteFile(h, text.data(), (DWORD)text.size(), &n, nullptr);
        CloseHandle(h);
        std::vector<double> read, bare_read;
        for (int r = 0; r < reps; r++) {
            reset_playlist();
            double t = now_seconds();
            playlist_read_file(m3u.c_str());
            read.push_back(now_seconds() - t);
            reset_playlist();
            // Bare: each line's readability check, then the same per-file work.
            t = now_seconds();
            for (const std::string &p : paths) {
                HANDLE f = CreateFileA(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
                if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
                bare_file(p.c_str());
            }
            bare_read.push_back(now_seconds() - t);
        }
        row("read M3U (playlist_read_file)", files, median(read), median(bare_read), "bare open+attr+probe");

        // Export: one WriteFile per entry against one WriteFile of the same bytes.
        for (const std::string &p : paths) {
            playlist_reserve();
            playlist_append_file(p.c_str());
        }
        std::vector<double> write, bare_write;
        std::string out = base + "\\export" + std::to_string(files) + ".m3u";
        for (int r = 0; r < reps; r++) {
            char buf[MAX_PATH];
            lstrcpyA(buf, out.c_str());
            double t = now_seconds();
            playlist_write_m3u(buf);
            write.push_back(now_seconds() - t);
            t = now_seconds();
            h = CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
            WriteFile(h, text.data(), (DWORD)text.size(), &n, nullptr);
            CloseHandle(h);
            bare_write.push_back(now_seconds() - t);
        }
        row("export M3U (playlist_write_m3u)", files, median(write), median(bare_write), "one WriteFile, same bytes");

        // Every other entry of a wholly selected list removed, then the list
        // cleared: the user-interface thread waits for both.
        std::vector<double> removal, clearing;
        for (int r = 0; r < reps; r++) {
            reset_playlist();
            for (const std::string &p : paths) {
                playlist_reserve();
                playlist_append_file(p.c_str());
            }
            for (int i = 0; i < playlist_count; i++) playlist_entries[i].flags = (i & 1) ? PLAYLIST_SELECTED : 0;
            double t = now_seconds();
            playlist_remove_selected();
            removal.push_back(now_seconds() - t);
            if (playlist_count != files - files / 2) printf("  removal left %d entries\n", playlist_count);
            while (playlist_count < files) {
                playlist_reserve();
                playlist_append_file(paths[0].c_str());
            }
            t = now_seconds();
            playlist_clear();
            clearing.push_back(now_seconds() - t);
        }
        printf("%-34s %8d %10.1f ms   target 50 ms\n", "remove every other (selected)", files, median(removal) * 1e3);
        printf("%-34s %8d %10.1f ms\n", "clear (playlist_clear)", files, median(clearing) * 1e3);
        reset_playlist();
        DeleteFileA(m3u.c_str());
        DeleteFileA(out.c_str());
    }
    remove_tree(root);
}

}  // namespace

int main(int argc, char **argv)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string base = std::string(temp) + "quorva_bench";
    CreateDirectoryA(base.c_str(), nullptr);
    std::vector<int> sizes;
    for (int i = 1; i < argc; i++) sizes.push_back(atoi(argv[i]));
    if (sizes.empty()) sizes = {10000, 100000};
    printf("Media discovery (median of 5 runs up to 20,000 files, one run above)\n");
    for (int n : sizes)
        if (n > 0) run(base, n);
    RemoveDirectoryA(base.c_str());
    return 0;
}
