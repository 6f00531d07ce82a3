// The installation run: pages, the write test, the payload files, the copy of
// Setup itself, the shortcuts and the start of the player.
#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include "setup.h"
#include "path_name.h"
#include "setup_app.h"

static const char ERROR_TITLE[] = "Error installing Quorva Media 2.00 BETA";

int folder_writable(const char *folder)
{
    if (!folder) return 0;
    size_t len = strnlen(folder, MAX_PATH);
    if (len <= 2 || len >= MAX_PATH) return 0;
    char probe[MAX_PATH];
    strcpy(probe, folder);
    if (!path_append(probe, "test.tmp")) return 0;
    HANDLE h = CreateFileA(probe, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(h);
    DeleteFileA(probe);
    return 1;
}

int read_file_version(const char *path, WORD version[4])
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (!size) return 0;
    HGLOBAL block = GlobalAlloc(GPTR, size);
    if (!block) return 0;
    VS_FIXEDFILEINFO *info = nullptr;
    UINT info_size = 0;
    int ok = GetFileVersionInfoA(path, 0, size, block) &&
             VerQueryValueA(block, "\\", (void **)&info, &info_size) && info && info_size >= sizeof *info;
    if (ok) {
        version[0] = HIWORD(info->dwFileVersionMS);
        version[1] = LOWORD(info->dwFileVersionMS);
        version[2] = HIWORD(info->dwFileVersionLS);
        version[3] = LOWORD(info->dwFileVersionLS);
    }
    GlobalFree(block);
    return ok;
}

int write_payload_file(int resource, const char *target)
{
    char line[120];
    snprintf(line, sizeof line, "Installing \"%s\" ...", path_file_name(target));
    status_text(line);
    SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
    HRSRC res = FindResourceA(setup_instance, MAKEINTRESOURCEA(resource), "FILE_DATA");
    HGLOBAL loaded = res ? LoadResource(setup_instance, res) : nullptr;
    const void *bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD size = bytes ? SizeofResource(setup_instance, res) : 0;
    // A missing payload must not become an empty file reported as written.
    if (!bytes) return 0;
    // The licence file holds the agreement the page shows, not the notes after it.
    if (resource == SETUP_RES_LICENCE) size = licence_length((const char *)bytes, size);
    make_parent_dirs(target);
    HANDLE h = CreateFileA(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes, size, &written, nullptr) && written == size;
    // A short write (a full disk) leaves a broken program: report it.
    ok = CloseHandle(h) && ok;
    pump_messages(1);
    return ok;
}

int create_shortcut(const char *link, const char *target, const char *arguments, const char *description, int show)
{
    char path[MAX_PATH];
    size_t len = link ? strnlen(link, MAX_PATH) : MAX_PATH;
    if (len == MAX_PATH) return 0;
    memcpy(path, link, len + 1);
    if (len < 4 || lstrcmpiA(path + len - 4, ".lnk")) {
        if (len + 4 >= MAX_PATH) return 0;
        strcpy(path + len, ".lnk");
    }
    HRESULT hr = CoInitialize(nullptr);
    int initialised = SUCCEEDED(hr);
    IShellLinkA *shell_link = nullptr;
    IPersistFile *file = nullptr;
    hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&shell_link);
    if (SUCCEEDED(hr) && target) hr = shell_link->SetPath(target);
    if (SUCCEEDED(hr) && arguments) hr = shell_link->SetArguments(arguments);
    if (SUCCEEDED(hr) && description) hr = shell_link->SetDescription(description);
    if (SUCCEEDED(hr)) hr = shell_link->SetShowCmd(show == 2 || show == 3 ? show : SW_SHOWNORMAL);
    if (SUCCEEDED(hr)) hr = shell_link->QueryInterface(IID_IPersistFile, (void **)&file);
    if (SUCCEEDED(hr)) {
        make_parent_dirs(path);
        WCHAR wide[MAX_PATH];
        if (!MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH)) hr = E_INVALIDARG;
        if (SUCCEEDED(hr)) hr = file->Save(wide, TRUE);
        if (SUCCEEDED(hr)) file->SaveCompleted(wide);
    }
    if (file) file->Release();
    if (shell_link) shell_link->Release();
    if (initialised) CoUninitialize();
    return SUCCEEDED(hr) ? 1 : (int)hr;
}

