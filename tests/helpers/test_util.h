// Shared pieces of the test suites: scratch folders and message pumping.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
public:
    explicit TempDir(const char *tag);
    ~TempDir();
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

void delete_tree(const std::string &path);
int write_text_file(const std::string &path, const std::string &content);
// The whole file as bytes; empty when it cannot be read.
std::string read_file_bytes(const std::string &path);

// Dispatches this thread's messages until cond() holds or ms milliseconds pass.
bool pump_until(const std::function<bool()> &cond, DWORD ms);
// Dispatches this thread's messages for ms milliseconds.
void pump_for(DWORD ms);

// The folder of the running test executable (Player.exe is built beside it).
std::string module_dir();
// A file that tests/media/make-media.sh made for this build's tests.
std::string media_file(const std::string &name);
// The full paths of the five MP3s in its "names" folder (four scripts and
// the tagged one), in byte order.
std::vector<std::string> media_names();
