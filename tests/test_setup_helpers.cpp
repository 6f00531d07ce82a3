// The installer's helpers on real files, folders and the prefix's registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "setup.h"
#include "setup_driver.h"
#include "test_util.h"

namespace {

int delivered;
LRESULT CALLBACK count_proc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (m == WM_USER) delivered++;
    return DefWindowProcA(w, m, wp, lp);
}

TEST(SetupMessages, PumpDispatchesAndLeavesQuitForTheLoop)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = count_proc;
    wc.lpszClassName = "setup_pump_test";
    RegisterClassA(&wc);
    HWND w = CreateWindowA("setup_pump_test", "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr, nullptr);
    PostMessageA(w, WM_USER, 0, 0);
    DWORD start = GetTickCount();
    EXPECT_EQ(pump_messages(1), 1);
    EXPECT_GE(GetTickCount() - start, 90u);
    EXPECT_EQ(delivered, 1);
    PostQuitMessage(7);
    PostMessageA(w, WM_USER, 0, 0);
    EXPECT_EQ(pump_messages(1), 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
    DestroyWindow(w);
}

TEST(SetupPaths, AppendJoinsOnceAndNeverWritesPastItsBuffer)
{
    // The buffer ends where an inaccessible page starts: a write past it faults.
    char *pages = (char *)VirtualAlloc(nullptr, 8192, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    DWORD old;
    ASSERT_TRUE(VirtualProtect(pages + 4096, 4096, PAGE_NOACCESS, &old));
    char *buf = pages + 4096 - MAX_PATH;
    std::string long_base = "C:\\" + std::string(247, 'a');  // 250 characters
    struct { std::string base, name, want; int ok; } cases[] = {
        {"C:\\", "Program Files", "C:\\Program Files", 1},
        {"C:\\Program Files\\", "\\Ostrel's Lab", "C:\\Program Files\\Ostrel's Lab", 1},
        {"", "Player.exe", "Player.exe", 1},
        {"D:\\Apps/", " /\\Quorva", "D:\\Apps\\Quorva", 1},
        {"C:/", "x", "C:/x", 1},
        {long_base, "12345678", long_base + "\\12345678", 1},  // 259 characters
        {long_base, "123456789", long_base, 0},
    };
    for (auto &c : cases) {
        strcpy(buf, c.base.c_str());
        EXPECT_EQ(path_append(buf, c.name.c_str()), c.ok) << c.base << " + " << c.name;
        EXPECT_EQ(std::string(buf), c.want);
    }
    memset(buf, 'x', MAX_PATH);  // no terminator inside the buffer
    EXPECT_EQ(path_append(buf, "a"), 0);
    VirtualFree(pages, 0, MEM_RELEASE);
}

TEST(SetupPaths, FolderAndDriveRoot)
{
    struct { const char *path, *folder; } folders[] = {
        {"C:\\a\\b.exe", "C:\\a"}, {"C:/x/y", "C:/x"}, {"C:\\a\\b/c", "C:\\a"}, {"Setup.exe", ""}};
    for (auto &f : folders) {
        char out[MAX_PATH];
        EXPECT_EQ(path_folder(f.path, out), *f.folder != 0);
        EXPECT_STREQ(out, f.folder);
    }
    struct { const char *windows, *root; } roots[] = {
        {"D:\\Windows", "D:\\"}, {"\\\\server\\w", "C:\\"}, {"E:", "C:\\"}, {"", "C:\\"}};
    for (auto &r : roots) {
        char out[4];
        drive_root_of(r.windows, out);
        EXPECT_STREQ(out, r.root);
    }
    char path[MAX_PATH], folder[MAX_PATH];
    ASSERT_EQ(module_paths(path, folder), 1);
    EXPECT_EQ(std::string(folder) + "\\setup_tests.exe", path);
}

TEST(SetupFiles, ParentDirsAndFileExists)
{
    TempDir dir("setup_files");
    make_parent_dirs((dir.path() + "\\A\\B\\test").c_str());
    EXPECT_EQ(GetFileAttributesA(dir.file("A\\B").c_str()), (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA(dir.file("A\\B\\test").c_str()), INVALID_FILE_ATTRIBUTES);

    // Paths of 259 and 260 characters, both made through the long-path form.
    std::string fits = dir.path() + "\\" + std::string(258 - dir.path().size(), 'f'), too_long = fits + "g";
    for (const std::string &p : {fits, too_long}) ASSERT_TRUE(write_text_file("\\\\?\\" + p, "x"));
    ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
    ASSERT_TRUE(write_text_file("ab", "x") && write_text_file("abc", "x"));
    struct { const char *path; int want; } cases[] = {
        {fits.c_str(), 1}, {too_long.c_str(), 0}, {"ab", 0}, {"abc", 1}, {"abd", 0}, {nullptr, 0}};
    for (auto &c : cases) EXPECT_EQ(file_exists(c.path), c.want) << (c.path ? strlen(c.path) : 0);
    for (const std::string &p : {fits, too_long}) DeleteFileA(("\\\\?\\" + p).c_str());
    SetCurrentDirectoryA("C:\\");
}

// A shell-folder value set by a test and put back as it was.
struct SavedValue {
    HKEY key = nullptr;
    const char *name;
    char data[512];
    DWORD type = 0, size = sizeof data;
    bool had;
    SavedValue(HKEY root, const char *value) : name(value)
    {
        RegCreateKeyA(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", &key);
        had = RegQueryValueExA(key, name, nullptr, &type, (BYTE *)data, &size) == ERROR_SUCCESS;
    }
    void set(const char *text) const
    {
        if (text) RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text) + 1);
        else RegDeleteValueA(key, name);
    }
    ~SavedValue()
    {
        if (had) RegSetValueExA(key, name, 0, type, (const BYTE *)data, size);
        else set(nullptr);
        RegCloseKey(key);
    }
};

TEST(SetupRegistry, ShellFolderPathPrefersAllUsers)
{
    SavedValue values[] = {{HKEY_LOCAL_MACHINE, "Common Programs"}, {HKEY_LOCAL_MACHINE, "CommonPrograms"},
                           {HKEY_LOCAL_MACHINE, "Programs"}, {HKEY_CURRENT_USER, "Programs"}};
    const char *all = "C:\\All\\Programs", *mine = "C:\\Me\\Programs";
    struct { const char *set[4]; int user_only; const char *want; } cases[] = {
        {{all, nullptr, nullptr, mine}, 0, all},
        {{all, nullptr, nullptr, mine}, 1, mine},
        {{"C:\\ab", "C:\\Common", nullptr, mine}, 0, "C:\\Common"},  // 5 characters are too few
        {{nullptr, "C:\\ab", "C:\\Plain", mine}, 0, "C:\\Plain"},
        {{nullptr, nullptr, nullptr, mine}, 0, mine},
        {{nullptr, nullptr, nullptr, nullptr}, 0, ""},
    };
    for (auto &c : cases) {
        for (int i = 0; i < 4; i++) values[i].set(c.set[i]);
        char out[MAX_PATH] = "junk";
        EXPECT_EQ(shell_folder_path("Programs", c.user_only, out), *c.want != 0);
        EXPECT_STREQ(out, c.want);
    }
}

TEST(SetupRegistry, DeleteRegTree)
{
    EXPECT_EQ(delete_reg_tree(HKEY_CLASSES_ROOT, "QuorvaMedia.Path.NotThere"), 1);
    EXPECT_EQ(delete_reg_tree(HKEY_CURRENT_USER, ""), 0);
    const char *root = "Software\\QuorvaSetupTest";
    for (const char *sub : {"\\a\\b\\c", "\\a\\d", "\\e"}) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, (std::string(root) + sub).c_str(), &key), ERROR_SUCCESS);
        RegSetValueExA(key, "v", 0, REG_SZ, (const BYTE *)"x", 2);
        RegCloseKey(key);
    }
    EXPECT_EQ(delete_reg_tree(HKEY_CURRENT_USER, root), 1);
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, root, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

