// The installer's shared helpers: messages, paths, files, shell folders and
// registry trees. Paths live in buffers of MAX_PATH (260) characters.
#pragma once
#include <windows.h>

// The registry view flag for every key Setup reads and writes: the 64-bit
// view (KEY_WOW64_64KEY) for the 32-bit Setup on 64-bit Windows, which would
// otherwise see the WOW64 copy of HKLM\Software; none where the native view
// is the 64-bit one or the only one. The 64-bit view holds the shell folders
// Explorer keeps and both program-files folders, and one view for both
// builds lets a 32-bit and a 64-bit installation find and replace each
// other's entry and key.
REGSAM setup_reg_view(void);

// Dispatches every pending message of the thread; with sleep set, sleeps
// 100 ms and dispatches again. 0 when a WM_QUIT was met (it is posted again
// for the caller's loop), else 1.
int pump_messages(int sleep);

// Appends name to the path in buf (MAX_PATH characters) with one "\" between
// them: leading spaces and separators of name are skipped, one trailing
// separator of a path longer than three characters is dropped, a root such as
// "C:\" gets no second one, an empty path becomes name. 0, with buf
// unchanged, when the result would not fit in MAX_PATH characters.
int path_append(char *buf, const char *name);
// Every buffer handed to path_append holds MAX_PATH characters. Where GCC
// knows the buffer (an array in scope), a smaller one is a compile error.
void path_append_needs_max_path(void) __attribute__((error("path_append writes up to MAX_PATH characters")));
#define path_append(buf, name)                                                                       \
    (__builtin_object_size(buf, 1) != (size_t)-1 && __builtin_object_size(buf, 1) < MAX_PATH         \
         ? (path_append_needs_max_path(), 0)                                                          \
         : (path_append)(buf, name))

// The full, normal form of a full path (GetFullPathName folds "." and "..",
// trailing dots and blanks; 8.3 names become long ones; no trailing
// separator but a root's) into out (MAX_PATH characters). Relative and
// drive-relative text ("x", "\\x", "C:x") is refused: 0 with out empty.
int path_full(const char *path, char *out);

// Creates the folder named by the text before every "\" of path, ignoring
// failures; the part after the last "\" is not created.
void make_parent_dirs(const char *path);

// Whether path has 3 to 259 characters and opens for reading.
int file_exists(const char *path);

// The path of a shell folder ("Programs", "Desktop", "AppData") from the
// Explorer's "Shell Folders" values, the all-users one first unless
// current_user_only is set. 1 with the path in out (MAX_PATH characters),
// else 0 with out empty.
int shell_folder_path(const char *name, int current_user_only, char *out);

// Deletes folder with everything in it. A junction or symbolic link is
// removed itself, never entered, and left alone when the platform does not
// say it is a link. Refuses anything but a full path, and a drive root.
// Whether the folder itself was removed.
int delete_tree(const char *folder);

// Deletes the key name under root with all its sub-keys. A key that does not
// open counts as deleted; an empty name is refused (0).
int delete_reg_tree(HKEY root, const char *name);

// The folder part of path, cut at its last "\" (or, if none, its last "/"),
// into out (MAX_PATH characters). 0, with out empty, when path has neither.
int path_folder(const char *path, char *out);

// The first three characters of windows_dir ("D:\" of "D:\Windows"), or
// "C:\" when its second and third are not ":\". out holds 4 characters.
void drive_root_of(const char *windows_dir, char *out);
// The system drive's root, from the Windows folder.
void system_drive_root(char *out);

// A string value (the default one for a null value) of at least min_len
// characters that fits a path buffer, read in Setup's registry view into out
// (MAX_PATH characters); 0 when missing, of another type or too long.
int read_path_value(HKEY root, const char *subkey, const char *value, size_t min_len, char *out);

// The program-files folder for programs of this build's kind ("Program Files
// (x86)" for the 32-bit Setup on 64-bit Windows), always found (the system
// drive's "Program Files" when Windows does not say); or, with other_kind
// set, the other kind's, which only 64-bit Windows has. 1 with the path in
// out (MAX_PATH characters), else 0 with out empty.
int program_files_folder(int other_kind, char *out);

// The running program's full path and its folder (both MAX_PATH characters).
// 0 when the path has no separator.
int module_paths(char *path, char *folder);
