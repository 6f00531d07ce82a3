// Tags read from generated MP3, WAV and AVI files, the playlist sorted by
// file, title, artist and at random, and the tag parser on hostile buffers
// that end right before an inaccessible page.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "playlist.h"
#include "playlist_reset.h"
#include "playlist_tags.h"
#include "test_util.h"

namespace {

using Bytes = std::string;
template <size_t N> Bytes B(const char (&s)[N]) { return Bytes(s, N - 1); }  // keeps embedded zeros
Bytes be32(uint32_t v) { return {(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v}; }
Bytes le32(uint32_t v) { return {(char)v, (char)(v >> 8), (char)(v >> 16), (char)(v >> 24)}; }
Bytes syncsafe(uint32_t v) { return be32((v & 0x7F) | (v >> 7 & 0x7F) << 8 | (v >> 14 & 0x7F) << 16 | (v >> 21 & 0x7F) << 24); }
Bytes frame(int v, const char *id, const Bytes &body, char flags = 0)
{
    return id + (v == 3 ? be32((uint32_t)body.size()) : syncsafe((uint32_t)body.size())) + '\0' + flags + body;
}
Bytes id3(int v, char flags, const Bytes &body, int64_t size = -1)
{
    return "ID3" + Bytes{(char)v, 0, flags} + syncsafe(size < 0 ? (uint32_t)body.size() : (uint32_t)size) + body;
}
Bytes unsync(const Bytes &s)
{
    Bytes o;
    for (char c : s) o += c == '\xFF' ? B("\xFF\0") : Bytes(1, c);
    return o;
}
Bytes latin(const Bytes &s) { return '\0' + s; }
Bytes utf16(const char *s, bool big, bool bom)  // encoding 1 with a mark, or 2
{
    Bytes o(1, bom ? '\1' : '\2');
    if (bom) o += big ? "\xFE\xFF" : "\xFF\xFE";
    for (; *s; s++) o += big ? Bytes{0, *s} : Bytes{*s, 0};
    return o;
}
Bytes chunk(const char *id, const Bytes &body) { return id + le32((uint32_t)body.size()) + body + Bytes(body.size() & 1, '\0'); }
Bytes v1(const char *title, const char *artist)
{
    Bytes t(128, '\0');
    t.replace(0, 3, "TAG");
    t.replace(3, strlen(title), title);
    t.replace(33, strlen(artist), artist);
    return t;
}
std::string ansi(const wchar_t *w)
{
    char s[128] = "";
    WideCharToMultiByte(CP_ACP, 0, w, -1, s, sizeof s, nullptr, nullptr);
    return s;
}
const Bytes audio = B("\xFF\xFB\x90\x64\0\0\0\0");  // an MPEG audio frame header and some zeros

struct Fixture { const char *name; Bytes bytes; int bits; const char *title, *artist; };
const Fixture files[] = {
    {"g.wav", chunk("RIFF", "WAVE" + chunk("fmt ", Bytes(16, '\1')) + chunk("data", Bytes(300000, '\0')) +
                                chunk("LIST", "INFO" + chunk("INAM", B("Foxtrot\0")))), TAG_TITLE, "Foxtrot", ""},
    {"d.mp3", id3(3, 0, frame(3, "TIT2", latin("Echo")) + frame(3, "TPE1", utf16("zed", false, true) + B("\0\0"))) +
                  audio, TAG_TITLE | TAG_ARTIST, "Echo", "zed"},
    {"a.mp3", audio + v1("Bravo  ", "Kilo"), TAG_TITLE | TAG_ARTIST, "Bravo", "Kilo"},
    {"h.avi", chunk("RIFF", "AVI " + chunk("LIST", "hdrl" + chunk("avih", Bytes(56, '\0'))) +
                                chunk("LIST", "INFO" + chunk("IART", B("Bob\0"))) + chunk("LIST", "movi")),
     TAG_ARTIST, "", "Bob"},
    {"B.mp3", id3(4, 0x40, syncsafe(6) + B("\1\0") + frame(4, "TPE1", utf16("Mia", true, false)) +
                                frame(4, "TIT2", "\3alpha")) + audio, TAG_TITLE | TAG_ARTIST, "alpha", "Mia"},
    {"e.mp3", audio + audio, 0, "", ""},
    {"f.wav", chunk("RIFF", "WAVE" + chunk("fmt ", Bytes(16, '\1')) +
                                chunk("LIST", "INFO" + chunk("INAM", "delta") + chunk("IART", B("Alpha\0"))) +
                                chunk("data", Bytes(100, '\0'))), TAG_TITLE | TAG_ARTIST, "delta", "Alpha"},
    // Version 2.4 with the tag's and each frame's unsynchronisation and data length indicator.
    {"c.mp3", id3(4, '\x80', frame(4, "TIT2", syncsafe(17) + unsync(utf16("charlie", false, true)), 3) +
                                 frame(4, "TPE1", syncsafe(16) + unsync(utf16("Juliet", true, true) + B("\0")), 3)) +
                  audio, TAG_TITLE | TAG_ARTIST, "charlie", "Juliet"},
};

class PlaylistSort : public ::testing::Test {
protected:
    TempDir dir{"plsort"};
    std::vector<Bytes> before;  // the records' bytes as added

    static Bytes record(int i) { return Bytes((const char *)&playlist_entries[i], sizeof(PlaylistEntry)); }
    void SetUp() override
    {
        playlist_reset_for_test();
        for (const Fixture &f : files) {
            // One path with a forward slash: display names follow either separator.
            std::string path = f.name[0] == 'g' ? dir.path() + "/g.wav" : dir.file(f.name);
            ASSERT_TRUE(write_text_file(path, f.bytes));
            ASSERT_EQ(1, playlist_reserve());
            ASSERT_EQ(1, playlist_append_file(path.c_str()));
            PlaylistEntry &e = playlist_entries[playlist_count - 1];
            wsprintfA(e.title, "kept title %s", f.name);  // the M3U writer's fields stay as they are
            e.length = 100 + playlist_count;
            if (strchr("af", f.name[0])) e.flags = PLAYLIST_SELECTED | 0x100;
            before.push_back(record(playlist_count - 1));
        }
        playlist_current = 1;  // d.mp3
    }
    void TearDown() override { playlist_reset_for_test(); }

    // The first letters of the file names, after the last '\' or '/'.
    static std::string order()
    {
        std::string s;
        for (int i = 0; i < playlist_count; i++) {
            const char *p = playlist_entries[i].path, *a = strrchr(p, '\\'), *b = strrchr(p, '/');
            s += (b && b > a ? b : a)[1];
        }
        return s;
    }
    // The same records, byte for byte, in some order; the current entry and
    // the selection still on their files.
    void expect_same_records()
    {
        ASSERT_EQ((int)before.size(), playlist_count);
        std::vector<Bytes> now;
        for (int i = 0; i < playlist_count; i++) now.push_back(record(i));
        std::vector<Bytes> a = before;
        std::sort(a.begin(), a.end());
        std::sort(now.begin(), now.end());
        EXPECT_EQ(a, now);
        char name[MAX_PATH];
        EXPECT_STREQ("d.mp3", playlist_display_name(playlist_current, name));
        std::string selected;
        for (int i = 0; i < playlist_count; i++)
            if (playlist_entries[i].flags & PLAYLIST_SELECTED) selected += playlist_display_name(i, name)[0];
        std::sort(selected.begin(), selected.end());
        EXPECT_EQ("af", selected);
    }
};

TEST_F(PlaylistSort, TagsReadFromFiles)
{
    for (int i = 0; i < playlist_count; i++) {
        TagText t;
        EXPECT_EQ(files[i].bits, tag_read_file(playlist_entries[i].path, &t)) << files[i].name;
        EXPECT_STREQ(files[i].title, t.title) << files[i].name;
        EXPECT_STREQ(files[i].artist, t.artist) << files[i].name;
    }
    TagText t;
    EXPECT_EQ(0, tag_read_file(dir.file("missing.mp3").c_str(), &t));
    EXPECT_STREQ("", t.title);
}

TEST_F(PlaylistSort, ByFileTitleAndArtist)
{
    struct { int order; const char *expected; } cases[] = {
        {PLAYLIST_SORT_FILE, "aBcdefgh"},
        {PLAYLIST_SORT_TITLE, "Bacfdgeh"},   // alpha Bravo charlie delta Echo Foxtrot, then e.mp3 h.avi
        {PLAYLIST_SORT_ARTIST, "fhcaBdeg"},  // Alpha Bob Juliet Kilo Mia zed, then e.mp3 g.wav
    };
    for (auto &c : cases) {
        ASSERT_EQ(1, playlist_sort(c.order));
        EXPECT_EQ(c.expected, order()) << c.order;
        expect_same_records();
    }
}

TEST_F(PlaylistSort, RandomIsAPermutationThatVaries)
{
    std::set<std::string> orders;
    for (int i = 0; i < 5; i++) {
        ASSERT_EQ(1, playlist_sort(PLAYLIST_SORT_RANDOM));
        expect_same_records();
        orders.insert(order());
    }
    EXPECT_GT(orders.size(), 1u);  // all five alike: 1 in 40320^4 by chance
}

TEST_F(PlaylistSort, UnknownOrdersAndShortListsAreLeftAlone)
{
    EXPECT_EQ(0, playlist_sort(4));
    EXPECT_EQ(0, playlist_sort(-1));
    EXPECT_EQ("gdahBefc", order());
    playlist_count = 1;
    EXPECT_EQ(1, playlist_sort(PLAYLIST_SORT_TITLE));
    EXPECT_EQ(before[0], record(0));
    playlist_count = 0;
    EXPECT_EQ(1, playlist_sort(PLAYLIST_SORT_RANDOM));
    EXPECT_EQ(before[0], record(0));
}

// tag_parse on data that ends right before a PAGE_NOACCESS page.
int parse_before_guard(const Bytes &b, TagText *t)
{
    const size_t page = 4096, pages = b.size() / page + 1;
    uint8_t *base = (uint8_t *)VirtualAlloc(nullptr, (pages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    DWORD old;
    if (!base || !VirtualProtect(base + pages * page, page, PAGE_NOACCESS, &old)) return -1;
    uint8_t *p = base + pages * page - b.size();
    memcpy(p, b.data(), b.size());
    int r = tag_parse(p, b.size(), t);
    VirtualFree(base, 0, MEM_RELEASE);
    return r;
}

TEST(TagParse, HostileBuffers)
{
    Bytes deep = "LIST" + le32(0xFFFFFFF0) + "INFO" + chunk("INAM", "x");  // the sixth list down
    for (int i = 0; i < 5; i++) deep = "LIST" + le32(0xFFFFFFF0) + "LST" + std::to_string(i) + deep;
    struct { const char *name; Bytes data; int bits; std::string title, artist; } cases[] = {
        {"empty", "", 0, "", ""},
        {"truncated header", B("ID3\3\0"), 0, "", ""},
        {"huge tag size", id3(3, 0, frame(3, "TIT2", latin("caf\xE9")), 0x0FFFFFFF), TAG_TITLE, ansi(L"caf\u00e9"), ""},
        {"zero tag size", id3(3, 0, frame(3, "TIT2", latin("no")), 0), 0, "", ""},
        {"frame past the end", id3(3, 0, "TIT2" + be32(1000) + B("\0\0\0ab")), 0, "", ""},
        {"zero-size frame", id3(4, 0, frame(4, "TIT2", "") + frame(4, "TPE1", latin("Zero"))), TAG_ARTIST, "", "Zero"},
        {"huge extended header", id3(3, 0x40, be32(0xFFFFFFF0) + frame(3, "TIT2", latin("no"))), 0, "", ""},
        {"odd UTF-16, no terminator", id3(3, 0, frame(3, "TIT2", B("\1\xFF\xFE" "a\0b\0c"))), TAG_TITLE, "ab", ""},
        {"UTF-8, no terminator", id3(4, 0, frame(4, "TPE1", "\3\xC3\xA9t")), TAG_ARTIST, "", ansi(L"\u00e9t")},
        {"2.3 unsynchronised tag", id3(3, '\x80', unsync(frame(3, "TIT2", utf16("hi", false, true)))), TAG_TITLE, "hi", ""},
        {"unsynchronised, ending in 0xFF", id3(4, 0, frame(4, "TIT2", unsync(utf16("hi", false, true)) + "\xFF", 2)),
         TAG_TITLE, "hi", ""},
        {"cut to 127", id3(3, 0, frame(3, "TPE1", latin(Bytes(200, 'x')))), TAG_ARTIST, "", Bytes(127, 'x')},
        {"ID3v1 fills the gap", id3(3, 0, frame(3, "TIT2", latin("Two"))) + v1("One", "ThirtyCharactersFillTheField!!"),
         TAG_TITLE | TAG_ARTIST, "Two", "ThirtyCharactersFillTheField!!"},
        {"LIST of 0xFFFFFFF0 bytes", chunk("RIFF", "WAVE" + B("LIST") + le32(0xFFFFFFF0) + "INFO" + chunk("INAM", "deep")),
         TAG_TITLE, "deep", ""},
        {"LISTs nested too deep", chunk("RIFF", "WAVE" + deep), 0, "", ""},
        {"odd chunk without its pad", chunk("RIFF", "AVI " + B("LIST") + le32(15) + "INFO" + "IART" + le32(3) + "Odd"),
         TAG_ARTIST, "", "Odd"},
    };
    for (auto &c : cases) {
        TagText t;
        memset(&t, 0x55, sizeof t);
        EXPECT_EQ(c.bits, parse_before_guard(c.data, &t)) << c.name;
        EXPECT_EQ(c.title, t.title) << c.name;
        EXPECT_EQ(c.artist, t.artist) << c.name;
    }
}

}  // namespace