int install_folder_for(const char *typed, char *folder)
{
    char base[MAX_PATH], joined[MAX_PATH];
    folder[0] = 0;
    size_t len = strnlen(typed, MAX_PATH - 1);
    memcpy(base, typed, len);
    while (len && (base[len - 1] == ' ' || base[len - 1] == '/' || base[len - 1] == '\\')) len--;
    base[len] = 0;
    // A drive alone ("D:") is its root. Anything else must be a full path:
    // relative or drive-relative text ("C:foo") would install below
    // wherever Setup happens to run.
    if (len == 2 && base[1] == ':') strcpy(base + 2, "\\");
    strcpy(joined, base);
    return path_append(joined, SETUP_SUB_FOLDER) && path_full(joined, folder);
}

// The folder page until a writable folder is chosen: 1, 0 for "Prev", or -1
// when the user closed Setup meanwhile.
static int choose_folder(void)
{
    for (;;) {
        char typed[MAX_PATH] = "";
        // The page starts with this kind's program-files folder.
        program_files_folder(0, typed);
        if (page_folder(typed) != 1) return setup_cancelled() ? -1 : 0;
        pump_messages(1);
        char folder[MAX_PATH], probe[MAX_PATH];
        int ok = install_folder_for(typed, folder);
        if (ok) {
            strcpy(probe, folder);
            if (path_append(probe, "test")) make_parent_dirs(probe);
            ok = folder_writable(folder);
        }
        if (ok) {
            strcpy(setup_install_folder, folder);
            return 1;
        }
        setup_message("You do not have permission to write to the specified folder.\n"
                      "Access was denied by the operating system",
                      "Access Denied", MB_TOPMOST | MB_SYSTEMMODAL);
        if (setup_cancelled()) return -1;
    }
}

static int install_failed(const char *path)
{
    close_status();
    char text[512];
    snprintf(text, sizeof text,
             "The file \"%s\" could not be created.\n\n"
             "Please make sure that it is not in use, then run Setup again.",
             path_file_name(path));
    MessageBoxA(glass_window, text, ERROR_TITLE, MB_TOPMOST | MB_SYSTEMMODAL);
    close_glass_window();
    return 0;
}

// "Player.exe", "Help.chm", "License.txt" and the copy of Setup itself.
static int install_files(void)
{
    static const struct { int resource; const char *name; } payload[] = {
        {SETUP_RES_PLAYER, "Player.exe"}, {SETUP_RES_HELP, "Help.chm"}, {SETUP_RES_LICENCE, "License.txt"}};
    char target[MAX_PATH];
    for (const auto &file : payload) {
        pump_messages(0);
        strcpy(target, setup_install_folder);
        if (!path_append(target, file.name) || !write_payload_file(file.resource, target))
            return install_failed(file.name);
    }
    strcpy(target, setup_install_folder);
    if (!path_append(target, "Setup.exe")) return install_failed("Setup.exe");
    // Paths differ only in case for the same file: copying it onto itself fails.
    if (lstrcmpiA(setup_module_path, target) && !CopyFileA(setup_module_path, target, FALSE))
        return install_failed(target);
    return 1;
}

// A shortcut in a shell folder to a file of the installation; failures ignored.
static void shortcut(const char *shell_folder, const char *sub, const char *link, const char *file,
                     const char *arguments, const char *description)
{
    char place[MAX_PATH], target[MAX_PATH];
    if (!shell_folder_path(shell_folder, 0, place)) return;
    strcpy(target, setup_install_folder);
    if ((sub && !path_append(place, sub)) || !path_append(place, link) || !path_append(target, file)) return;
    create_shortcut(place, target, arguments, description, SW_SHOWNORMAL);
}

const char UNINSTALL_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorva Media";

