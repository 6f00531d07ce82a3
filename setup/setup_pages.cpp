// The status window and the five modal pages over the glass window.
#include <stdio.h>
#include <string.h>

#include <shlobj.h>

#include "setup.h"
#include "setup_app.h"
#include "text.h"
#include "ui_font.h"

HWND status_window;

static const char INSTALL_TITLE[] = "Installing Quorva Media 2.00 BETA";
static const char REMOVAL_TITLE[] = "Uninstall | Quorva Media 2.00 BETA";

// ---- Status window -------------------------------------------------------

static INT_PTR status_on_settext(HWND w, const char *text)
{
    // The text goes into the label, so it shows whether or not the window is
    // visible at the time.
    SetDlgItemTextA(w, SETUP_ID_HEADING, text);
    SetWindowLongPtrA(w, DWLP_MSGRESULT, TRUE);
    return TRUE;
}

static INT_PTR CALLBACK status_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_INITDIALOG: center_window(w, glass_window); return TRUE;
    case WM_SETTEXT: return status_on_settext(w, (const char *)lp);
    case WM_SHOWWINDOW:
        SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOSENDCHANGING);
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
            EndDialog(w, LOWORD(wp) == IDOK ? 1 : -1);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

void open_status(const char *text)
{
    pump_messages(1);
    close_status();
    status_window = CreateDialogParamA(setup_instance, MAKEINTRESOURCEA(SETUP_DLG_STATUS), glass_window,
                                       status_proc, 0);
    status_text(text);
    if (status_window) ShowWindow(status_window, SW_SHOW);
    pump_messages(0);
}

void status_text(const char *text)
{
    if (status_window) SetWindowTextA(status_window, text);
}

void status_show(int show)
{
    if (status_window) ShowWindow(status_window, show ? SW_SHOW : SW_HIDE);
}

void close_status(void)
{
    if (status_window) DestroyWindow(status_window);
    status_window = nullptr;
}

int setup_message(const char *text, const char *title, UINT style)
{
    status_show(0);
    return MessageBoxA(glass_window, text, title, style);
}

// ---- Pages -----------------------------------------------------------------

// What a page needs besides its template.
struct PageSpec {
    int dialog;
    const char *title;
    int heading_points;
    int coloured;  // statics transparent, heading blue, warning red
    DLGPROC extra;  // page-specific messages, or none
    int focus;      // the control that starts with the focus, or 0 for the dialog's first
};

static HFONT heading_font;

static INT_PTR page_on_init(HWND w, const PageSpec *spec)
{
    SetWindowTextA(w, spec->title);
    if (heading_font) DeleteObject(heading_font);
    heading_font = ui_font_create("Times New Roman", spec->heading_points, 1, 1, 0, 0, 1, 1);
    SendDlgItemMessageA(w, SETUP_ID_HEADING, WM_SETFONT, (WPARAM)heading_font, TRUE);
    center_window(w, glass_window);
    if (!spec->focus) return TRUE;
    HWND focus = GetDlgItem(w, spec->focus);
    SetFocus(focus);
    SendMessageA(focus, EM_SETSEL, 0, 0);  // the text is read, not selected
    return FALSE;
}

static INT_PTR page_on_ctlcolor(HDC dc, HWND control)
{
    char cls[16];
    // Read-only edits ask through the same message; they keep their colours.
    if (!GetClassNameA(control, cls, sizeof cls) || lstrcmpiA(cls, "Static")) return FALSE;
    SetBkMode(dc, TRANSPARENT);
    int id = GetDlgCtrlID(control);
    if (id == SETUP_ID_HEADING) SetTextColor(dc, RGB(0x00, 0x00, 0xCF));
    else if (id == SETUP_ID_WARNING) SetTextColor(dc, RGB(0xCF, 0x00, 0x00));
    else return FALSE;
    return (INT_PTR)GetStockObject(NULL_BRUSH);
}

