// Removal, upgrade and self-erase, with real processes, files, shortcuts and
// registry values in the test prefix, and the guards that keep them to what
// Quorva installed.
#include "setup_fixture.h"

#include <sddl.h>

#include <cstdio>

#include <vector>

namespace {

const char KEY[] = "QuorvaMedia.Path";
const char DEFAULT_FOLDER[] = "C:\\Program Files\\Ostrel's Lab\\Quorva Media";

// Files and folders below path, counted through depth levels.
int count_entries(const std::string &path, int depth = 99)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        n++;
        if (depth > 1 && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            n += count_entries(path + "\\" + name, depth - 1);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return n;
}

// Writes a file, making its folders first.
bool put_file(const std::string &path, const std::string &content)
{
    make_parent_dirs(path.c_str());
    return write_text_file(path, content);
}

bool exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool wait_gone(const std::string &path, DWORD ms)
{
    DWORD start = GetTickCount();
    while (exists(path) && GetTickCount() - start < ms) Sleep(100);
    return !exists(path);
}

// An installed copy: our Setup.exe (with the version given, if any),
// Player.exe and License.txt.
void make_installation(const std::string &folder, const WORD *version = nullptr)
{
    ASSERT_TRUE(put_file(folder + "\\License.txt", "licence"));
    ASSERT_TRUE(CopyFileA((module_dir() + "\\Setup.exe").c_str(), (folder + "\\Setup.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((module_dir() + "\\Player.exe").c_str(), (folder + "\\Player.exe").c_str(), FALSE));
    if (version) {
        ASSERT_TRUE(set_file_version(folder + "\\Setup.exe", version[0], version[1], version[2], version[3]));
    }
}

void set_key(const std::string &folder)
{
    ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, KEY, REG_SZ, folder.c_str(), (DWORD)folder.size()), ERROR_SUCCESS);
    HKEY sub;
    ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "QuorvaMedia.Path\\Nested\\Deeper", &sub), ERROR_SUCCESS);
    RegCloseKey(sub);
}

bool key_exists()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// A text value of the installed-programs entry, all users' or the user's.
std::string uninstall_value(const char *name)
{
    char value[600];
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        DWORD size = sizeof value;
        if (RegGetValueA(root, UNINSTALL_KEY, name, RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS) return value;
    }
    return "";
}

class SetupRemoval : public SetupProcess {
protected:
    void TearDown() override
    {
        SetupProcess::TearDown();
        // An erasing copy still waiting on its folder would keep later ones
        // from starting.
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        kill_processes((std::string(temp) + "erase_me.exe").c_str());
        delete_tree("C:\\Program Files\\Ostrel's Lab");
        delete_tree("C:\\Program Files (x86)\\Ostrel's Lab");
        delete_reg_tree(HKEY_CLASSES_ROOT, KEY);
        remove_uninstall_entry();
    }
    // The self-erase's report for arguments: its text, after pressing OK and
    // seeing the copy end with -99.
    std::string erase_report(const std::string &arguments, DWORD ms = 15000)
    {
        if (!start(arguments)) return "not started";
        HWND box = wait_dialog(pi.dwProcessId, "Uninstall Error", IDOK, nullptr, ms);
        if (!box) return "no report";
        std::string text = item_text(box, 0xFFFF);
        press(box, IDOK);
        EXPECT_EQ(exit_code(10000), (DWORD)-99) << arguments;
        return text;
    }
};

// "Open with": the Applications entry's supported types, the ProgID's own
// values and the ProgID under each type's OpenWithProgids; another program's
// ProgID under .mp3 is counted apart.
int open_with_entries(std::string *command = nullptr)
{
    int n = 0;
    char text[600];
    DWORD size = sizeof text;
    const char app[] = "Software\\Classes\\Applications\\Player.exe";
    if (RegGetValueA(HKEY_LOCAL_MACHINE, (std::string(app) + "\\shell\\open\\command").c_str(), nullptr, RRF_RT_REG_SZ,
                     nullptr, text, &size) == ERROR_SUCCESS) {
        n++;
        if (command) *command = text;
    }
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(app) + "\\SupportedTypes").c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD values = 0;
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
        n += values;
        RegCloseKey(key);
    }
    for (const char *sub : {"", "\\DefaultIcon", "\\shell\\open\\command"}) {
        size = sizeof text;
        n += RegGetValueA(HKEY_LOCAL_MACHINE, (std::string("Software\\Classes\\QuorvaMedia.File") + sub).c_str(), nullptr,
                          RRF_RT_REG_SZ, nullptr, text, &size) == ERROR_SUCCESS;
    }
    for (const char *const *type = SETUP_MEDIA_TYPES; *type; type++) {
        size = 0;
        n += RegGetValueA(HKEY_LOCAL_MACHINE, (std::string("Software\\Classes\\") + *type + "\\OpenWithProgids").c_str(),
                          "QuorvaMedia.File", RRF_RT_ANY, nullptr, nullptr, &size) == ERROR_SUCCESS;
    }
    return n;
}

