#include "setup_fixture.h"

#include <tlhelp32.h>

#include <winternl.h>

namespace {

BOOL CALLBACK match_player(HWND w, LPARAM lp)
{
    Found *f = (Found *)lp;
    char cls[32], image[MAX_PATH];
    DWORD pid = 0, size = MAX_PATH;
    GetWindowThreadProcessId(w, &pid);
    if (!GetClassNameA(w, cls, sizeof cls) || lstrcmpA(cls, "player_main")) return TRUE;
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    bool same = h && QueryFullProcessImageNameA(h, 0, image, &size) && !lstrcmpiA(image, f->image.c_str());
    if (h) CloseHandle(h);
    if (!same) return TRUE;
    f->pid = pid;
    f->w = w;
    return FALSE;
}

}  // namespace

Found wait_player(const std::string &image, DWORD ms)
{
    Found f = {image, 0, nullptr};
    DWORD start = GetTickCount();
    do {
        EnumWindows(match_player, (LPARAM)&f);
        if (f.w) break;
        Sleep(50);
    } while (GetTickCount() - start < ms);
    return f;
}

std::string parent_image_of(DWORD pid)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 e = {};
    e.dwSize = sizeof e;
    DWORD parent = 0;
    std::string image;
    for (int pass = 0; pass < 2; pass++)
        for (BOOL more = Process32First(snap, &e); more; more = Process32Next(snap, &e)) {
            if (pass == 0 && e.th32ProcessID == pid) parent = e.th32ParentProcessID;
            if (pass == 1 && parent && e.th32ProcessID == parent) image = e.szExeFile;
        }
    CloseHandle(snap);
    return image;
}

// From the process parameters in its memory.
std::string command_line_of(DWORD pid)
{
    typedef LONG(NTAPI * query_fn)(HANDLE, PROCESSINFOCLASS, void *, ULONG, ULONG *);
    auto query = (query_fn)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess");
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    PROCESS_BASIC_INFORMATION basic = {};
    PEB peb = {};
    RTL_USER_PROCESS_PARAMETERS params = {};
    WCHAR wide[1024] = {};
    char text[1024] = "";
    if (h && query && query(h, ProcessBasicInformation, &basic, sizeof basic, nullptr) == 0 &&
        ReadProcessMemory(h, basic.PebBaseAddress, &peb, sizeof peb, nullptr) &&
        ReadProcessMemory(h, peb.ProcessParameters, &params, sizeof params, nullptr) &&
        ReadProcessMemory(h, params.CommandLine.Buffer, wide,
                          params.CommandLine.Length < sizeof wide ? params.CommandLine.Length : sizeof wide - 2,
                          nullptr))
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    if (h) CloseHandle(h);
    return text;
}

// D: maps to a scratch folder; Setup runs from a folder of its own, as a
// downloaded installer would.
void SetupProcess::SetUpTestSuite()
{
    drive = new TempDir("drive_d");
    download = new TempDir("download");
    setup_exe = download->file("Setup.exe");
    ASSERT_TRUE(CopyFileA((module_dir() + "\\Setup.exe").c_str(), setup_exe.c_str(), FALSE));
    dosdevice = std::string(getenv("WINEPREFIX")) + "/dosdevices/d:";
    unix_run("ln -sfn '" + unix_path(drive->path()) + "' '" + dosdevice + "'");
    ASSERT_EQ(GetDriveTypeA("D:\\"), (UINT)DRIVE_FIXED);
}

void SetupProcess::TearDownTestSuite()
{
    unix_run("rm -f '" + dosdevice + "'");
    delete drive;
    delete download;
}

void SetupProcess::TearDown()
{
    if (pi.hProcess) {
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 99);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        pi = {};
    }
    remove_shortcuts();
    // Each test starts with an empty D:.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(drive->file("*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            delete_tree(drive->file(name));
        else
            DeleteFileA(drive->file(name).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void SetupProcess::remove_shortcuts()
{
    // An installation's registry entries go with its shortcuts, so that every
    // test, and every later run in the same prefix, starts without them.
    remove_uninstall_entry();
    remove_open_with("");
    delete_reg_tree(HKEY_LOCAL_MACHINE, "Software\\Classes\\Applications\\Player.exe");
    for (int user = 0; user < 2; user++) {
        delete_tree(shell_folder("Programs", user) + "\\Ostrel's Lab");
        DeleteFileA((shell_folder("Desktop", user) + "\\Quorva Media.lnk").c_str());
    }
}

bool SetupProcess::start(const std::string &arguments, const std::string &exe)
{
    if (pi.hProcess) {
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        pi = {};
    }
    std::string path = exe.empty() ? setup_exe : exe;
    std::string line = "\"" + path + "\" " + arguments;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    return CreateProcessA(path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
}

DWORD SetupProcess::exit_code(DWORD ms)
{
    DWORD code = 12345;
    if (WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    return code;
}

HWND SetupProcess::page(const char *heading, int id, const char *title)
{
    HWND p = wait_dialog(pi.dwProcessId, title, id, id == SETUP_ID_HEADING ? heading : nullptr, 15000);
    EXPECT_NE(p, nullptr) << (heading ? heading : "page");
    return p;
}

// The licence page: locked at first, accepted once its button unlocks.
void SetupProcess::accept_licence()
{
    HWND p = page("License Agreement");
    if (!p) return;
    EXPECT_FALSE(item_enabled(p, SETUP_ID_ACCEPT));
    EXPECT_EQ(item_text(p, SETUP_ID_ACCEPT).substr(0, 5), "Wait ");
    DWORD start = GetTickCount();
    while (!item_enabled(p, SETUP_ID_ACCEPT) && GetTickCount() - start < 8000) Sleep(50);
    EXPECT_EQ(item_text(p, SETUP_ID_ACCEPT), "YES, I Agree");
    press(p, SETUP_ID_ACCEPT);
}

void SetupProcess::answer(const char *title, int button)
{
    HWND box = wait_dialog(pi.dwProcessId, title, button, nullptr, 30000);
    ASSERT_NE(box, nullptr) << title;
    press(box, button);
}

void SetupProcess::to_folder(const char *typed, const std::function<void()> &detour)
{
    ASSERT_TRUE(start());
    HWND p = page("Welcome to Quorva Media!!");
    ASSERT_NE(p, nullptr);
    press(p, IDOK);
    accept_licence();
    if (detour) detour();
    p = page("Installation Options");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(item_text(p, SETUP_ID_EDIT), "C:\\Program Files");
    SetDlgItemTextA(p, SETUP_ID_EDIT, typed);
    press(p, IDOK);
}

void SetupProcess::finish(bool desktop, bool run)
{
    answer("Desktop Shortcut", desktop ? IDYES : IDNO);
    HWND p = page(nullptr, SETUP_ID_RUN);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(SendDlgItemMessageA(p, SETUP_ID_RUN, BM_GETCHECK, 0, 0), BST_CHECKED);
    if (!run) SendDlgItemMessageA(p, SETUP_ID_RUN, BM_SETCHECK, BST_UNCHECKED, 0);
    press(p, IDOK);
    EXPECT_EQ(exit_code(20000), 0u);
}
