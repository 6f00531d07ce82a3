// Setup.exe as a process: a scratch drive D:, a download folder holding a
// copy of the built Setup.exe, and the steps a person takes through its pages.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "setup.h"
#include "setup_app.h"
#include "setup_driver.h"
#include "test_util.h"

inline const char INSTALL_TITLE[] = "Installing Quorva Media 2.00 BETA";
inline const char SUB_FOLDER[] = "Ostrel's Lab\\Quorva Media";

inline std::string shell_folder(const char *name, int current_user = 0)
{
    char path[MAX_PATH];
    return shell_folder_path(name, current_user, path) ? path : "";
}

// The visible player window of the program image, and its process.
struct Found {
    std::string image;
    DWORD pid;
    HWND w;
};
Found wait_player(const std::string &image, DWORD ms);
// The command line another process was started with.
std::string command_line_of(DWORD pid);
// The image name of the process that started pid ("explorer.exe").
std::string parent_image_of(DWORD pid);

class SetupProcess : public ::testing::Test {
protected:
    inline static TempDir *drive, *download;
    inline static std::string setup_exe, dosdevice;
    PROCESS_INFORMATION pi = {};

    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override { remove_shortcuts(); }
    void TearDown() override;
    static void remove_shortcuts();  // and the registry entries of an installation

    // Starts exe (the download folder's Setup.exe by default) with arguments.
    bool start(const std::string &arguments = "", const std::string &exe = "");
    DWORD exit_code(DWORD ms);
    HWND page(const char *heading, int id = SETUP_ID_HEADING, const char *title = INSTALL_TITLE);
    void accept_licence();
    void answer(const char *title, int button);
    // Welcome, licence and folder page with typed entered (after detour(),
    // if any, on the folder page).
    void to_folder(const char *typed, const std::function<void()> &detour = nullptr);
    // The desktop question and the finish page, then the end of Setup.
    void finish(bool desktop, bool run);
    void install(const char *typed, bool desktop, bool run, const std::function<void()> &detour = nullptr)
    {
        to_folder(typed, detour);
        finish(desktop, run);
    }
};
