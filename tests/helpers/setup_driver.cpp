#include "setup_driver.h"

#include <shlobj.h>

#include "test_util.h"

namespace {

struct Search {
    DWORD pid;
    const char *title, *text;
    int id;
    HWND found;
};

BOOL CALLBACK match_dialog(HWND w, LPARAM lp)
{
    Search *s = (Search *)lp;
    char cls[16], caption[128];
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if ((s->pid && owner != s->pid) || !IsWindowVisible(w) || !GetClassNameA(w, cls, sizeof cls) ||
        lstrcmpA(cls, "#32770"))
        return TRUE;
    GetWindowTextA(w, caption, sizeof caption);
    if (s->title && lstrcmpA(caption, s->title)) return TRUE;
    if (!GetDlgItem(w, s->id) || (s->text && item_text(w, s->id) != s->text)) return TRUE;
    s->found = w;
    return FALSE;
}

}  // namespace

HWND wait_dialog(DWORD pid, const char *title, int id, const char *text, DWORD ms)
{
    Search s = {pid, title, text, id, nullptr};
    DWORD start = GetTickCount();
    do {
        EnumWindows(match_dialog, (LPARAM)&s);
        if (s.found) return s.found;
        Sleep(20);
    } while (GetTickCount() - start < ms);
    return nullptr;
}

std::string item_text(HWND dialog, int id)
{
    // Sent, not read from the window record: an edit of another process
    // keeps its text to itself.
    HWND item = GetDlgItem(dialog, id);
    DWORD_PTR length = 0, got = 0;
    SendMessageTimeoutA(item, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    std::string text(length + 1, '\0');
    SendMessageTimeoutA(item, WM_GETTEXT, text.size(), (LPARAM)&text[0], SMTO_ABORTIFHUNG, 5000, &got);
    text.resize(got);
    return text;
}

bool item_enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }

void press(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

std::string unix_path(const std::string &dos)
{
    typedef char *(CDECL * unix_name_fn)(const WCHAR *);
    auto unix_name = (unix_name_fn)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, dos.c_str(), -1, wide, MAX_PATH);
    char *name = unix_name ? unix_name(wide) : nullptr;
    std::string path = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}

// Wine starts a Unix program without a process to wait on, so the caller
// cannot see it end: it runs inside sh, which touches a marker file last.
// Wine's start.exe starts it, not this process: 32-bit Wine closes a stray
// handle of the process that starts a Unix program (whatever value its stack
// holds), which here could be any handle of the tests'.
void unix_run(const std::string &script)
{
    TempDir marker_dir("unix_run");
    std::string marker = marker_dir.file("done"), file = marker_dir.file("run.sh");
    if (!write_text_file(file, script + "\ntouch " + sh_quote(unix_path(marker)) + "\n")) return;
    std::string command = "start.exe /unix /bin/sh \"" + unix_path(file) + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    DWORD start = GetTickCount();
    while (GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount() - start < 10000) Sleep(20);
}

bool read_link(const std::string &path, LinkInfo *info)
{
    CoInitialize(nullptr);
    IShellLinkA *link = nullptr;
    IPersistFile *file = nullptr;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char text[MAX_PATH];
    bool ok = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                         (void **)&link)) &&
              SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file)) &&
              SUCCEEDED(file->Load(wide, STGM_READ));
    if (ok) {
        link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
        info->target = text;
        link->GetArguments(text, MAX_PATH);
        info->arguments = text;
        link->GetDescription(text, MAX_PATH);
        info->description = text;
        link->GetShowCmd(&info->show);
    }
    if (file) file->Release();
    if (link) link->Release();
    CoUninitialize();
    return ok;
}

// The program's own version block is found by its bytes: a program may carry
// other programs, and their version blocks, inside it.
bool set_file_version(const std::string &path, WORD major, WORD minor, WORD build, WORD revision)
{
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    std::string block(size, '\0'), bytes = read_file_bytes(path);
    if (size < 2 || !GetFileVersionInfoA(path.c_str(), 0, size, &block[0])) return false;
    block.resize(*(const WORD *)block.data());
    size_t at = bytes.find(block), fixed = block.find(std::string("\xBD\x04\xEF\xFE", 4));  // VS_FIXEDFILEINFO
    if (at == std::string::npos || fixed == std::string::npos || fixed + 16 > block.size()) return false;
    DWORD version[2] = {MAKELONG(minor, major), MAKELONG(revision, build)};
    memcpy(&bytes[at + fixed + 8], version, sizeof version);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    bool ok = h != INVALID_HANDLE_VALUE && WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr) &&
              written == bytes.size();
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return ok;
}

bool forge_version_string(const std::string &path, const wchar_t *from, const char *to)
{
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    std::string block(size, '\0'), bytes = read_file_bytes(path);
    if (size < 2 || !GetFileVersionInfoA(path.c_str(), 0, size, &block[0])) return false;
    block.resize(*(const WORD *)block.data());
    std::string old((const char *)from, wcslen(from) * 2), now;
    for (const char *c = to; *c; c++) now += std::string{*c, 0};
    size_t at = bytes.find(block), in = block.find(old);
    if (at == std::string::npos || in == std::string::npos || now.size() != old.size()) return false;
    bytes.replace(at + in, old.size(), now);
    return write_text_file(path, bytes) != 0;
}

namespace {

struct WindowCount {
    DWORD pid;
    int count;
};

BOOL CALLBACK count_window(HWND w, LPARAM lp)
{
    WindowCount *c = (WindowCount *)lp;
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == c->pid && IsWindowVisible(w)) c->count++;
    return TRUE;
}

}  // namespace

int visible_windows(DWORD pid)
{
    WindowCount c = {pid, 0};
    EnumWindows(count_window, (LPARAM)&c);
    return c.count;
}

std::string sh_quote(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
