// Player.exe started as a process: its windows appear, media on the command
// line plays, and it exits with 0 when its main window is closed.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "media_writer.h"
#include "test_util.h"

namespace {

struct Found { DWORD pid; HWND w; };

BOOL CALLBACK match_main_window(HWND w, LPARAM lp)
{
    Found *f = (Found *)lp;
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    char cls[32];
    GetClassNameA(w, cls, sizeof cls);
    if (owner == f->pid && lstrcmpA(cls, "player_main") == 0 && IsWindowVisible(w)) {
        f->w = w;
        return FALSE;
    }
    return TRUE;
}

HWND find_main_window(DWORD pid)
{
    Found f = {pid, nullptr};
    EnumWindows(match_main_window, (LPARAM)&f);
    return f.w;
}

HWND find_child(HWND parent, const char *cls)
{
    return FindWindowExA(parent, nullptr, cls, nullptr);
}

class PlayerProcess : public ::testing::Test {
protected:
    static TempDir *dir;
    static std::string wav, avi;
    PROCESS_INFORMATION pi = {};

    static void SetUpTestSuite()
    {
        dir = new TempDir("process");
        wav = dir->file("tone.wav");
        avi = dir->file("clip.avi");
        ASSERT_TRUE(media_write_wav(wav.c_str(), 2.0, 22050, 1, 440));
        ASSERT_TRUE(media_write_avi(avi.c_str(), 96, 64, 10, 30, 22050, 330));
    }
    static void TearDownTestSuite() { delete dir; }
    void TearDown() override
    {
        if (pi.hProcess) {
            if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 99);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }

