// Readability of a path and resolution of shell shortcuts; used by the
// command line and by the playlist reader.
#include "player.h"

#include <shlobj.h>
#include <shobjidl.h>
#include <string.h>

int player_file_is_readable(const char *path)
{
    if (!path) return 0;
    int n = lstrlenA(path);
    if (n < 3 || n > PLAYER_PATH_CHARS - 1) return 0;
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(h);
    return 1;
}

// Replaces the shortcut path with its target; target_out may be the same
// buffer as shortcut_path, which is read in full before the target is written.
int player_resolve_shortcut(char *target_out, const char *shortcut_path)
{
    CoInitialize(nullptr);
    IShellLinkA *link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&link))) {
        CoUninitialize();
        return 0;
    }
    IPersistFile *file = nullptr;
    if (FAILED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
        link->Release();
        CoUninitialize();
        return 0;
    }
    WCHAR wide[PLAYER_PATH_CHARS];
    memset(wide, 0, sizeof wide);
    MultiByteToWideChar(CP_ACP, 0, shortcut_path, -1, wide, PLAYER_PATH_CHARS);
    HRESULT hr = file->Load(wide, STGM_READ);
    file->Release();

    int resolved = 0;
    if (hr == S_OK) {
        WIN32_FIND_DATAA find;
        memset(&find, 0, sizeof find);
        resolved = link->GetPath(target_out, 256, &find, 0) == S_OK;
    }
    link->Release();
    CoUninitialize();
    return resolved;
}
