// Removing an installation: the removal page, the silent removal an upgrade
// asks for, and the self-erase that a copy in the temporary folder runs once
// the Setup inside the installation has ended.
#include <stdio.h>
#include <string.h>

#include "setup.h"
#include "setup_app.h"
#include "text.h"

void stop_player_and_help(const char *folder)
{
    char player[MAX_PATH], help[MAX_PATH];
    strcpy(player, folder);
    strcpy(help, folder);
    if (path_append(player, "Player.exe")) kill_processes(player);
    if (!path_append(help, "Help.chm")) return;
    for (int i = 0; i < 10; i++) {
        if (DeleteFileA(help)) return;
        // Only a file held open is worth ending the help viewer for.
        DWORD err = GetLastError();
        if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return;
        kill_processes("hh.exe");
    }
}

// A shell folder joined with name, or 0 when the folder is not set.
static int shell_place(const char *shell_folder, int current_user, const char *name, char *out)
{
    return shell_folder_path(shell_folder, current_user, out) && path_append(out, name);
}

static void remove_menu_entries(int current_user)
{
    char lab[MAX_PATH], menu[MAX_PATH], appdata[MAX_PATH];
    if (shell_place("Programs", current_user, "Ostrel's Lab", lab)) {
        strcpy(menu, lab);
        if (path_append(menu, "Quorva Media")) delete_tree(menu);
        RemoveDirectoryA(lab);  // only when nothing else is in it
    }
    if (shell_place("AppData", 0, "Quorva Media", appdata)) delete_tree(appdata);
}

static void remove_desktop_links(int current_user)
{
    static const char *const names[] = {"Quorva Media.lnk", "Plotwren.lnk", "Gridmoss.lnk"};
    for (const char *name : names) {
        char link[MAX_PATH];
        if (shell_place("Desktop", current_user, name, link)) DeleteFileA(link);
    }
}

void remove_shell_entries(void)
{
    remove_menu_entries(0);
    remove_menu_entries(1);
    remove_desktop_links(0);
    remove_desktop_links(1);
}

int hand_over_line(const char *folder, char *line)
{
    int n = snprintf(line, 256, " /erase_me \"%s\"", folder);
    if (n > 0 && n < 256) return 1;
    line[0] = 0;
    return 0;
}

// Copies Setup to "erase_me.exe" in the temporary folder (a second try after a
// second) and starts it on the installation's judged folder; this process
// then ends. Returns only when that cannot be done, leaving the folder.
static void hand_over(const char *folder)
{
    char temp[MAX_PATH], temp_folder[MAX_PATH], line[256];
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp) return;
    strcpy(temp_folder, temp);
    if (!path_append(temp, "erase_me.exe")) return;
    if (!hand_over_line(folder, line)) return;
    if (!CopyFileA(setup_module_path, temp, FALSE)) {
        Sleep(1000);
        if (!CopyFileA(setup_module_path, temp, FALSE)) return;
    }
    close_status();
    if (glass_window) close_glass_window();
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    // The copy runs in the temporary folder, so that no process of Setup's
    // holds the folder it erases as its current one.
    if (CreateProcessA(temp, line, nullptr, nullptr, FALSE, 0, nullptr, temp_folder, &si, &pi)) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    ExitProcess(0);
}

// Whether the installed-programs entry (the machine's, else the user's)
// records this folder, or none: only then are the shell entries, the key and
// the entry this installation's own. Another installation's stay.
static int entries_are_its_own(const char *judged)
{
    static const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    char recorded[MAX_PATH], full[MAX_PATH];
    for (HKEY root : roots)
        if (read_path_value(root, UNINSTALL_KEY, "InstallLocation", 1, recorded))
            return path_full(recorded, full) && !lstrcmpiA(full, judged);
    return 1;
}

// The removal of the installation Setup runs from, judged once before
// anything goes: its player and help viewer are ended, its own shell entries,
// key and entry removed, and its folder handed over. 0, with nothing
// removed, when Setup's folder is no installation of ours.
static int remove_installation(int show_status)
{
    char judged[MAX_PATH];
    if (!installation_folder_ok(setup_install_folder, judged)) return 0;
    stop_player_and_help(judged);
    int own = entries_are_its_own(judged);
    if (own) remove_shell_entries();
    if (show_status) status_text("Removing Registry Settings...");
    if (own) {
        delete_reg_tree(HKEY_CLASSES_ROOT, SETUP_KEY);
        remove_uninstall_entry();
        remove_open_with(judged);
    }
    pump_messages(0);
    if (show_status) status_text("Removing Files...");
    pump_messages(0);
    hand_over(judged);
    return 1;
}

int removal_run(void)
{
    if (page_removal() != 1 || setup_cancelled()) {
        close_glass_window();
        return 0;
    }
    open_status("Loading...");
    status_text("Removing Shortcuts...");
    pump_messages(0);
    if (!remove_installation(1)) {
        char text[MAX_PATH + 128];
        snprintf(text, sizeof text, "\"%s\" holds no installation of Quorva Media.\n\nNothing was removed.",
                 setup_install_folder);
        setup_message(text, "Nothing Removed", MB_TOPMOST | MB_ICONINFORMATION);
    }
    close_status();
    close_glass_window();
    return 0;
}

int removal_for_upgrade(void)
{
    remove_installation(0);
    return 0;
}

static int erase_report(const char *text)
{
    MessageBoxA(nullptr, text, "Uninstall Error", MB_TOPMOST | MB_SETFOREGROUND | MB_SYSTEMMODAL | MB_ICONWARNING);
    return -99;
}

static int erase_report_folder(const char *folder, size_t length)
{
    char text[256];
    snprintf(text, sizeof text, "Invalid out-of-process directory \"%.*s\"", (int)length, folder);
    text[text_whole_length(text, sizeof text - 1)] = 0;  // a long name is cut at a whole character
    return erase_report(text);
}

int self_erase(const char *command_line)
{
    SetCurrentDirectoryA(setup_module_folder);  // hold no folder this process may erase
    const char *option = strstr(command_line, "/erase_me");
    const char *open = option ? strchr(option, '"') : nullptr;
    if (!open) return erase_report("Invalid out-of-process command line - no leading quotation mark");
    const char *close = strrchr(open + 1, '"');
    if (!close) return erase_report("Invalid out-of-process command line - no trailing quotation mark");
    size_t length = close - open - 1;
    char folder[MAX_PATH];
    if (length >= MAX_PATH) return erase_report_folder(open + 1, length);
    memcpy(folder, open + 1, length);
    folder[length] = 0;
    // Checked once, before anything goes: a half-deleted installation may no
    // longer show what it was. The full path judged is the one deleted.
    char judged[MAX_PATH];
    if (!installation_folder_ok(folder, judged)) return erase_report_folder(folder, length);
    for (int attempt = 0; attempt < 20; attempt++) {
        Sleep(500);
        if (delete_tree(judged)) {
            remove_named_parents(judged);
            return -99;
        }
    }
    return erase_report_folder(folder, length);
}
