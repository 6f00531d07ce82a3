// Setup.exe as a process, driven through its pages as a person would: where
// the files, shortcuts and player end up, on a drive the test maps.
#include <gtest/gtest.h>
#include <windows.h>
#include <winternl.h>

#include <functional>
#include <string>

#include "setup.h"
#include "setup_app.h"
#include "setup_driver.h"
#include "test_util.h"

namespace {

const char TITLE[] = "Installing Quorva Media 2.00 BETA";
const char SUB[] = "Ostrel's Lab\\Quorva Media";

std::string shell_folder(const char *name)
{
    char path[MAX_PATH];
    return shell_folder_path(name, 0, path) ? path : "";
}

struct Found { std::string image; DWORD pid; HWND w; };

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

// The command line another process was started with, from its process
// parameters.
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

class SetupProcess : public ::testing::Test {
protected:
    static TempDir *drive, *download;
    static std::string setup_exe, dosdevice;
    PROCESS_INFORMATION pi = {};

    // D: maps to a scratch folder; Setup runs from a folder of its own, as a
    // downloaded installer would.
    static void SetUpTestSuite()
    {
        drive = new TempDir("drive_d");
        download = new TempDir("download");
        setup_exe = download->file("Setup.exe");
        ASSERT_TRUE(CopyFileA((module_dir() + "\\Setup.exe").c_str(), setup_exe.c_str(), FALSE));
        dosdevice = std::string(getenv("WINEPREFIX")) + "/dosdevices/d:";
        unix_run("ln -sfn '" + unix_path(drive->path()) + "' '" + dosdevice + "'");
        ASSERT_EQ(GetDriveTypeA("D:\\"), (UINT)DRIVE_FIXED);
    }
    static void TearDownTestSuite()
    {
        unix_run("rm -f '" + dosdevice + "'");
        delete drive;
        delete download;
    }
    void SetUp() override { remove_shortcuts(); }
    void TearDown() override
    {
        if (pi.hProcess) {
            if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 99);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
        remove_shortcuts();
    }
    static void remove_shortcuts()
    {
        delete_tree((shell_folder("Programs") + "\\Ostrel's Lab").c_str());
        DeleteFileA((shell_folder("Desktop") + "\\Quorva Media.lnk").c_str());
    }

