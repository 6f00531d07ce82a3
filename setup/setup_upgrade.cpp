// An earlier installation: where it is, whether it is newer than this Setup,
// and its removal through its own Setup.exe before a new one is written.
#include <stdio.h>
#include <string.h>

#include "setup.h"
#include "setup_app.h"

// Where Setup finds an earlier installation: only places it recorded itself
// that a standard user cannot write. The default folder under this kind's
// program-files folder and the other kind's (a 32-bit and a 64-bit
// installation upgrade each other), the machine-wide uninstall entry's
// InstallLocation, and the key in the machine's own classes: never the user's
// classes, which HKEY_CLASSES_ROOT merges in and anything running as the user
// can write.
static int recorded_folder(int place, char *folder)
{
    folder[0] = 0;
    if (place < 2) return program_files_folder(place, folder) && path_append(folder, SETUP_SUB_FOLDER);
    if (place == 2) return read_path_value(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "InstallLocation", 3, folder);
    char classes[MAX_PATH];
    snprintf(classes, sizeof classes, "Software\\Classes\\%s", SETUP_KEY);
    return read_path_value(HKEY_LOCAL_MACHINE, classes, nullptr, 3, folder);
}

// The first recorded folder that is an installation of ours, as the full
// path judged, with its Setup.exe.
int find_old_setup(char *setup_path, char *folder)
{
    for (int place = 0; place < 4; place++) {
        char recorded[MAX_PATH];
        if (recorded_folder(place, recorded) && installation_folder_ok(recorded, folder)) {
            strcpy(setup_path, folder);
            if (path_append(setup_path, "Setup.exe")) return 1;
        }
    }
    folder[0] = setup_path[0] = 0;
    return 0;
}

int version_is_newer(const WORD version[4])
{
    double f = version[2] / 10.0 + version[1] + version[3] / 100.0;
    while (f > 1) f /= 10;
    return version[0] + f > 2.00015;
}

int installed_version_is_newer(void)
{
    char setup_path[MAX_PATH], folder[MAX_PATH];
    WORD version[4];
    return find_old_setup(setup_path, folder) && read_file_version(setup_path, version) && version_is_newer(version);
}

// About a second of waiting with the windows kept painting.
static void wait_second(void)
{
    for (int i = 0; i < 5; i++) {
        pump_messages(0);
        Sleep(200);
    }
}

// Runs the old Setup's silent removal and waits for it, at most about 21
// seconds, then for its Setup.exe to go and for its folder to go with it, so
// that its erasing copy is done before new files arrive.
static void run_old_removal(const char *setup_path, const char *folder)
{
    char line[] = " /remove_for_upgrade ";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    pump_messages(1);
    if (!CreateProcessA(setup_path, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
    CloseHandle(pi.hThread);
    status_text("Removing old Quorva Media installation...");
    wait_second();
    for (int count = 0;;) {
        DWORD code = 0;
        if (!GetExitCodeProcess(pi.hProcess, &code) || code != STILL_ACTIVE) break;
        wait_second();
        if (++count > 20) {
            if (!TerminateProcess(pi.hProcess, 0)) {
                Sleep(2500);
                TerminateProcess(pi.hProcess, 0);
            }
            break;
        }
    }
    CloseHandle(pi.hProcess);
    pump_messages(0);
    status_text("Waiting for old EXE to be cleaned up...");
    Sleep(500);
    for (int i = 0; i < 10; i++) {
        pump_messages(0);
        if (!file_exists(setup_path)) break;
        Sleep(500);
    }
    for (int i = 0; i < 20 && GetFileAttributesA(folder) != INVALID_FILE_ATTRIBUTES; i++) {
        pump_messages(0);
        Sleep(500);
    }
    pump_messages(0);
}

int remove_old_installation(void)
{
    char setup_path[MAX_PATH], folder[MAX_PATH];
    // Only an installation of ours, judged once, is run and deleted.
    if (!find_old_setup(setup_path, folder)) return 0;
    run_old_removal(setup_path, folder);
    delete_tree(folder);
    delete_reg_tree(HKEY_CLASSES_ROOT, SETUP_KEY);
    return 1;
}
