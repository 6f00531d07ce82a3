// Text in the program's ANSI code page: UTF-8 where Windows honours the
// programs' manifest (Windows 10 1903 on), the system's legacy code page
// before that. Text from files may be in either; these helpers bring it into
// the program's code page and cut it only at whole characters.
#pragma once
#include <windows.h>
#include <stddef.h>

// Whether the n bytes are well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF, no sequence cut at the end).
int text_is_utf8(const char *s, size_t n);

// The code page text made for this system before UTF-8 is in: the system
// locale's ANSI code page (1252 when it names none or UTF-8 itself).
UINT text_legacy_code_page(void);

// n bytes of text from a file (UTF-8 when they are valid UTF-8, the legacy
// code page otherwise) in the program's code page, zero-terminated in
// out[cap]. With cut set, text too long is cut at a whole character;
// otherwise it does not fit. The length, or -1 when it does not fit or holds
// a character the program's code page cannot represent.
int text_from_file(const char *s, size_t n, char *out, size_t cap, int cut);

// The same for n UTF-16 characters.
int text_from_wide(const WCHAR *w, int n, char *out, size_t cap, int cut);

// The longest start of s, at most max bytes, that ends at a whole character
// of the program's code page.
size_t text_whole_length(const char *s, size_t max);
