// Setup.exe as a process, driven through its pages as a person would: where
// the files, shortcuts and player end up, on a drive the test maps.
#include "setup_fixture.h"

namespace {

const char *const SUB = SUB_FOLDER;

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
    EXPECT_EQ(read_file_bytes(folder + "\\License.txt"), licence.substr(0, licence.find('\xA7')));
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
    // Started by the desktop shell's process, as the signed-in user, not by
    // the elevated Setup.
    EXPECT_EQ(lstrcmpiA(parent_image_of(started.pid).c_str(), "explorer.exe"), 0) << parent_image_of(started.pid);
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, started.pid);
    PostMessageA(started.w, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(h, 15000), WAIT_OBJECT_0);
    CloseHandle(h);
}

// Run from a folder whose name is outside the legacy code page, into another.
TEST_F(SetupProcess, WithoutConsentNoDesktopLinkAndNoPlayer)
{
    const std::string downloads = "D:\\\xD0\x97\xD0\xB0\xD0\xB3\xD1\x80\xD1\x83\xD0\xB7\xD0\xBA\xD0\xB8", saved = setup_exe;
    ASSERT_TRUE(CreateDirectoryA(downloads.c_str(), nullptr));
    ASSERT_TRUE(CopyFileA(saved.c_str(), (downloads + "\\Setup.exe").c_str(), FALSE));
    setup_exe = downloads + "\\Setup.exe";
    install("D:\\\xE6\x9D\xB1\xE4\xBA\xAC", false, false);
    setup_exe = saved;
    std::string folder = std::string("D:\\\xE6\x9D\xB1\xE4\xBA\xAC\\") + SUB;
    EXPECT_TRUE(read_file_bytes(folder + "\\Setup.exe") == read_file_bytes(downloads + "\\Setup.exe"));
    EXPECT_TRUE(file_exists((folder + "\\Player.exe").c_str()));
    EXPECT_TRUE(file_exists((shell_folder("Programs") + "\\" + SUB + "\\Quorva Media Player.lnk").c_str()));
    EXPECT_FALSE(file_exists((shell_folder("Desktop") + "\\Quorva Media.lnk").c_str()));
    EXPECT_EQ(wait_player(folder + "\\Player.exe", 1500).w, nullptr);
}

// Closing the glass window at any step ends Setup there: nothing the user has
// not confirmed is installed, no loop goes on, and the player is not started.
TEST_F(SetupProcess, ClosingTheGlassWindowEndsSetupWhereItIs)
{
    enum { WELCOME, LICENCE, FOLDER, ACCESS_DENIED, DESKTOP, FINISH };
    const std::string target = std::string("D:\\Target\\") + SUB;
    for (int step = WELCOME; step <= FINISH; step++) {
        ASSERT_TRUE(write_text_file("D:\\blocker", "a file where the folder would go"));
        ASSERT_TRUE(start());
        HWND p = page("Welcome to Quorva Media!!");
        if (step > WELCOME) press(p, IDOK);
        if (step == LICENCE) page("License Agreement");
        if (step > LICENCE) accept_licence();
        p = step >= FOLDER ? page("Installation Options") : nullptr;
        if (step >= ACCESS_DENIED) {
            SetDlgItemTextA(p, SETUP_ID_EDIT, step == ACCESS_DENIED ? "D:\\blocker" : "D:\\Target");
            press(p, IDOK);
            ASSERT_TRUE(wait_dialog(pi.dwProcessId, step == ACCESS_DENIED ? "Access Denied" : "Desktop Shortcut", IDOK + (step != ACCESS_DENIED) * (IDYES - IDOK), nullptr, 30000)) << step;
        }
        if (step == FINISH) {
            answer("Desktop Shortcut", IDNO);
            page(nullptr, SETUP_ID_RUN);
        }
        PostMessageA(FindWindowA("VantleGlass_SetupBox", nullptr), WM_CLOSE, 0, 0);
        EXPECT_EQ(exit_code(10000), 0u) << step;
        // Only the steps after the folder was chosen have installed anything.
        EXPECT_EQ(file_exists((target + "\\Player.exe").c_str()), step >= DESKTOP) << step;
        EXPECT_FALSE(file_exists((shell_folder("Desktop") + "\\Quorva Media.lnk").c_str())) << step;
        EXPECT_EQ(wait_player(target + "\\Player.exe", 1000).w, nullptr) << step;
        TearDown();
        remove_uninstall_entry();
        SetUp();
    }
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