static int set_text(HKEY key, const char *name, const char *value)
{
    return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)value, (DWORD)strlen(value) + 1) == ERROR_SUCCESS;
}

// The system's list of installed programs shows the player with this entry
// and removes it through Setup's removal page. All users' list first; the
// user's own when that cannot be written.
int write_uninstall_entry(const char *folder)
{
    char setup[MAX_PATH], icon[MAX_PATH + 2], command[MAX_PATH + 24], version[32] = "2.0.0.0";
    WORD v[4];
    strcpy(setup, folder);
    strcpy(icon, folder);
    if (!path_append(setup, "Setup.exe") || !path_append(icon, "Player.exe")) return 0;
    strcat(icon, ",0");
    snprintf(command, sizeof command, "\"%s\" /repair_or_remove", setup);
    if (read_file_version(setup_module_path, v)) snprintf(version, sizeof version, "%u.%u.%u.%u", v[0], v[1], v[2], v[3]);
    static const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    for (HKEY root : roots) {
        HKEY key;
        if (RegCreateKeyExA(root, UNINSTALL_KEY, 0, nullptr, 0, KEY_WRITE | setup_reg_view(), nullptr, &key, nullptr) != ERROR_SUCCESS)
            continue;
        DWORD one = 1;
        int ok = set_text(key, "DisplayName", "Quorva Media") && set_text(key, "DisplayVersion", version) &&
                 set_text(key, "Publisher", "Ostrel's Lab") && set_text(key, "InstallLocation", folder) &&
                 set_text(key, "DisplayIcon", icon) && set_text(key, "UninstallString", command) &&
                 RegSetValueExA(key, "NoModify", 0, REG_DWORD, (const BYTE *)&one, sizeof one) == ERROR_SUCCESS &&
                 RegSetValueExA(key, "NoRepair", 0, REG_DWORD, (const BYTE *)&one, sizeof one) == ERROR_SUCCESS;
        RegCloseKey(key);
        if (ok) return 1;
        delete_reg_tree(root, UNINSTALL_KEY);
    }
    return 0;
}

void remove_uninstall_entry(void)
{
    delete_reg_tree(HKEY_LOCAL_MACHINE, UNINSTALL_KEY);
    delete_reg_tree(HKEY_CURRENT_USER, UNINSTALL_KEY);
}

// Asks the desktop shell's own process to open file: a program so started
// runs as the signed-in user, not with the rights an elevated Setup has.
// 0 when there is no such shell to ask.
static int shell_open_as_user(const char *file, const char *parameters)
{
    WCHAR wide_file[MAX_PATH], wide_parameters[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, file, -1, wide_file, MAX_PATH) ||
        !MultiByteToWideChar(CP_ACP, 0, parameters, -1, wide_parameters, MAX_PATH))
        return 0;
    HRESULT init = CoInitialize(nullptr);
    IShellWindows *windows = nullptr;
    IDispatch *desktop = nullptr, *background = nullptr, *application = nullptr;
    IServiceProvider *provider = nullptr;
    IShellBrowser *browser = nullptr;
    IShellView *view = nullptr;
    IShellFolderViewDual *folder_view = nullptr;
    IShellDispatch2 *shell = nullptr;
    VARIANT none, at;
    VariantInit(&none);
    VariantInit(&at);
    long hwnd = 0;
    HRESULT hr = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, (void **)&windows);
    if (hr == S_OK) hr = windows->FindWindowSW(&at, &none, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH, &desktop);
    if (hr == S_OK && desktop) hr = desktop->QueryInterface(IID_IServiceProvider, (void **)&provider);
    else hr = E_FAIL;
    if (SUCCEEDED(hr)) hr = provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, (void **)&browser);
    if (SUCCEEDED(hr)) hr = browser->QueryActiveShellView(&view);
    if (SUCCEEDED(hr)) hr = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, (void **)&background);
    if (SUCCEEDED(hr)) hr = background->QueryInterface(IID_IShellFolderViewDual, (void **)&folder_view);
    if (SUCCEEDED(hr)) hr = folder_view->get_Application(&application);
    if (SUCCEEDED(hr)) hr = application->QueryInterface(IID_IShellDispatch2, (void **)&shell);
    if (SUCCEEDED(hr)) {
        BSTR name = SysAllocString(wide_file);
        VARIANT args, verb, show;
        VariantInit(&args), VariantInit(&verb), VariantInit(&show);
        args.vt = VT_BSTR, args.bstrVal = SysAllocString(wide_parameters);
        verb.vt = VT_BSTR, verb.bstrVal = SysAllocString(L"open");
        show.vt = VT_I4, show.lVal = SW_SHOWNORMAL;
        hr = name ? shell->ShellExecute(name, args, none, verb, show) : E_OUTOFMEMORY;
        SysFreeString(name);
        VariantClear(&args), VariantClear(&verb);
    }
    IUnknown *used[] = {shell, application, folder_view, background, view, browser, provider, desktop, windows};
    for (IUnknown *u : used)
        if (u) u->Release();
    if (SUCCEEDED(init)) CoUninitialize();
    return SUCCEEDED(hr);
}

