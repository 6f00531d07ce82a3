#include "dialog_driver.h"

#include <shlobj.h>
#include <string.h>

namespace {

struct Search { DWORD pid; const char *title; HWND found; };

BOOL CALLBACK match_dialog(HWND w, LPARAM lp)
{
    Search *s = (Search *)lp;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[32] = "", title[128] = "";
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, title, sizeof title);
    if (pid == s->pid && IsWindowVisible(w) && strcmp(cls, "#32770") == 0 && strcmp(title, s->title) == 0) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND file_name_box(HWND dlg)
{
    HWND combo = GetDlgItem(dlg, 0x47c);  // cmb13: the explorer-style name box
    if (combo) {
        HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
        return edit ? edit : combo;
    }
    return GetDlgItem(dlg, 0x480);  // edt1
}

DWORD WINAPI driver(void *arg)
{
    DialogScript *s = (DialogScript *)arg;
    Search search = {GetCurrentProcessId(), s->title.c_str(), nullptr};
    for (int i = 0; i < 1000 && !search.found; i++) {
        EnumWindows(match_dialog, (LPARAM)&search);
        if (!search.found) Sleep(10);
    }
    if (!search.found) return 1;
    s->found = true;
    Sleep(100);  // let the dialog finish its initialisation
    HWND dlg = search.found;
    HWND types = GetDlgItem(dlg, 0x470);  // cmb1
    int n = types ? (int)SendMessageA(types, CB_GETCOUNT, 0, 0) : 0;
    for (int i = 0; i < n; i++) {
        char text[256] = "";
        if (SendMessageA(types, CB_GETLBTEXTLEN, i, 0) < (LRESULT)sizeof text)
            SendMessageA(types, CB_GETLBTEXT, i, (LPARAM)text);
        s->file_types.push_back(text);
    }
    if (types) s->file_type = (int)SendMessageA(types, CB_GETCURSEL, 0, 0);
    HWND ro = GetDlgItem(dlg, 0x410);  // chx1
    if (ro && IsWindowVisible(ro)) s->read_only = SendMessageA(ro, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (s->confirm) {
        SendMessageA(file_name_box(dlg), WM_SETTEXT, 0, (LPARAM)s->typed.c_str());
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(dlg, IDOK));
    } else {
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)GetDlgItem(dlg, IDCANCEL));
    }
    return 0;
}

}  // namespace

HANDLE dialog_driver_start(DialogScript *script)
{
    return CreateThread(nullptr, 0, driver, script, 0, nullptr);
}

HDROP make_hdrop(const std::initializer_list<std::string> &paths)
{
    size_t chars = 1;
    for (const std::string &p : paths) chars += p.size() + 1;
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars);
    DROPFILES *df = (DROPFILES *)GlobalLock(g);
    df->pFiles = sizeof(DROPFILES);
    df->fWide = FALSE;
    char *out = (char *)(df + 1);
    for (const std::string &p : paths) {
        memcpy(out, p.c_str(), p.size() + 1);
        out += p.size() + 1;
    }
    GlobalUnlock(g);
    return (HDROP)g;
}