static INT_PTR CALLBACK page_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    const PageSpec *spec = (const PageSpec *)GetWindowLongPtrA(w, DWLP_USER);
    if (msg == WM_INITDIALOG) {
        spec = (const PageSpec *)lp;
        SetWindowLongPtrA(w, DWLP_USER, lp);
    }
    if (!spec) return FALSE;
    if (spec->extra && spec->extra(w, msg, wp, lp)) return TRUE;
    switch (msg) {
    case WM_INITDIALOG: return page_on_init(w, spec);
    case WM_CTLCOLORSTATIC: return spec->coloured ? page_on_ctlcolor((HDC)wp, (HWND)lp) : FALSE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL || LOWORD(wp) == SETUP_ID_ACCEPT) {
            EndDialog(w, LOWORD(wp) == IDCANCEL ? 0 : 1);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        if (heading_font) DeleteObject(heading_font);
        heading_font = nullptr;
        return FALSE;
    }
    return FALSE;
}

static int show_page(const PageSpec *spec)
{
    INT_PTR r = DialogBoxParamA(setup_instance, MAKEINTRESOURCEA(spec->dialog), glass_window, page_proc,
                                (LPARAM)spec);
    // A page that could not be created counts as cancelled.
    return r == -1 ? 0 : (int)r;
}

int page_welcome(void)
{
    static const PageSpec spec = {SETUP_DLG_WELCOME, INSTALL_TITLE, 16, 1, nullptr, 0};
    return show_page(&spec);
}

int page_removal(void)
{
    static const PageSpec spec = {SETUP_DLG_REMOVAL, REMOVAL_TITLE, 14, 1, nullptr, 0};
    return show_page(&spec);
}

// ---- Licence page: the agreement text and the three-second countdown ---------

static int licence_counter;
static int licence_timer;

size_t licence_length(const char *bytes, size_t size)
{
    const char *end = bytes ? (const char *)memchr(bytes, '\xA7', size) : nullptr;
    return end ? (size_t)(end - bytes) : size ? size - 1 : 0;
}

static void licence_on_init(HWND w)
{
    HRSRC res = FindResourceA(setup_instance, MAKEINTRESOURCEA(SETUP_RES_LICENCE), "FILE_DATA");
    HGLOBAL loaded = res ? LoadResource(setup_instance, res) : nullptr;
    const char *bytes = loaded ? (const char *)LockResource(loaded) : nullptr;
    DWORD size = bytes ? SizeofResource(setup_instance, res) : 0;
    char *text = (char *)GlobalAlloc(GPTR, size + 4);
    if (text) {
        memcpy(text, bytes, licence_length(bytes, size));
        SetDlgItemTextA(w, SETUP_ID_EDIT, text);
        GlobalFree(text);
    }
    SetDlgItemTextA(w, SETUP_ID_ACCEPT, "Wait 3 sec...");
    licence_counter = 0;
    licence_timer = SetTimer(w, 1, 1000, nullptr) != 0;
    if (licence_timer) {
        EnableWindow(GetDlgItem(w, SETUP_ID_ACCEPT), FALSE);
        licence_counter = 2;
    }
}

static void licence_on_timer(HWND w)
{
    if (licence_counter > 0) {
        char text[256];
        snprintf(text, sizeof text, "Wait %i sec...", licence_counter);
        SetDlgItemTextA(w, SETUP_ID_ACCEPT, text);
        licence_counter--;
    } else {
        SetDlgItemTextA(w, SETUP_ID_ACCEPT, "YES, I Agree");
        EnableWindow(GetDlgItem(w, SETUP_ID_ACCEPT), TRUE);
    }
}

static INT_PTR CALLBACK licence_proc(HWND w, UINT msg, WPARAM, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG: licence_on_init(w); return FALSE;  // the common handling goes on
    case WM_TIMER: licence_on_timer(w); return TRUE;
    case WM_DESTROY:
        if (licence_timer) KillTimer(w, 1);
        licence_timer = 0;
        return FALSE;
    }
    return FALSE;
}

