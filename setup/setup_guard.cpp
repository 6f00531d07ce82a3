// What Setup may delete: a folder is an installation only when it is the
// product's folder, holds a program of ours, and is none of the system's own
// folders or one of their parents.
#include <shlobj.h>
#include <string.h>

#include "setup.h"
#include "setup_app.h"

// One string of a version resource's first translation; 0 when missing.
static int version_string_is(const void *block, const char *name, const char *wanted)
{
    struct { WORD language, code_page; } *translation = nullptr;
    UINT length = 0;
    const char *value = nullptr;
    if (!VerQueryValueA(block, "\\VarFileInfo\\Translation", (void **)&translation, &length) || !translation ||
        length < sizeof *translation)
        return 0;
    char query[96];
    wsprintfA(query, "\\StringFileInfo\\%04x%04x\\%s", translation->language, translation->code_page, name);
    return VerQueryValueA(block, query, (void **)&value, &length) && value && length && !strcmp(value, wanted);
}

// A program of ours names both the product and its maker; either alone is
// a string any program can carry, but a forger must then claim both.
int program_is_ours(const char *path)
{
    DWORD ignored = 0;
    DWORD size = path ? GetFileVersionInfoSizeA(path, &ignored) : 0;
    if (!size) return 0;
    HGLOBAL block = GlobalAlloc(GPTR, size);
    if (!block) return 0;
    int ours = GetFileVersionInfoA(path, 0, size, block) && version_string_is(block, "ProductName", "Quorva Media") &&
               version_string_is(block, "CompanyName", "Ostrel's Lab");
    GlobalFree(block);
    return ours;
}

// A drive root, a share's root, or a form Setup does not handle ("\\?\").
static int is_root(const char *full)
{
    if (full[0] && full[1] == ':') return strlen(full) <= 3;
    if (full[0] != '\\' || full[1] != '\\' || full[2] == '?' || full[2] == '.') return 1;
    int parts = 0;
    for (const char *p = full + 2; *p; p++)
        if (*p == '\\' && p[1]) parts++;
    return parts < 2;
}

// Whether folder is place or one of its parents.
static int holds(const char *folder, const char *place)
{
    char normal[MAX_PATH];
    if (!path_full(place, normal)) return 0;
    size_t len = strlen(folder);
    return !_strnicmp(folder, normal, len) && (normal[len] == 0 || normal[len] == '\\');
}

static int is_system_place(const char *full)
{
    static const int folders[] = {CSIDL_WINDOWS,       CSIDL_SYSTEM,        CSIDL_SYSTEMX86,     CSIDL_PROGRAM_FILES,
                                  CSIDL_PROGRAM_FILESX86, CSIDL_PROFILE,    CSIDL_COMMON_APPDATA, CSIDL_APPDATA,
                                  CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL};
    char place[MAX_PATH];
    for (int csidl : folders)
        if (SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, place)) && holds(full, place)) return 1;
    DWORD n = GetTempPathA(MAX_PATH, place);
    if (n && n < MAX_PATH && holds(full, place)) return 1;
    n = GetWindowsDirectoryA(place, MAX_PATH);
    return n && n < MAX_PATH && holds(full, place);
}

int installation_folder_ok(const char *folder, char *judged)
{
    char full[MAX_PATH], program[MAX_PATH];
    if (judged) judged[0] = 0;
    if (!folder || !path_full(folder, full) || is_root(full) || is_system_place(full)) return 0;
    // Every installation ends in the product's folder; a download folder
    // holding Setup.exe does not.
    const char *last = strrchr(full, '\\');
    if (!last || lstrcmpiA(last + 1, "Quorva Media")) return 0;
    // An installation holds both programs, each of ours.
    static const char *const programs[] = {"Setup.exe", "Player.exe"};
    for (const char *file : programs) {
        strcpy(program, full);
        if (!path_append(program, file) || !program_is_ours(program)) return 0;
    }
    if (judged) strcpy(judged, full);
    return 1;
}

// The emptied parents an installation leaves, such as "Ostrel's Lab": each
// parent whose own name carries the maker's or product's name goes if it is
// empty; the walk stops at the first that does not or will not go.
void remove_named_parents(const char *folder)
{
    char path[MAX_PATH], name[MAX_PATH];
    if (!folder || strnlen(folder, MAX_PATH) == MAX_PATH) return;
    strcpy(path, folder);
    for (;;) {
        char *cut = strrchr(path, '\\');
        if (!cut) return;
        *cut = 0;
        const char *last = strrchr(path, '\\');
        if (!last || is_root(path)) return;
        strcpy(name, last + 1);
        CharLowerA(name);
        if ((!strstr(name, "ostrel") && !strstr(name, "quorva")) || !RemoveDirectoryA(path)) return;
    }
}