static void start_player(void)
{
    char player[MAX_PATH];
    strcpy(player, setup_install_folder);
    if (!path_append(player, "Player.exe")) return;
    if (!shell_open_as_user(player, "/firstrun")) ShellExecuteA(glass_window, "open", player, "/firstrun", nullptr, SW_SHOW);
}

int install_run(void)
{
    if (page_welcome() != 1 || setup_cancelled()) {
        close_glass_window();
        return 0;
    }
    int chosen = 0;
    do {
        pump_messages(1);
        if (page_licence() != 1 || setup_cancelled()) {
            close_glass_window();
            return 0;
        }
        chosen = choose_folder();
    } while (chosen == 0);
    if (chosen < 0) return 0;

    open_status("Preparing installation data...");
    status_text("Looking for old Quorva Media installations...");
    if (installed_version_is_newer()) {
        if (setup_message("You seem to have a newer version of\nQuorva Media installed.\n\n"
                          "Do you want to keep it instead?",
                          "YOU HAVE A NEWER VERSION!!", MB_TOPMOST | MB_ICONINFORMATION | MB_YESNO) == IDYES ||
            setup_cancelled()) {
            close_status();
            close_glass_window();
            return 0;
        }
        status_show(1);
    }
    remove_old_installation();
    delete_reg_tree(HKEY_CLASSES_ROOT, SETUP_KEY);
    pump_messages(1);
    pump_messages(0);
    status_text("Installing Quorva Media...");
    if (!install_files()) return 0;

    pump_messages(0);
    status_text("Creating Shortcuts...");
    shortcut("Programs", SETUP_SUB_FOLDER, "Quorva Media Player.lnk", "Player.exe", nullptr, "Ostrel's Quorva Media Player");
    shortcut("Programs", SETUP_SUB_FOLDER, "Help for Quorva Media.lnk", "Help.chm", nullptr,
             "Help Documentation for Quorva Media");
    shortcut("Programs", SETUP_SUB_FOLDER, "Uninstall or Repair.lnk", "Setup.exe", "/repair_or_remove",
             "Uninstall or Repair Quorva Media");
    write_uninstall_entry(setup_install_folder);
    write_open_with(setup_install_folder);
    int desktop = setup_message("Would you like to have shortcuts placed on your desktop?", "Desktop Shortcut",
                                MB_TOPMOST | MB_YESNO) == IDYES;
    // Closed meanwhile: what was confirmed is installed, nothing more.
    if (setup_cancelled()) return 0;
    if (desktop) shortcut("Desktop", nullptr, "Quorva Media.lnk", "Player.exe", nullptr, "Ostrel's Quorva Media Player");

    int result = page_finish();
    if (setup_cancelled()) result = 0;
    if (result) {
        pump_messages(1);
        if (result & 1) {
            status_text("Launching Quorva Media Player...");
            pump_messages(1);
            start_player();
        }
        close_status();
    }
    close_glass_window();
    return 0;
}