// Wine 8 makes no links through the platform: CreateSymbolicLinkA reports
// success and creates nothing, FSCTL_SET_REPARSE_POINT fails with
// ERROR_NOT_SUPPORTED. There the test makes and removes Unix links.
// Whether the link had to be a Unix one.
bool make_link(const std::string &link, const std::string &target)
{
    CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    bool unix_link = GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES;
    if (unix_link) unix_run("ln -s '" + unix_path(target) + "' '" + unix_path(link) + "'");
    EXPECT_TRUE(pump_until([&] { return GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES; }, 5000));
    return unix_link;
}

std::string names_in(const std::string &folder)
{
    std::string names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return "(none)";
    do names += std::string(fd.cFileName) + " "; while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

TEST(SetupFiles, DeleteTreeRemovesLinksNotTheirTargets)
{
    TempDir dir("setup_tree");
    std::string tree = dir.file("tree");
    for (const char *d : {"tree", "tree\\sub", "tree\\sub\\deeper", "out", "out\\empty"})
        ASSERT_TRUE(CreateDirectoryA(dir.file(d).c_str(), nullptr));
    for (const char *f : {"tree\\ro.txt", "tree\\sub\\ro.txt", "tree\\sub\\deeper\\x.txt", "out\\keep.txt"}) {
        ASSERT_TRUE(write_text_file(dir.file(f), "x"));
        SetFileAttributesA(dir.file(f).c_str(), FILE_ATTRIBUTE_READONLY);
    }
    // Wine's RemoveDirectoryA of a Unix link to an empty folder removes that folder.
    bool unix_link = make_link(dir.file("tree\\link"), dir.file("out"));
    make_link(dir.file("tree\\elink"), dir.file("out\\empty"));

    int removed = delete_tree(tree.c_str());
    EXPECT_EQ(names_in(dir.file("out")), ". .. empty keep.txt ");
    EXPECT_EQ(names_in(dir.file("out\\empty")), ". .. ");
    // Wine shows a Unix link with the reparse attribute but no reparse tag, so
    // it cannot be told from a folder it would delete through: it stays.
    EXPECT_EQ(removed, unix_link ? 0 : 1);
    EXPECT_EQ(names_in(tree), unix_link ? ". .. elink link " : "(none)");
    if (unix_link) {
        unix_run("rm '" + unix_path(dir.file("tree\\link")) + "' '" + unix_path(dir.file("tree\\elink")) + "'");
        EXPECT_TRUE(pump_until([&] { return names_in(tree) == ". .. "; }, 5000));
    }
}

// Every path is judged in its full, normal form; relative and drive-relative
// text is refused, and delete_tree never reaches past the full path given.
TEST(SetupPaths, FullPathsAreJudgedAndRelativeOnesRefused)
{
    TempDir dir("judge");
    const std::string long_name = dir.file("A Long Folder Name");
    ASSERT_TRUE(CreateDirectoryA(long_name.c_str(), nullptr));
    char short_name[MAX_PATH] = "";
    ASSERT_TRUE(GetShortPathNameA(long_name.c_str(), short_name, MAX_PATH));
    const std::string deep = "D:\\" + std::string(250, 'x');
    const char *const refused = "";
    struct { std::string in, out; } cases[] = {
        {"Quorva Media", refused},         {"..\\Quorva Media", refused}, {"C:Quorva Media", refused},
        {"\\Quorva Media", refused},     {"", refused},                  {"D:\\A\\..\\B\\.\\C\\", "D:\\B\\C"},
        {"D:\\A\\B. .", "D:\\A\\B"},    {short_name, long_name},        {"D:\\", "D:\\"},
        {"\\\\server\\share\\x\\", "\\\\server\\share\\x"}, {deep + "\\yyyy", deep + "\\yyyy"},
        {deep + "\\" + std::string(10, 'y'), refused},
    };
    for (auto &c : cases) {
        char out[MAX_PATH] = "junk";
        EXPECT_EQ(path_full(c.in.c_str(), out), !c.out.empty()) << c.in;
        EXPECT_EQ(std::string(out), c.out) << c.in;
    }
    // A relative folder names nothing to delete, wherever the process is.
    const std::string planted = dir.file("Quorva Media");
    ASSERT_TRUE(write_text_file(planted + "\\victim.txt", "mine") || (CreateDirectoryA(planted.c_str(), nullptr) &&
                                                                       write_text_file(planted + "\\victim.txt", "mine")));
    SetCurrentDirectoryA(dir.path().c_str());
    EXPECT_EQ(delete_tree("Quorva Media"), 0);
    EXPECT_EQ(read_file_bytes(planted + "\\victim.txt"), "mine");
    SetCurrentDirectoryA("C:\\");
}

}  // namespace