TEST_F(SetupRemoval, InstallThenRemoveThroughTheRemovalPage)
{
    HKEY mp3;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Classes\\.mp3\\OpenWithProgids", &mp3), ERROR_SUCCESS);
    RegSetValueExA(mp3, "Other.File", 0, REG_NONE, nullptr, 0);
    EXPECT_EQ(open_with_entries(), 0);
    install("D:\\Apps", true, false);
    std::string open_command;
    const int written = open_with_entries(&open_command);
    printf("Open with: %d registry entries before, %d after installing\n", 0, written);
    EXPECT_EQ(written, 1 + 24 + 3 + 24);
    EXPECT_EQ(open_command, "\"D:\\Apps\\" + std::string(SUB_FOLDER) + "\\Player.exe\" \"%1\"");
    const std::string folder = std::string("D:\\Apps\\") + SUB_FOLDER;
    ASSERT_TRUE(file_exists((folder + "\\Setup.exe").c_str()));
    EXPECT_EQ(uninstall_value("DisplayName"), "Quorva Media");
    EXPECT_EQ(uninstall_value("DisplayVersion"), "2.0.0.0");
    EXPECT_EQ(uninstall_value("Publisher"), "Ostrel's Lab");
    EXPECT_EQ(uninstall_value("InstallLocation"), folder);
    EXPECT_EQ(uninstall_value("DisplayIcon"), folder + "\\Player.exe,0");
    EXPECT_EQ(uninstall_value("UninstallString"), "\"" + folder + "\\Setup.exe\" /repair_or_remove");
    // What else the system holds: the user's own files beside the
    // installation, settings and links in the all-users and the user's shell
    // folders, the old key.
    ASSERT_TRUE(write_text_file("D:\\Apps\\keep.txt", "mine"));
    const std::string appdata = shell_folder("AppData") + "\\Quorva Media";
    ASSERT_TRUE(put_file(appdata + "\\settings.ini", "[player]"));
    for (int user = 0; user < 2; user++) {
        for (const char *link : {"\\Plotwren.lnk", "\\Gridmoss.lnk"})
            ASSERT_TRUE(write_text_file(shell_folder("Desktop", user) + link, "link"));
    }
    const std::string other_tool = shell_folder("Programs", 1) + "\\Ostrel's Lab\\Other Tool";
    ASSERT_TRUE(put_file(other_tool + "\\tool.lnk", "link"));
    set_key(folder);

    // The player runs while it is removed.
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION player = {};
    std::string player_exe = folder + "\\Player.exe";
    ASSERT_TRUE(CreateProcessA(player_exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &player));
    ASSERT_NE(wait_player(player_exe, 15000).w, nullptr);

    // The "Uninstall or Repair" shortcut's command.
    ASSERT_TRUE(start("/repair_or_remove", folder + "\\Setup.exe"));
    HWND p = page("Remove Quorva Media", SETUP_ID_HEADING, "Uninstall | Quorva Media 2.00 BETA");
    ASSERT_NE(p, nullptr);
    press(p, IDOK);
    EXPECT_EQ(exit_code(30000), 0u);
    EXPECT_EQ(WaitForSingleObject(player.hProcess, 0), WAIT_OBJECT_0);
    CloseHandle(player.hProcess);
    CloseHandle(player.hThread);

    EXPECT_FALSE(exists(shell_folder("Programs", 0) + "\\Ostrel's Lab"));
    EXPECT_FALSE(exists(shell_folder("Programs", 1) + "\\" + SUB_FOLDER));
    EXPECT_TRUE(exists(other_tool + "\\tool.lnk"));
    EXPECT_FALSE(exists(appdata));
    for (int user = 0; user < 2; user++) {
        for (const char *link : {"\\Quorva Media.lnk", "\\Plotwren.lnk", "\\Gridmoss.lnk"})
            EXPECT_FALSE(exists(shell_folder("Desktop", user) + link)) << link;
    }
    EXPECT_FALSE(key_exists());
    EXPECT_EQ(uninstall_value("DisplayName"), "");
    EXPECT_EQ(open_with_entries(), 0) << "every entry Setup wrote, and no other";
    EXPECT_EQ(RegQueryValueExA(mp3, "Other.File", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    RegDeleteValueA(mp3, "Other.File");
    RegCloseKey(mp3);
    // The copy in the temporary folder erases the installation and its
    // emptied "Ostrel's Lab", and nothing of the user's.
    EXPECT_TRUE(wait_gone("D:\\Apps\\Ostrel's Lab", 20000));
    EXPECT_TRUE(exists("D:\\Apps\\keep.txt"));
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    EXPECT_TRUE(exists(std::string(temp) + "erase_me.exe"));
    delete_tree(shell_folder("Programs", 1) + "\\Ostrel's Lab");
}

// Where Setup runs and what it is told decide the page; confirming removal
// from a folder that is no installation leaves the folder's files alone.
TEST_F(SetupRemoval, RemovalPageFromAnywhere)
{
    install("D:\\Real", true, false);
    const std::string real = std::string("D:\\Real\\") + SUB_FOLDER, menu = shell_folder("Programs") + "\\" + SUB_FOLDER;
    const int installed = count_entries("D:\\Real"), links = count_entries(menu);
    const std::string copy = "D:\\Copy", bin = "D:\\Build\\Bin";
    for (const std::string &dir : {copy, bin}) {
        ASSERT_TRUE(put_file(dir + "\\Player.exe", "someone's player"));
        ASSERT_TRUE(CopyFileA(setup_exe.c_str(), (dir + "\\Setup.exe").c_str(), FALSE));
    }
    ASSERT_TRUE(write_text_file(download->file("Player.exe"), "a download"));
    int before = count_entries(download->path());
    struct {
        std::string exe, arguments;
        const char *heading, *title;
        int button;
    } cases[] = {
        {setup_exe, "/repair_or_remove", "Remove Quorva Media", "Uninstall | Quorva Media 2.00 BETA", IDOK},
        {copy + "\\Setup.exe", "", "Remove Quorva Media", "Uninstall | Quorva Media 2.00 BETA", IDCANCEL},
        {bin + "\\Setup.exe", "", "Welcome to Quorva Media!!", INSTALL_TITLE, IDCANCEL},
    };
    for (auto &c : cases) {
        ASSERT_TRUE(start(c.arguments, c.exe));
        HWND p = page(c.heading, SETUP_ID_HEADING, c.title);
        ASSERT_NE(p, nullptr) << c.exe;
        press(p, c.button);
        // Removal from a folder that is no installation says so and removes nothing.
        if (c.button == IDOK) answer("Nothing Removed", IDOK);
        EXPECT_EQ(exit_code(20000), 0u) << c.exe;
    }
    Sleep(1500);  // long enough for an erasing copy to have started
    printf("the real installation's entries before %d, after %d; menu links %d, %d\n", installed,
           count_entries("D:\\Real"), links, count_entries(menu));
    EXPECT_EQ(count_entries("D:\\Real"), installed);
    EXPECT_EQ(count_entries(menu), links);
    EXPECT_TRUE(exists(shell_folder("Desktop") + "\\Quorva Media.lnk"));
    EXPECT_EQ(uninstall_value("InstallLocation"), real);
    EXPECT_EQ(count_entries(download->path()), before);
    EXPECT_EQ(read_file_bytes(download->file("Player.exe")), "a download");
    EXPECT_EQ(count_entries(copy), 2);
    DeleteFileA(download->file("Player.exe").c_str());
}

// An installation in this kind's default folder, and on 64-bit Windows one in
// the 32-bit programs' folder (a 32-bit installation, upgraded by the 64-bit
// Setup; the old Setup here is of the running kind, as only it can run).
TEST_F(SetupRemoval, UpgradeRunsTheOldSetupsSilentRemovalFirst)
{
    std::vector<std::string> programs = {"C:\\Program Files"};
    if (sizeof(void *) == 8) programs.push_back("C:\\Program Files (x86)");
    for (const std::string &program_files : programs) {
        SCOPED_TRACE(program_files);
        const std::string old_folder = program_files + "\\Ostrel's Lab\\Quorva Media";
        const WORD older[4] = {1, 9, 0, 0};
        make_installation(old_folder, older);
        set_key(old_folder);
        ASSERT_EQ(write_uninstall_entry(old_folder.c_str()), 1);
        // Only the old Setup's own removal deletes the player's settings.
        std::string appdata = shell_folder("AppData") + "\\Quorva Media";
        ASSERT_TRUE(put_file(appdata + "\\settings.ini", "[player]"));

        install("D:\\", false, false);
        EXPECT_FALSE(exists(program_files + "\\Ostrel's Lab"));
        EXPECT_TRUE(exists(program_files));
        EXPECT_FALSE(exists(appdata));
        EXPECT_FALSE(key_exists());
        std::string folder = std::string("D:\\") + SUB_FOLDER;
        EXPECT_TRUE(read_file_bytes(folder + "\\Player.exe") == read_file_bytes(module_dir() + "\\Player.exe"));
        EXPECT_EQ(uninstall_value("InstallLocation"), folder);  // written again for the new installation
        WORD version[4];
        ASSERT_TRUE(read_file_version((folder + "\\Setup.exe").c_str(), version));
        EXPECT_EQ(version[0] * 1000 + version[1] * 100 + version[2] * 10 + version[3], 2000);
        TearDown();
        SetUp();
    }
}

// An installation recorded only by its entry (a non-default folder) is found
// and upgraded by an installation into a second folder.
TEST_F(SetupRemoval, InstallIntoASecondFolderUpgradesTheFirst)
{
    install("D:\\First", false, false);
    ASSERT_TRUE(exists(std::string("D:\\First\\") + SUB_FOLDER + "\\Player.exe"));
    install("D:\\Second", false, false);
    EXPECT_FALSE(exists("D:\\First\\Ostrel's Lab"));
    EXPECT_TRUE(exists("D:\\First"));
    EXPECT_EQ(uninstall_value("InstallLocation"), std::string("D:\\Second\\") + SUB_FOLDER);
}

TEST_F(SetupRemoval, NewerInstalledVersionIsKeptOnYes)
{
    const WORD newer[4] = {2, 0, 0, 1};
    make_installation(DEFAULT_FOLDER, newer);
    std::string installed = read_file_bytes(std::string(DEFAULT_FOLDER) + "\\Setup.exe");
    to_folder("D:\\Newer");
    HWND box = wait_dialog(pi.dwProcessId, "YOU HAVE A NEWER VERSION!!", IDYES, nullptr, 30000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(item_text(box, 0xFFFF),
              "You seem to have a newer version of\nQuorva Media installed.\n\nDo you want to keep it instead?");
    press(box, IDYES);
    EXPECT_EQ(exit_code(20000), 0u);
    EXPECT_TRUE(read_file_bytes(std::string(DEFAULT_FOLDER) + "\\Setup.exe") == installed);
    EXPECT_EQ(count_entries(DEFAULT_FOLDER), 3);
    EXPECT_FALSE(exists(std::string("D:\\Newer\\") + SUB_FOLDER + "\\Player.exe"));
}

TEST_F(SetupRemoval, RemovalForUpgradeShowsNoWindow)
{
    const std::string folder = "D:\\Old\\Quorva Media";
    make_installation(folder);
    ASSERT_EQ(write_uninstall_entry(folder.c_str()), 1);
    ASSERT_TRUE(start("/remove_for_upgrade", folder + "\\Setup.exe"));
    int seen = 0;
    while (WaitForSingleObject(pi.hProcess, 10) == WAIT_TIMEOUT) seen += visible_windows(pi.dwProcessId);
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(exit_code(0), 0u);
    EXPECT_EQ(uninstall_value("UninstallString"), "");
    EXPECT_TRUE(wait_gone(folder, 20000));
    EXPECT_TRUE(exists("D:\\Old"));  // a parent without the product's name stays
}

TEST_F(SetupRemoval, SelfEraseReportsAndRefusals)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string foreign = "D:\\Foreign\\Quorva Media", locked = "D:\\Locked\\Quorva Media";
    ASSERT_TRUE(put_file(foreign + "\\Setup.exe", "not ours"));
    ASSERT_TRUE(CopyFileA((std::string(windows) + "\\notepad.exe").c_str(), (foreign + "\\Player.exe").c_str(), FALSE));
    make_installation(locked);
    HANDLE held = CreateFileA((locked + "\\License.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    // Wine shows a Unix symbolic link as a reparse point without a tag; it is
    // neither followed nor deleted, so it keeps the folder too.
    TempDir outside("outside");
    ASSERT_TRUE(write_text_file(outside.file("kept.txt"), "mine"));
    unix_run("ln -s " + sh_quote(unix_path(outside.path())) + " " + sh_quote(unix_path(locked) + "/linked"));
    std::string long_folder = "D:\\" + std::string(256, 'q');

    const std::string directory = "Invalid out-of-process directory \"";
    struct {
        std::string arguments, report, counted;
        DWORD ms;
    } cases[] = {
        {"/erase_me C:\\x", "Invalid out-of-process command line - no leading quotation mark", "", 15000},
        {"/erase_me \"C:\\x", "Invalid out-of-process command line - no trailing quotation mark", "", 15000},
        {"/erase_me \"C:\\\"", directory + "C:\\\"", "C:\\", 15000},
        {"/erase_me \"" + std::string(windows) + "\"", directory + windows + "\"", windows, 15000},
        {"/erase_me \"" + foreign + "\"", directory + foreign + "\"", foreign, 15000},
        {"/erase_me \"" + long_folder + "\"", (directory + long_folder).substr(0, 255), "", 15000},
        {"/erase_me \"" + locked + "\"", directory + locked + "\"", "", 30000},
    };
    for (auto &c : cases) {
        int before = c.counted.empty() ? 0 : count_entries(c.counted, 2);
        EXPECT_EQ(erase_report(c.arguments, c.ms), c.report) << c.arguments;
        if (!c.counted.empty()) {
            EXPECT_EQ(count_entries(c.counted, 2), before) << c.counted;
        }
    }
    // The held file and the link kept the folder; the rest of it went, and
    // nothing behind the link.
    EXPECT_TRUE(exists(locked + "\\License.txt"));
    EXPECT_EQ(read_file_bytes(outside.file("kept.txt")), "mine");
    EXPECT_FALSE(exists(locked + "\\Player.exe"));
    CloseHandle(held);
    unix_run("rm " + sh_quote(unix_path(locked) + "/linked"));
}

// The guards in the running code: which folders count as installations, and
// what an old installation named by the key may lose.
TEST_F(SetupRemoval, GuardsKeepDeletionToOurInstallations)
{
    char windows[MAX_PATH], system[MAX_PATH], temp[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    GetSystemDirectoryA(system, MAX_PATH);
    GetTempPathA(MAX_PATH, temp);
    const std::string ours = "D:\\Mine\\Quorva Media", unnamed = "D:\\Mine\\Player", foreign = "D:\\Foreign\\Quorva Media";
    make_installation(ours);
    make_installation(unnamed);
    ASSERT_TRUE(put_file(foreign + "\\notes.txt", "mine"));
    ASSERT_TRUE(CopyFileA((std::string(windows) + "\\notepad.exe").c_str(), (foreign + "\\Setup.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(setup_exe.c_str(), "D:\\Setup.exe", FALSE));
    struct {
        std::string folder;
        int ok;
    } cases[] = {
        {ours, 1}, {ours + "\\", 1}, {"D:\\Mine\\..\\Mine\\Quorva Media", 1}, {unnamed, 0}, {foreign, 0},
        {"D:\\", 0}, {"D:", 0}, {"C:\\", 0}, {windows, 0}, {system, 0}, {temp, 0}, {"C:\\Program Files", 0},
        {shell_folder("AppData", 1), 0}, {"", 0}, {"\\\\server\\share", 0},
    };
    for (auto &c : cases) {
        EXPECT_EQ(installation_folder_ok(c.folder.c_str(), nullptr), c.ok) << c.folder;
    }
    EXPECT_EQ(installation_folder_ok(nullptr, nullptr), 0);
    EXPECT_EQ(program_is_ours(setup_exe.c_str()), 1);
    EXPECT_EQ(program_is_ours((module_dir() + "\\Player.exe").c_str()), 1);
    EXPECT_EQ(program_is_ours((foreign + "\\Setup.exe").c_str()), 0);

    // A key naming foreign files or a drive root: nothing is run or deleted.
    for (const std::string &named : {foreign, std::string("D:\\")}) {
        int before = count_entries(named);
        set_key(named);
        EXPECT_EQ(remove_old_installation(), 0) << named;
        EXPECT_EQ(count_entries(named), before) << named;
    }
}

// Ownership: an installation is found only where Setup records one that a
// standard user cannot write (the default folder, the machine-wide entry, the
// machine's classes) and only when both its programs name the product and
// its maker.
TEST_F(SetupRemoval, OwnershipIsRecordedNotClaimed)
{
    const std::string forged = module_dir() + "\\forged_program.exe", player = module_dir() + "\\Player.exe";
    struct {
        const char *name, *folder, *setup_from, *company, *record;
        bool found;
    } cases[] = {
        {"default folder", DEFAULT_FOLDER, "ours", nullptr, "", true},
        {"recorded folder", "D:\\Rec\\Quorva Media", "ours", nullptr, "entry", true},
        {"recorded in the machine's classes", "D:\\Key\\Quorva Media", "ours", nullptr, "machine key", true},
        {"per-user value (HKCR merges it)", "D:\\User\\Quorva Media", "ours", nullptr, "user key", false},
        {"product name forged, maker's not", DEFAULT_FOLDER, "ours", "Someone Else", "", false},
        {"a forger claiming both names", "D:\\Forged\\Quorva Media", "forged", nullptr, "user key", false},
        {"a folder holding user files", "D:\\Docs\\Quorva Media", nullptr, nullptr, "entry", false},
    };
    for (auto &c : cases) {
        const std::string folder = c.folder;
        ASSERT_TRUE(put_file(folder + "\\notes.txt", "mine"));
        if (c.setup_from) {
            const std::string &from = std::string(c.setup_from) == "ours" ? setup_exe : forged;
            ASSERT_TRUE(CopyFileA(from.c_str(), (folder + "\\Setup.exe").c_str(), FALSE));
            ASSERT_TRUE(CopyFileA(std::string(c.setup_from) == "ours" ? player.c_str() : forged.c_str(),
                                  (folder + "\\Player.exe").c_str(), FALSE));
        }
        if (c.company) {
            ASSERT_TRUE(forge_version_string(folder + "\\Setup.exe", L"Ostrel's Lab", c.company));
        }
        std::string record = c.record;
        if (record == "entry") {
            ASSERT_EQ(write_uninstall_entry(folder.c_str()), 1);
        }
        if (record == "machine key") {
            ASSERT_EQ(RegSetValueA(HKEY_LOCAL_MACHINE, "Software\\Classes\\QuorvaMedia.Path", REG_SZ, c.folder, 0), ERROR_SUCCESS);
        }
        if (record == "user key") {
            ASSERT_EQ(RegSetValueA(HKEY_CURRENT_USER, "Software\\Classes\\QuorvaMedia.Path", REG_SZ, c.folder, 0), ERROR_SUCCESS);
        }
        char setup_path[MAX_PATH], found[MAX_PATH];
        EXPECT_EQ(find_old_setup(setup_path, found), c.found ? 1 : 0) << c.name;
        EXPECT_EQ(std::string(found), c.found ? folder : "") << c.name;
        TearDown();
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Classes\\QuorvaMedia.Path");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Classes\\QuorvaMedia.Path");
        SetUp();
    }
}

// A forger's programs, named by the per-user classes, in a folder with the
// user's files: installing runs neither and deletes nothing on the drive.
TEST_F(SetupRemoval, ForgedProgramsAreNeitherRunNorDeleted)
{
    const std::string forged = "D:\\Forged\\Quorva Media";
    ASSERT_TRUE(put_file(forged + "\\notes.txt", "mine"));
    for (const char *name : {"\\Setup.exe", "\\Player.exe"})
        ASSERT_TRUE(CopyFileA((module_dir() + "\\forged_program.exe").c_str(), (forged + name).c_str(), FALSE));
    ASSERT_EQ(RegSetValueA(HKEY_CURRENT_USER, "Software\\Classes\\QuorvaMedia.Path", REG_SZ, forged.c_str(), 0), ERROR_SUCCESS);
    int before = count_entries("D:");
    install("D:\\New", false, false);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Classes\\QuorvaMedia.Path");
    EXPECT_FALSE(exists(forged + "\\Setup.exe.ran"));
    const int after = count_entries("D:"), added = count_entries("D:\\New") + 1;
    printf("D: entries before %d, after %d, of which the new installation %d\n", before, after, added);
    EXPECT_EQ(after - added, before);
    EXPECT_EQ(read_file_bytes(forged + "\\notes.txt"), "mine");
}

TEST(SetupUpgrade, VersionArithmeticAndHandOverLine)
{
    struct {
        WORD v[4];
        int newer;
    } versions[] = {{{2, 0, 0, 0}, 0}, {{2, 0, 0, 1}, 1}, {{1, 9, 0, 0}, 0}, {{2, 1, 0, 0}, 1},
                    {{1, 99, 99, 99}, 0}, {{2, 0, 1, 0}, 1}, {{3, 0, 0, 0}, 1}};
    for (auto &v : versions) EXPECT_EQ(version_is_newer(v.v), v.newer) << v.v[0] << "." << v.v[1] << "." << v.v[2] << "." << v.v[3];

    char line[256];
    std::string fits = "D:\\" + std::string(239, 'a');  // 242 characters: 255 with the option and quotes
    ASSERT_EQ(hand_over_line(fits.c_str(), line), 1);
    EXPECT_EQ(std::string(line), " /erase_me \"" + fits + "\"");
    std::string too_long = fits + "b";
    EXPECT_EQ(hand_over_line(too_long.c_str(), line), 0);
    EXPECT_EQ(line[0], 0);
}

// A process this one may not end (its security denies termination) is passed
// over, and kill_processes returns; one it may end is ended.
TEST(SetupProcesses, KillProcessesEndsWhatItCanAndReturns)
{
    TempDir dir("kill");
    std::string exe = dir.file("Player.exe");
    ASSERT_TRUE(CopyFileA((module_dir() + "\\Player.exe").c_str(), exe.c_str(), FALSE));
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;0x1FFFFE;;;WD)", SDDL_REVISION_1, &sd,
                                                                     nullptr));
    SECURITY_ATTRIBUTES guarded = {sizeof guarded, sd, FALSE};
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION kept = {}, ended = {};
    ASSERT_TRUE(CreateProcessA(exe.c_str(), nullptr, &guarded, nullptr, FALSE, 0, nullptr, nullptr, &si, &kept));
    LocalFree(sd);
    ASSERT_NE(wait_player(exe, 15000).w, nullptr);
    HANDLE found = find_process_by_path(exe.c_str());
    EXPECT_EQ(found, nullptr);
    if (found) CloseHandle(found);
    EXPECT_EQ(kill_processes(exe.c_str()), 0);
    EXPECT_EQ(WaitForSingleObject(kept.hProcess, 0), (DWORD)WAIT_TIMEOUT);

    ASSERT_TRUE(CreateProcessA(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &ended));
    DWORD start = GetTickCount();
    while (visible_windows(ended.dwProcessId) == 0 && GetTickCount() - start < 15000) Sleep(50);
    EXPECT_EQ(kill_processes(exe.c_str()), 1);
    EXPECT_EQ(WaitForSingleObject(ended.hProcess, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(kept.hProcess, 0), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(find_process_by_path("no such program.exe"), nullptr);
    TerminateProcess(kept.hProcess, 0);
    WaitForSingleObject(kept.hProcess, 5000);
    for (PROCESS_INFORMATION *p : {&kept, &ended}) {
        CloseHandle(p->hProcess);
        CloseHandle(p->hThread);
    }
}

}  // namespace
