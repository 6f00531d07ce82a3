// Finding and ending the processes that run a given program file. Processes
// are listed through the Toolhelp functions and each is known by the full
// path of its image, which QueryFullProcessImageName gives for 32- and 64-bit
// processes alike (Toolhelp's module list does not cross from a 32-bit
// process into a 64-bit one). All are looked up at run time so that Setup
// starts on systems without them; before Vista the module list serves.
#include <windows.h>
#include <tlhelp32.h>
#include <string.h>

#include "setup.h"
#include "setup_app.h"

typedef HANDLE(WINAPI *snapshot_fn)(DWORD, DWORD);
typedef BOOL(WINAPI *process_walk_fn)(HANDLE, PROCESSENTRY32 *);
typedef BOOL(WINAPI *module_walk_fn)(HANDLE, MODULEENTRY32 *);
typedef BOOL(WINAPI *image_name_fn)(HANDLE, DWORD, LPSTR, PDWORD);

static struct {
    snapshot_fn snapshot;
    process_walk_fn process_first, process_next;
    module_walk_fn module_first, module_next;
    image_name_fn image_name;
} toolhelp;

static int toolhelp_ready(void)
{
    if (toolhelp.snapshot) return 1;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return 0;
    toolhelp.process_first = (process_walk_fn)(void *)GetProcAddress(kernel, "Process32First");
    toolhelp.process_next = (process_walk_fn)(void *)GetProcAddress(kernel, "Process32Next");
    toolhelp.module_first = (module_walk_fn)(void *)GetProcAddress(kernel, "Module32First");
    toolhelp.module_next = (module_walk_fn)(void *)GetProcAddress(kernel, "Module32Next");
    toolhelp.image_name = (image_name_fn)(void *)GetProcAddress(kernel, "QueryFullProcessImageNameA");
    snapshot_fn snapshot = (snapshot_fn)(void *)GetProcAddress(kernel, "CreateToolhelp32Snapshot");
    if (!toolhelp.process_first || !toolhelp.process_next || !toolhelp.module_first || !toolhelp.module_next)
        return 0;
    toolhelp.snapshot = snapshot;
    return snapshot != nullptr;
}

// Whether process pid runs full_path; with only a file name given (no
// folder), whether it runs that file from the Windows folder or a folder
// inside it, whichever kind of system folder that is.
static int process_runs(DWORD pid, const char *full_path)
{
    char image[MAX_PATH], windows[MAX_PATH];
    int name_only = !strchr(full_path, '\\');
    HANDLE process = toolhelp.image_name ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid) : nullptr;
    if (process) {
        DWORD size = MAX_PATH;
        BOOL named = toolhelp.image_name(process, 0, image, &size);
        CloseHandle(process);
        if (!named) return 0;
        if (!name_only) return !lstrcmpiA(image, full_path);
        UINT n = GetSystemWindowsDirectoryA(windows, MAX_PATH);
        const char *file = strrchr(image, '\\');
        return n > 0 && n < MAX_PATH && !_strnicmp(image, windows, n) && image[n] == '\\' && file &&
               !lstrcmpiA(file + 1, full_path);
    }
    if (toolhelp.image_name || name_only) return 0;  // not ours to look into, or no path to compare
    HANDLE modules = toolhelp.snapshot(TH32CS_SNAPMODULE, pid);
    if (modules == INVALID_HANDLE_VALUE) return 0;
    MODULEENTRY32 module;
    module.dwSize = sizeof module;
    int found = 0;
    for (BOOL more = toolhelp.module_first(modules, &module); more && !found;
         more = toolhelp.module_next(modules, &module))
        found = !lstrcmpiA(module.szExePath, full_path);
    CloseHandle(modules);
    return found;
}

static int listed(DWORD pid, const DWORD *skip, int skipped)
{
    for (int i = 0; i < skipped; i++)
        if (skip[i] == pid) return 1;
    return 0;
}

// The first process running name, other than those in skip, opened with full
// access; its id in *pid. Processes that cannot be opened are passed over.
static HANDLE find_process(const char *name, const DWORD *skip, int skipped, DWORD *pid)
{
    char full_path[MAX_PATH];
    if (!name || !toolhelp_ready()) return nullptr;
    // A program file is known by its full path; a bare name (the help
    // viewer) by its name inside the Windows folder.
    if (strchr(name, '\\')) {
        if (!path_full(name, full_path)) return nullptr;
    } else {
        lstrcpynA(full_path, name, MAX_PATH);
    }
    HANDLE processes = toolhelp.snapshot(TH32CS_SNAPPROCESS, 0);
    if (processes == INVALID_HANDLE_VALUE) return nullptr;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    HANDLE process = nullptr;
    DWORD self = GetCurrentProcessId();
    for (BOOL more = toolhelp.process_first(processes, &entry); more && !process;
         more = toolhelp.process_next(processes, &entry)) {
        DWORD id = entry.th32ProcessID;
        if (id == 0 || id == self || listed(id, skip, skipped) || !process_runs(id, full_path)) continue;
        process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, id);
        if (process && pid) *pid = id;
    }
    CloseHandle(processes);
    return process;
}

HANDLE find_process_by_path(const char *name) { return find_process(name, nullptr, 0, nullptr); }

// A process that will not end is passed over, and the rounds are bounded, so
// that a program restarting itself cannot keep Setup here forever.
int kill_processes(const char *name)
{
    enum { MAX_ROUNDS = 32 };
    DWORD skip[MAX_ROUNDS];
    int skipped = 0, ended = 0;
    for (int round = 0; round < MAX_ROUNDS; round++) {
        DWORD pid = 0;
        HANDLE process = find_process(name, skip, skipped, &pid);
        if (!process) break;
        if (TerminateProcess(process, 0) && WaitForSingleObject(process, 5000) == WAIT_OBJECT_0)
            ended++;
        else
            skip[skipped++] = pid;
        CloseHandle(process);
    }
    return ended;
}
