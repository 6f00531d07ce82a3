// Conversions between the encodings text arrives in and the program's ANSI
// code page, and cutting at whole characters.
#include "text.h"

#include <string.h>

// Length of the UTF-8 sequence a lead byte starts, 0 for a byte that starts none.
static size_t utf8_length(unsigned char c)
{
    return c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
}

int text_is_utf8(const char *s, size_t n)
{
    const unsigned char *p = (const unsigned char *)s, *end = p + n;
    while (p < end) {
        size_t k = utf8_length(*p);
        if (!k || (size_t)(end - p) < k) return 0;
        for (size_t i = 1; i < k; i++)
            if ((p[i] & 0xC0) != 0x80) return 0;
        // The second byte's range rules out overlong forms, surrogates and
        // code points above U+10FFFF.
        if ((p[0] == 0xE0 && p[1] < 0xA0) || (p[0] == 0xED && p[1] > 0x9F) || (p[0] == 0xF0 && p[1] < 0x90) ||
            (p[0] == 0xF4 && p[1] > 0x8F))
            return 0;
        p += k;
    }
    return 1;
}

UINT text_legacy_code_page(void)
{
    DWORD cp = 0;
    if (!GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER, (LPSTR)&cp,
                        sizeof cp / sizeof(char)) ||
        cp == 0 || cp == CP_UTF8 || !IsValidCodePage(cp))
        cp = 1252;
    return cp;
}

size_t text_whole_length(const char *s, size_t max)
{
    UINT cp = GetACP();
    size_t at = 0;
    while (at < max && s[at]) {
        unsigned char c = (unsigned char)s[at];
        size_t step = cp == CP_UTF8 ? utf8_length(c) : IsDBCSLeadByteEx(cp, c) ? 2 : 1;
        if (!step) step = 1;  // a stray byte counts as a character of its own
        size_t i = 1;
        while (i < step && s[at + i]) i++;
        if (i < step || at + step > max) break;
        at += step;
    }
    return at;
}

int text_from_wide(const WCHAR *w, int n, char *out, size_t cap, int cut)
{
    if (!out || !cap) return -1;
    out[0] = 0;
    if (n <= 0) return 0;
    UINT cp = GetACP();
    BOOL lost = FALSE;
    // UTF-8 represents everything and takes no flags; other code pages must
    // not swap a character for a look-alike or a '?'.
    DWORD flags = cp == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL *lost_ptr = cp == CP_UTF8 ? nullptr : &lost;
    int need = WideCharToMultiByte(cp, flags, w, n, nullptr, 0, nullptr, lost_ptr);
    if (need <= 0 || lost) return -1;
    char small[1024], *buf = (size_t)need < sizeof small ? small : (char *)HeapAlloc(GetProcessHeap(), 0, need + 1);
    if (!buf) return -1;
    WideCharToMultiByte(cp, flags, w, n, buf, need, nullptr, nullptr);
    buf[need] = 0;
    size_t len = (size_t)need;
    if (len > cap - 1) len = cut ? text_whole_length(buf, cap - 1) : (size_t)-1;
    if (len != (size_t)-1) {
        memcpy(out, buf, len);
        out[len] = 0;
    }
    if (buf != small) HeapFree(GetProcessHeap(), 0, buf);
    return len == (size_t)-1 ? -1 : (int)len;
}

int text_from_file(const char *s, size_t n, char *out, size_t cap, int cut)
{
    if (!out || !cap) return -1;
    size_t ascii = 0;
    while (ascii < n && (unsigned char)s[ascii] < 0x80) ascii++;
    if (ascii == n) {  // ASCII is the same in every code page the program runs in
        size_t len = n < cap ? n : cut ? cap - 1 : (size_t)-1;
        if (len == (size_t)-1) return -1;
        memcpy(out, s, len);
        out[len] = 0;
        return (int)len;
    }
    if (n > 0x7FFFFFF) return -1;
    UINT from = text_is_utf8(s, n) ? CP_UTF8 : text_legacy_code_page();
    int wn = MultiByteToWideChar(from, 0, s, (int)n, nullptr, 0);
    if (wn <= 0) return -1;
    WCHAR small[512], *w = wn <= 512 ? small : (WCHAR *)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)wn * sizeof(WCHAR));
    if (!w) return -1;
    MultiByteToWideChar(from, 0, s, (int)n, w, wn);
    int len = text_from_wide(w, wn, out, cap, cut);
    if (w != small) HeapFree(GetProcessHeap(), 0, w);
    return len;
}
