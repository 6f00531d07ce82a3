// The installer's file, registry and message helpers.
#include "setup.h"

#include <stdio.h>
#include <string.h>

int pump_messages(int sleep)
{
    for (int round = 0; round < (sleep ? 2 : 1); round++) {
        if (round) Sleep(100);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Left for the caller's own loop, which ends on it.
                PostMessageA(msg.hwnd, WM_QUIT, msg.wParam, msg.lParam);
                return 0;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return 1;
}

static int is_separator(char c) { return c == '\\' || c == '/'; }

int (path_append)(char *buf, const char *name)
{
    if (!buf || !name) return 0;
    size_t len = strnlen(buf, MAX_PATH);
    if (len == MAX_PATH) return 0;
    while (*name == ' ' || is_separator(*name)) name++;
    size_t add = strlen(name);
    if (len > 3 && is_separator(buf[len - 1])) len--;
    int gap = len > 0 && !is_separator(buf[len - 1]);
    // Refused before anything is written, so the caller still has its path.
    if (len + gap + add >= MAX_PATH) return 0;
    if (gap) buf[len++] = '\\';
    memcpy(buf + len, name, add + 1);
    return 1;
}

void make_parent_dirs(const char *path)
{
    if (!path) return;
    char dir[MAX_PATH];
    size_t len = strnlen(path, MAX_PATH);
    if (len == MAX_PATH) return;
    memcpy(dir, path, len + 1);
    for (size_t i = 0; i < len; i++) {
        if (dir[i] != '\\') continue;
        dir[i] = 0;
        CreateDirectoryA(dir, nullptr);
        dir[i] = '\\';
    }
}

int file_exists(const char *path)
{
    if (!path) return 0;
    size_t len = strnlen(path, MAX_PATH);
    if (len <= 2 || len >= MAX_PATH) return 0;
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(h);
    return 1;
}

// Looked up at run time: systems before Windows XP SP2 lack it, and are never
// WOW64. The flag is passed only under WOW64, where it means something.
REGSAM setup_reg_view(void)
{
    typedef BOOL(WINAPI * wow64_fn)(HANDLE, PBOOL);
    static int wow64 = -1;
    if (wow64 < 0) {
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        wow64_fn is_wow64 = kernel ? (wow64_fn)(void *)GetProcAddress(kernel, "IsWow64Process") : nullptr;
        BOOL flag = FALSE;
        wow64 = is_wow64 && is_wow64(GetCurrentProcess(), &flag) && flag;
    }
    return wow64 ? KEY_WOW64_64KEY : 0;
}

// A string value of at least min_len characters that fits a path buffer.
int read_path_value(HKEY root, const char *subkey, const char *value, size_t min_len, char *out)
{
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE | setup_reg_view(), &key) != ERROR_SUCCESS) return 0;
    char data[513];
    DWORD type = 0, size = 512;
    LONG rc = RegQueryValueExA(key, value, nullptr, &type, (BYTE *)data, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return 0;
    // The registry does not promise a terminating zero.
    data[size] = 0;
    size_t len = strlen(data);
    if (len < min_len || len == 0 || len >= MAX_PATH) return 0;
    memcpy(out, data, len + 1);
    return 1;
}

static const char SHELL_FOLDERS_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

int shell_folder_path(const char *name, int current_user_only, char *out)
{
    if (!out) return 0;
    out[0] = 0;
    if (!name || !*name) return 0;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!current_user_only && GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        static const char *const prefixes[] = {"Common ", "Common", ""};
        for (const char *prefix : prefixes) {
            char value[300];
            int n = snprintf(value, sizeof value, "%s%s", prefix, name);
            if (n > 0 && n < (int)sizeof value && read_path_value(HKEY_LOCAL_MACHINE, SHELL_FOLDERS_KEY, value, 6, out)) return 1;
        }
    }
    return read_path_value(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, name, 1, out);
}

static int is_drive_root(const char *path)
{
    size_t len = strlen(path);
    if (len == 1) return is_separator(path[0]);
    return (len == 2 || len == 3) && path[1] == ':' && (len == 2 || is_separator(path[2]));
}

// A junction or symbolic link, checked and deleted through one handle so that
// what is deleted is what was checked. Wine shows Unix symbolic links with the
// reparse attribute but no reparse tag, and deletes through them; those stay.
static int delete_link(const char *path)
{
    HANDLE h = CreateFileA(path, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    int ok = GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag) &&
             (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
             (tag.ReparseTag == IO_REPARSE_TAG_SYMLINK || tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT);
    if (ok) {
        FILE_DISPOSITION_INFO gone = {TRUE};
        ok = SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone);
    }
    CloseHandle(h);
    return ok;
}

// A full path: a drive letter with its separator, or a share ("\\server\x").
static int is_full_path(const char *path)
{
    return (IsCharAlphaA(path[0]) && path[1] == ':' && is_separator(path[2])) ||
           (is_separator(path[0]) && is_separator(path[1]) && path[2] && !is_separator(path[2]));
}