int page_licence(void)
{
    static const PageSpec spec = {SETUP_DLG_LICENCE, INSTALL_TITLE, 16, 1, licence_proc, SETUP_ID_EDIT};
    return show_page(&spec);
}

// ---- Folder page: the base folder, a Browse button and the folder it makes --

static char *folder_text;

// The edit's text in the program's code page (MAX_PATH bytes); 0, with out
// empty, when the code page cannot hold it.
static int folder_typed(HWND w, char *out)
{
    WCHAR typed[128];
    GetDlgItemTextW(w, SETUP_ID_EDIT, typed, 128);
    if (text_from_wide(typed, lstrlenW(typed), out, MAX_PATH, 0) >= 0) return 1;
    out[0] = 0;
    return 0;
}

// The line under the edit shows the folder the typed base really makes.
static void folder_show_target(HWND w)
{
    char base[MAX_PATH], folder[MAX_PATH], line[MAX_PATH + 64];
    if (folder_typed(w, base) && install_folder_for(base, folder))
        snprintf(line, sizeof line, "Quorva Media will be installed in:\n%s", folder);
    else
        snprintf(line, sizeof line, "Type a full folder path, such as C:\\Program Files.");
    SetDlgItemTextA(w, SETUP_ID_TARGET, line);
}

static void folder_on_browse(HWND w)
{
    char chosen[MAX_PATH];
    BROWSEINFOA bi = {};
    bi.hwndOwner = w;
    bi.lpszTitle = "Choose the folder to install Quorva Media in.";
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    HRESULT init = OleInitialize(nullptr);  // the new dialog style needs OLE
    LPITEMIDLIST picked = SHBrowseForFolderA(&bi);
    if (picked) {
        // A folder longer than the edit holds is not put in cut short.
        if (SHGetPathFromIDListA(picked, chosen) && MultiByteToWideChar(CP_ACP, 0, chosen, -1, nullptr, 0) <= 120)
            SetDlgItemTextA(w, SETUP_ID_EDIT, chosen);
        CoTaskMemFree(picked);
    }
    if (SUCCEEDED(init)) OleUninitialize();
}

static INT_PTR CALLBACK folder_proc(HWND w, UINT msg, WPARAM wp, LPARAM)
{
    if (msg == WM_INITDIALOG) {
        // The edit takes no more than it can hand back; nothing is cut later.
        SendDlgItemMessageA(w, SETUP_ID_EDIT, EM_SETLIMITTEXT, 119, 0);
        SetDlgItemTextA(w, SETUP_ID_EDIT, folder_text);
        folder_show_target(w);
        return FALSE;
    }
    if (msg != WM_COMMAND) return FALSE;
    if (LOWORD(wp) == SETUP_ID_EDIT && HIWORD(wp) == EN_CHANGE) {
        folder_show_target(w);
        return TRUE;
    }
    if (LOWORD(wp) == SETUP_ID_BROWSE) {
        folder_on_browse(w);
        return TRUE;
    }
    if (LOWORD(wp) == IDOK) {
        folder_typed(w, folder_text);
        EndDialog(w, 1);
        return TRUE;
    }
    return FALSE;
}

int page_folder(char *folder)
{
    static const PageSpec spec = {SETUP_DLG_FOLDER, INSTALL_TITLE, 16, 1, folder_proc, 0};
    folder_text = folder;
    return show_page(&spec);
}

// ---- Finish page -------------------------------------------------------------

static INT_PTR CALLBACK finish_proc(HWND w, UINT msg, WPARAM wp, LPARAM)
{
    if (msg == WM_INITDIALOG) {
        CheckDlgButton(w, SETUP_ID_RUN, BST_CHECKED);
        return FALSE;
    }
    if (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
        EndDialog(w, IsDlgButtonChecked(w, SETUP_ID_RUN) == BST_CHECKED);
        return TRUE;
    }
    return FALSE;
}

int page_finish(void)
{
    static const PageSpec spec = {SETUP_DLG_FINISH, INSTALL_TITLE, 16, 0, finish_proc, 0};
    return show_page(&spec);
}