    bool start()
    {
        std::string line = "\"" + setup_exe + "\"";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        return CreateProcessA(setup_exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    }
    DWORD exit_code(DWORD ms)
    {
        DWORD code = 12345;
        if (WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
        return code;
    }
    HWND page(const char *heading, int id = SETUP_ID_HEADING)
    {
        HWND p = wait_dialog(pi.dwProcessId, TITLE, id, id == SETUP_ID_HEADING ? heading : nullptr, 15000);
        EXPECT_NE(p, nullptr) << heading;
        return p;
    }
    // The licence page: locked at first, accepted once its button unlocks.
    void accept_licence()
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
    void answer(const char *title, int button)
    {
        HWND box = wait_dialog(pi.dwProcessId, title, button, nullptr, 15000);
        ASSERT_NE(box, nullptr) << title;
        press(box, button);
    }
    // Welcome, licence, folder (after detour(), if any), desktop question, finish.
    void install(const char *typed, bool desktop, bool run, const std::function<void()> &detour = nullptr)
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
        answer("Desktop Shortcut", desktop ? IDYES : IDNO);
        p = page(nullptr, SETUP_ID_RUN);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(SendDlgItemMessageA(p, SETUP_ID_RUN, BM_GETCHECK, 0, 0), BST_CHECKED);
        if (!run) SendDlgItemMessageA(p, SETUP_ID_RUN, BM_SETCHECK, BST_UNCHECKED, 0);
        press(p, IDOK);
        EXPECT_EQ(exit_code(20000), 0u);
    }
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
};
TempDir *SetupProcess::drive, *SetupProcess::download;
std::string SetupProcess::setup_exe, SetupProcess::dosdevice;

TEST_F(SetupProcess, InstallsFilesShortcutsAndStartsThePlayer)
{
    ASSERT_TRUE(write_text_file("D:\\blocker", "a file where the folder would go"));
    // An unwritable folder is refused and the folder page returns; "Prev"
    // goes back to the licence, locked again.
    install("D:\\Apps\\ ", true, true, [&] {
        HWND p = page("Installation Options");
        ASSERT_NE(p, nullptr);
        SetDlgItemTextA(p, SETUP_ID_EDIT, "D:\\blocker");
        press(p, IDOK);
        HWND box = wait_dialog(pi.dwProcessId, "Access Denied", IDOK, nullptr, 15000);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(item_text(box, 0xFFFF), "You do not have permission to write to the specified folder.\n"
                                          "Access was denied by the operating system");
        press(box, IDOK);
        p = page("Installation Options");
        ASSERT_NE(p, nullptr);
        press(p, IDCANCEL);
        accept_licence();
    });

    std::string folder = std::string("D:\\Apps\\") + SUB;
    HRSRC res = FindResourceA(nullptr, MAKEINTRESOURCEA(SETUP_RES_LICENCE), "FILE_DATA");
    std::string licence((const char *)LockResource(LoadResource(nullptr, res)), SizeofResource(nullptr, res));
    std::string player = read_file_bytes(module_dir() + "\\Player.exe");
    ASSERT_GT(player.size(), 100000u);
    EXPECT_TRUE(read_file_bytes(folder + "\\Player.exe") == player);
    EXPECT_EQ(read_file_bytes(folder + "\\License.txt"), licence);
    EXPECT_EQ(read_file_bytes(folder + "\\Help.chm").substr(0, 4), "ITSF");
    EXPECT_TRUE(read_file_bytes(folder + "\\Setup.exe") == read_file_bytes(setup_exe));
    EXPECT_EQ(GetFileAttributesA((folder + "\\test.tmp").c_str()), INVALID_FILE_ATTRIBUTES);

    struct { std::string link, file, arguments, description; } links[] = {
        {shell_folder("Programs") + "\\" + SUB + "\\Quorva Media Player.lnk", "Player.exe", "",
         "Ostrel's Quorva Media Player"},
        {shell_folder("Programs") + "\\" + SUB + "\\Help for Quorva Media.lnk", "Help.chm", "",
         "Help Documentation for Quorva Media"},
        {shell_folder("Programs") + "\\" + SUB + "\\Uninstall or Repair.lnk", "Setup.exe", "/repair_or_remove",
         "Uninstall or Repair Quorva Media"},
        {shell_folder("Desktop") + "\\Quorva Media.lnk", "Player.exe", "", "Ostrel's Quorva Media Player"},
    };
    for (auto &l : links) {
        LinkInfo info;
        ASSERT_TRUE(read_link(l.link, &info)) << l.link;
        EXPECT_EQ(info.target, folder + "\\" + l.file);
        EXPECT_EQ(info.arguments, l.arguments);
        EXPECT_EQ(info.description, l.description);
    }

    Found started = wait_player(folder + "\\Player.exe", 15000);
    ASSERT_NE(started.w, nullptr);
    EXPECT_NE(command_line_of(started.pid).find("/firstrun"), std::string::npos) << command_line_of(started.pid);
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, started.pid);
    PostMessageA(started.w, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(h, 15000), WAIT_OBJECT_0);
    CloseHandle(h);
}

TEST_F(SetupProcess, WithoutConsentNoDesktopLinkAndNoPlayer)
{
    install("D:\\", false, false);
    std::string folder = std::string("D:\\") + SUB;
    EXPECT_TRUE(file_exists((folder + "\\Player.exe").c_str()));
    EXPECT_TRUE(file_exists((shell_folder("Programs") + "\\" + SUB + "\\Quorva Media Player.lnk").c_str()));
    EXPECT_FALSE(file_exists((shell_folder("Desktop") + "\\Quorva Media.lnk").c_str()));
    EXPECT_EQ(wait_player(folder + "\\Player.exe", 1500).w, nullptr);
}

TEST_F(SetupProcess, SecondInstanceMeetingTheMutexEndsAtOnce)
{
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "qm_mutex_setup.exe");
    ASSERT_NE(mutex, nullptr);
    ASSERT_TRUE(start());
    EXPECT_EQ(exit_code(10000), 0u);
    EXPECT_EQ(FindWindowA("VantleGlass_SetupBox", nullptr), nullptr);
    CloseHandle(mutex);
}

}  // namespace