int path_full(const char *path, char *out)
{
    char full[MAX_PATH];
    out[0] = 0;
    if (!path || strnlen(path, MAX_PATH) == MAX_PATH || !is_full_path(path)) return 0;
    // The input is full already, so no current folder enters: only "." and
    // ".." fold, and trailing dots and blanks go as Windows drops them.
    DWORD n = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH || !is_full_path(full)) return 0;
    n = GetLongPathNameA(full, out, MAX_PATH);  // 8.3 names of existing folders grow to their long names
    if (n == 0 || n >= MAX_PATH) strcpy(out, full);
    size_t len = strlen(out);
    while (len > 3 && is_separator(out[len - 1])) out[--len] = 0;
    return 1;
}

// Works on the full path it is given (the path judged is the path deleted)
// and never on the current folder, which it leaves alone.
int delete_tree(const char *folder)
{
    if (!folder || strnlen(folder, MAX_PATH) == MAX_PATH || !is_full_path(folder) || is_drive_root(folder)) return 0;
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return delete_link(folder);
    char pattern[MAX_PATH];
    strcpy(pattern, folder);
    WIN32_FIND_DATAA found;
    HANDLE search = path_append(pattern, "*.*") ? FindFirstFileA(pattern, &found) : INVALID_HANDLE_VALUE;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, "..")) continue;
            char entry[MAX_PATH];
            strcpy(entry, folder);
            // An entry whose path does not fit is left, and so is the folder.
            if (!path_append(entry, found.cFileName)) continue;
            attributes = GetFileAttributesA(entry);
            if (attributes == INVALID_FILE_ATTRIBUTES) continue;
            if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                delete_link(entry);
            else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (!delete_tree(entry)) delete_tree(entry);
            } else {
                SetFileAttributesA(entry, FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(entry);
            }
        } while (FindNextFileA(search, &found));
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return RemoveDirectoryA(folder) != 0;
}

int delete_reg_tree(HKEY root, const char *name)
{
    if (!name || !*name) return 0;
    HKEY key;
    if (RegOpenKeyExA(root, name, 0, KEY_ENUMERATE_SUB_KEYS | DELETE | setup_reg_view(), &key) != ERROR_SUCCESS) return 1;
    char sub[257], last[257] = "";
    LONG rc;
    for (;;) {
        DWORD size = sizeof sub;
        rc = RegEnumKeyExA(key, 0, sub, &size, nullptr, nullptr, nullptr, nullptr);
        // A sub-key that comes back first again could not be deleted:
        // stop rather than try it forever.
        if (rc != ERROR_SUCCESS || !strcmp(sub, last)) break;
        strcpy(last, sub);
        delete_reg_tree(key, sub);
    }
    RegCloseKey(key);
    if (rc != ERROR_NO_MORE_ITEMS) return 0;
    return RegDeleteKeyExA(root, name, setup_reg_view(), 0) == ERROR_SUCCESS;
}

int path_folder(const char *path, char *out)
{
    if (!out) return 0;
    out[0] = 0;
    if (!path) return 0;
    size_t len = strnlen(path, MAX_PATH);
    if (len == MAX_PATH) return 0;
    const char *cut = strrchr(path, '\\');
    if (!cut) cut = strrchr(path, '/');
    if (!cut) return 0;
    memcpy(out, path, cut - path);
    out[cut - path] = 0;
    return 1;
}

void drive_root_of(const char *windows_dir, char *out)
{
    if (windows_dir && strnlen(windows_dir, 3) == 3 && windows_dir[1] == ':' && windows_dir[2] == '\\')
        memcpy(out, windows_dir, 3);
    else
        memcpy(out, "C:\\", 3);
    out[3] = 0;
}

void system_drive_root(char *out)
{
    char windows_dir[MAX_PATH] = "";
    UINT n = GetWindowsDirectoryA(windows_dir, MAX_PATH);
    if (n >= MAX_PATH) windows_dir[0] = 0;
    drive_root_of(windows_dir, out);
}

// Windows keeps both program-files folders in its 64-bit view: the native one
// as "ProgramFilesDir", and on 64-bit Windows the 32-bit programs' one as
// "ProgramFilesDir (x86)".
int program_files_folder(int other_kind, char *out)
{
    static const char key[] = "Software\\Microsoft\\Windows\\CurrentVersion";
    char native[MAX_PATH], x86[MAX_PATH];
    int has_native = read_path_value(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir", 3, native);
    int has_x86 = read_path_value(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir (x86)", 3, x86);
    out[0] = 0;
    int wide = sizeof(void *) == 8;
    if (other_kind) {
        // Only 64-bit Windows has a second folder, the 32-bit programs' one.
        if (has_native && has_x86) strcpy(out, wide ? x86 : native);
        return out[0] != 0;
    }
    if (!wide && has_x86)
        strcpy(out, x86);
    else if (has_native)
        strcpy(out, native);
    else {
        system_drive_root(out);
        path_append(out, "Program Files");
    }
    return 1;
}

int module_paths(char *path, char *folder)
{
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    // A cut-off path names some other file.
    if (n == 0 || n >= MAX_PATH) {
        path[0] = folder[0] = 0;
        return 0;
    }
    return path_folder(path, folder);
}
