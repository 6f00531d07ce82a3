// An earlier installation: where it is, whether it is newer than this Setup,
// and its removal through its own Setup.exe before a new one is written.
#include <string.h>

#include "setup.h"
#include "setup_app.h"

// The default folder under this build's program-files folder, then under the
// other kind's: a 32-bit and a 64-bit installation upgrade each other.
int find_old_setup(char *setup_path, char *folder)
{
    for (int other_kind = 0; other_kind < 2; other_kind++) {
        if (program_files_folder(other_kind, folder) && path_append(folder, SETUP_SUB_FOLDER)) {
            strcpy(setup_path, folder);
            if (path_append(setup_path, "Setup.exe") && file_exists(setup_path)) return 1;
        }
    }
    folder[0] = setup_path[0] = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, SETUP_KEY, 0, KEY_QUERY_VALUE | setup_reg_view(), &key) != ERROR_SUCCESS) return 0;
    char value[MAX_PATH];
    DWORD type = 0, size = sizeof value - 1;
    LONG rc = RegQueryValueExA(key, nullptr, nullptr, &type, (BYTE *)value, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return 0;
    value[size] = 0;  // stored text need not end in a zero
    strcpy(folder, value);
    strcpy(setup_path, folder);
    if (path_append(setup_path, "Setup.exe") && file_exists(setup_path)) return 1;
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
    if (!find_old_setup(setup_path, folder)) return 0;
    // Only a Setup of ours in an installation folder is run, and only such a
    // folder is deleted: the key may name any folder at all.
    if (installation_folder_ok(folder)) {
        if (program_is_ours(setup_path)) run_old_removal(setup_path, folder);
        delete_tree(folder);
    }
    delete_reg_tree(HKEY_CLASSES_ROOT, SETUP_KEY);
    return 1;
}
