#include "test_util.h"

#include <stdio.h>

TempDir::TempDir(const char *tag)
{
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static int serial = 0;
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%squorva_%s_%lu_%d", base, tag, (unsigned long)GetCurrentProcessId(), ++serial);
    path_ = name;
    delete_tree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

TempDir::~TempDir() { delete_tree(path_); }

void delete_tree(const std::string &path)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..") continue;
            std::string full = path + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                delete_tree(full);
            else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

int write_text_file(const std::string &path, const std::string &content)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return 0;
    size_t n = fwrite(content.data(), 1, content.size(), f);
    return fclose(f) == 0 && n == content.size();
}

std::string read_file_bytes(const std::string &path)
{
    std::string data;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return data;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    fclose(f);
    return data;
}

bool pump_until(const std::function<bool()> &cond, DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (cond()) return true;
        if (GetTickCount() - start >= ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void pump_for(DWORD ms)
{
    pump_until([] { return false; }, ms);
}

std::string module_dir()
{
    char p[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, p, MAX_PATH);
    std::string s(p, n);
    size_t slash = s.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : s.substr(0, slash);
}

std::string media_file(const std::string &name) { return module_dir() + "\\..\\media\\" + name; }

std::vector<std::string> media_names()
{
    char folder[MAX_PATH] = "";
    GetFullPathNameA(media_file("names").c_str(), MAX_PATH, folder, nullptr);
    std::vector<std::string> paths;
    for (const char *name : {"Caf\xC3\xA9", "Fresh", "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1",
                             "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80",
                             "\xE6\x9D\xB1\xE4\xBA\xAC"})
        paths.push_back(std::string(folder) + "\\" + name + ".mp3");
    return paths;
}