    HWND start(const std::string &args)
    {
        std::string exe = module_dir() + "\\Player.exe";
        std::string line = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_SHOWMINIMIZED;  // ignored by the player: it always opens normal
        std::string buf = line;
        if (!CreateProcessA(exe.c_str(), &buf[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return nullptr;
        HWND w = nullptr;
        pump_until([&] { return (w = find_main_window(pi.dwProcessId)) != nullptr; }, 15000);
        return w;
    }

    DWORD close_and_wait(HWND w)
    {
        PostMessageA(w, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(pi.hProcess, 15000) != WAIT_OBJECT_0) return 0xDEAD;
        DWORD code = 0xBEEF;
        GetExitCodeProcess(pi.hProcess, &code);
        return code;
    }

    // The caption names the open file once it plays.
    static void expect_main_window(HWND w, const char *caption = "Quorva Media Player")
    {
        ASSERT_TRUE(w);
        RECT r;
        GetWindowRect(w, &r);
        EXPECT_EQ(600, r.right - r.left);
        EXPECT_EQ(500, r.bottom - r.top);
        EXPECT_FALSE(IsIconic(w));
        char title[300] = "";
        pump_until([&] { return GetWindowTextA(w, title, sizeof title) && !lstrcmpA(title, caption); }, 5000);
        EXPECT_STREQ(caption, title);
        EXPECT_TRUE(find_child(w, "player_viewport"));
        EXPECT_TRUE(find_child(w, "player_playlist"));
        EXPECT_TRUE(find_child(w, "player_controls"));
    }
};
TempDir *PlayerProcess::dir;
std::string PlayerProcess::wav, PlayerProcess::avi;

TEST_F(PlayerProcess, WithNothing)
{
    HWND w = start("");
    expect_main_window(w);
    EXPECT_EQ(0u, close_and_wait(w));
}

TEST_F(PlayerProcess, WithFirstRunAlone)
{
    HWND w = start("/firstrun");
    expect_main_window(w);
    EXPECT_FALSE(find_child(find_child(w, "player_viewport"), "wine_quartz_window"));
    EXPECT_EQ(0u, close_and_wait(w));
}

TEST_F(PlayerProcess, WithAWavFile)
{
    HWND w = start("\"" + wav + "\" /firstrun");
    expect_main_window(w, "tone.wav - Quorva Media Player");
    pump_for(500);
    EXPECT_EQ(STILL_ACTIVE, (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) ? STILL_ACTIVE : 0u);
    EXPECT_EQ(0u, close_and_wait(w));
}

TEST_F(PlayerProcess, WithAnAviFileTheVideoAppearsInTheViewport)
{
    HWND w = start(avi);
    expect_main_window(w, "clip.avi - Quorva Media Player");
    HWND viewport = find_child(w, "player_viewport");
    HWND video = nullptr;
    pump_until([&] { return (video = find_child(viewport, "wine_quartz_window")) != nullptr; }, 10000);
    ASSERT_TRUE(video) << "no video window inside the viewport";
    EXPECT_EQ(viewport, GetParent(video));
    // The renderer made the window with a caption of its own; the player's
    // caption follows right after the window is moved into the viewport.
    char caption[64] = "";
    pump_until([&] {
        GetWindowTextA(video, caption, sizeof caption);
        return lstrcmpA(caption, "Quorva Media Player Video") == 0;
    }, 5000);
    EXPECT_STREQ("Quorva Media Player Video", caption);
    EXPECT_EQ(0u, close_and_wait(w));
}

// A folder named on the command line fills the playlist and plays its first
// file; Page Down, translated by the player's own message loop, steps on.
TEST_F(PlayerProcess, WithAFolderAndThePageDownKey)
{
    std::string folder = dir->file("my music");
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char *name : {"\\a.wav", "\\b.wav"}) ASSERT_TRUE(CopyFileA(wav.c_str(), (folder + name).c_str(), FALSE));
    HWND w = start("\"" + folder + "\"");
    expect_main_window(w, "a.wav - Quorva Media Player");
    PostMessageA(w, WM_KEYDOWN, VK_NEXT, 1);
    char title[300] = "";
    pump_until([&] { return GetWindowTextA(w, title, sizeof title) && !lstrcmpA(title, "b.wav - Quorva Media Player"); },
               5000);
    EXPECT_STREQ("b.wav - Quorva Media Player", title);
    EXPECT_EQ(0u, close_and_wait(w));
}

// The media script's folder of names in four scripts and a tagged MP3 with a
// 1 MB cover, on the command line: each file plays in turn, named in the
// caption, as Next Track steps through the list.
TEST_F(PlayerProcess, NamesInEveryScriptPlayInTurn)
{
    char full[MAX_PATH];
    ASSERT_TRUE(GetFullPathNameA(media_file("names").c_str(), MAX_PATH, full, nullptr));
    HWND w = start("\"" + std::string(full) + "\"");
    ASSERT_TRUE(w);
    std::set<std::wstring> seen;
    for (int i = 0; i < 5; i++) {
        WCHAR title[300] = L"";
        pump_until([&] { return GetWindowTextW(w, title, 300) && wcsstr(title, L".mp3 - ") && !seen.count(title); }, 5000);
        seen.insert(title);
        PostMessageA(w, WM_COMMAND, 40007, 0);  // Next Track
    }
    const std::set<std::wstring> want = {L"Caf\u00e9", L"Fresh", L"\u039a\u03b1\u03bb\u03b7\u03bc\u03ad\u03c1\u03b1",
                                         L"\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440", L"\u6771\u4eac"};
    std::set<std::wstring> captions;
    for (const std::wstring &name : want) captions.insert(name + L".mp3 - Quorva Media Player");
    EXPECT_TRUE(captions == seen);
    EXPECT_EQ(0u, close_and_wait(w));
}

// Explorer opening three files starts a player for them while one runs: that
// one hands the three over and exits; the running player lists them, plays
// the first (it played nothing) and steps through exactly three. Blocks that
// are not a hand-over (33 paths, a path of 260 bytes, no final zero) are
// refused with nothing changed.
TEST_F(PlayerProcess, ASecondPlayerHandsItsFilesToTheFirst)
{
    HWND w = start("");
    ASSERT_TRUE(w);
    PROCESS_INFORMATION first = pi;
    pi = {};
    std::string line, caption = " - Quorva Media Player";
    for (const char *name : {"a.wav", "b.wav", "c.wav"}) {
        ASSERT_TRUE(CopyFileA(wav.c_str(), dir->file(name).c_str(), FALSE));
        line += "\"" + dir->file(name) + "\" ";
    }
    std::string exe = module_dir() + "\\Player.exe", cmd = "\"" + exe + "\" " + line;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    ASSERT_TRUE(CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(pi.hProcess), CloseHandle(pi.hThread);
    pi = first;
    char title[300] = "";
    auto shows = [&](const char *name) {
        return pump_until([&] { return GetWindowTextA(w, title, sizeof title) && name + caption == title; }, 5000);
    };
    EXPECT_TRUE(shows("a.wav")) << title;
    std::string many;
    for (int i = 0; i < 33; i++) many += dir->file("b.wav") + '\0';
    const std::string refused[] = {many, std::string(260, 'x') + '\0', dir->file("b.wav")};
    for (const std::string &block : refused) {
        COPYDATASTRUCT cd = {0x51564D50u, (DWORD)block.size(), (void *)block.data()};
        EXPECT_EQ(SendMessageA(w, WM_COPYDATA, 0, (LPARAM)&cd), FALSE) << block.size();
    }
    for (const char *name : {"b.wav", "c.wav", "a.wav"}) {
        PostMessageA(w, WM_COMMAND, 40007, 0);  // Next Track
        EXPECT_TRUE(shows(name)) << title;
    }
    EXPECT_EQ(0u, close_and_wait(w));
}

// A crashing program must end by itself, quickly and with a failure code, or a
// crashing test would hold the whole run until its timeout.
TEST(CrashingProgram, EndsAtOnceWithANonZeroCode)
{
    std::string exe = module_dir() + "\\crash_probe.exe";
    std::string line = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    DWORD waited = WaitForSingleObject(pi.hProcess, 10000);
    if (waited != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    ASSERT_EQ(WAIT_OBJECT_0, waited) << "still running after 10 s";
    EXPECT_NE(0u, code);
}

}  // namespace
