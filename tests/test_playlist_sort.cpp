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
Bytes syncsafe(uint32_t v)
{
    return be32((v & 0x7F) | (v >> 7 & 0x7F) << 8 | (v >> 14 & 0x7F) << 16 | (v >> 21 & 0x7F) << 24);
}
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
Bytes times(const Bytes &s, int n) { return n > 0 ? s + times(s, n - 1) : ""; }
Bytes utf16(const char *s, bool big, bool bom)  // encoding 1 with a byte order mark, or 2
{
    Bytes o(1, bom ? '\1' : '\2');
    if (bom) o += big ? "\xFE\xFF" : "\xFF\xFE";
    for (; *s; s++) o += big ? Bytes{0, *s} : Bytes{*s, 0};
    return o;
}
Bytes chunk(const char *id, const Bytes &body)  // padded to an even size
{
    return id + le32((uint32_t)body.size()) + body + Bytes(body.size() & 1, '\0');
}
Bytes v1(const Bytes &title, const Bytes &artist)  // zero-filled 30-byte fields
{
    return "TAG" + (title + Bytes(30, '\0')).substr(0, 30) + (artist + Bytes(30, '\0')).substr(0, 30) + Bytes(65, '\0');
}
std::string ansi(const wchar_t *w)
{
    char s[128] = "";
    WideCharToMultiByte(CP_ACP, 0, w, -1, s, sizeof s, nullptr, nullptr);
    return s;
}
const Bytes audio = B("\xFF\xFB\x90\x64\0\0\0\0");  // an MPEG audio frame header and some zeros

// Files for the playlist, added in this order; i.mp3 is never written.
struct Fixture { const char *name; Bytes bytes; };
const Fixture files[] = {
    // Title Foxtrot, after a data chunk longer than any part read at once.
    {"g.wav", chunk("RIFF", "WAVE" + chunk("fmt ", Bytes(16, '\1')) + chunk("data", Bytes(300000, '\0')) +
                                chunk("LIST", "INFO" + chunk("INAM", B("Foxtrot\0"))))},
    // Version 2.3, unsynchronised: Echo by zed.
    {"d.mp3", id3(3, '\x80', unsync(frame(3, "TIT2", latin("Echo")) +
                                    frame(3, "TPE1", utf16("zed", 0, 1) + B("\0\0")))) + audio},
    {"a.mp3", audio + v1("Bravo  ", "Kilo")},
    {"h.avi", chunk("RIFF", "AVI " + chunk("LIST", "hdrl" + chunk("avih", Bytes(56, '\0'))) +
                                chunk("LIST", "INFO" + chunk("IART", B("Bob\0"))) + chunk("LIST", "movi"))},
    // Version 2.4 with an extended header: alpha by Mia.
    {"B.mp3", id3(4, 0x40, syncsafe(6) + B("\1\0") + frame(4, "TPE1", utf16("Mia", 1, 0)) +
                               frame(4, "TIT2", "\3alpha")) + audio},
    {"e.mp3", audio + audio},
    {"f.wav", chunk("RIFF", "WAVE" + chunk("fmt ", Bytes(16, '\1')) +
                                chunk("LIST", "INFO" + chunk("INAM", "delta") + chunk("IART", B("Alpha\0"))) +
                                chunk("data", Bytes(100, '\0')))},
    // Version 2.4 with the tag's and each frame's unsynchronisation and data
    // length indicator: charlie by Juliet.
    {"c.mp3", id3(4, '\x80', frame(4, "TIT2", syncsafe(17) + unsync(utf16("charlie", 0, 1)), 3) +
                                 frame(4, "TPE1", syncsafe(16) + unsync(utf16("Juliet", 1, 1) + B("\0")), 3)) + audio},
    {"i.mp3", ""},
};

class PlaylistSort : public ::testing::Test {
protected:
    TempDir dir{"plsort"};
    std::vector<Bytes> before;  // the records' bytes as added, sorted

    static Bytes record(int i) { return Bytes((const char *)&playlist_entries[i], sizeof(PlaylistEntry)); }
    static std::vector<Bytes> records()
    {
        std::vector<Bytes> v;
        for (int i = 0; i < playlist_count; i++) v.push_back(record(i));
        std::sort(v.begin(), v.end());
        return v;
    }
    void SetUp() override
    {
        playlist_reset_for_test();
        for (const Fixture &f : files) {
            // One path with a forward slash: display names follow either separator.
            std::string path = f.name[0] == 'g' ? dir.path() + "/g.wav" : dir.file(f.name);
            if (!f.bytes.empty()) {
                ASSERT_TRUE(write_text_file(path, f.bytes));
            }
            ASSERT_EQ(1, playlist_reserve());
            ASSERT_EQ(1, playlist_append_file(path.c_str()));
            PlaylistEntry &e = playlist_entries[playlist_count - 1];
            wsprintfA(e.title, "kept title %s", f.name);  // the M3U writer's fields stay as they are
            e.length = 100 + playlist_count;
            if (strchr("af", f.name[0])) e.flags = PLAYLIST_SELECTED | 0x100;
        }
        before = records();
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
    // The same records, byte for byte, in some order (so the selection flags
    // are still on their files), and the current entry still on d.mp3.
    void expect_same_records()
    {
        EXPECT_EQ(before, records());
        char name[MAX_PATH];
        EXPECT_STREQ("d.mp3", playlist_display_name(playlist_current, name));
    }
};

TEST_F(PlaylistSort, ByFileTitleAndArtist)
{
    struct { int order; const char *expected; } cases[] = {
        {PLAYLIST_SORT_FILE, "aBcdefghi"},
        {PLAYLIST_SORT_TITLE, "Bacfdgehi"},   // alpha Bravo charlie delta Echo Foxtrot, then e h i by name
        {PLAYLIST_SORT_ARTIST, "fhcaBdegi"},  // Alpha Bob Juliet Kilo Mia zed, then e g i by name
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
    EXPECT_GT(orders.size(), 1u);  // all five alike: 1 in 362880^4 by chance
}

TEST_F(PlaylistSort, UnknownOrdersAndShortListsAreLeftAlone)
{
    EXPECT_EQ(0, playlist_sort(4));
    EXPECT_EQ(0, playlist_sort(-1));
    EXPECT_EQ("gdahBefci", order());
    Bytes first = record(0);
    for (int count : {1, 0}) {
        playlist_count = count;
        EXPECT_EQ(1, playlist_sort(PLAYLIST_SORT_RANDOM));
        EXPECT_EQ(first, record(0));
    }
}

// Names equal but for case, in files that do not exist (so without tags):
// every order but Random keeps them as they were, over more entries than a
// sort handles by insertion alone.
TEST(PlaylistSortStable, EqualNamesKeepTheirOrder)
{
    playlist_reset_for_test();
    for (int i = 0; i < 40; i++) {
        char path[MAX_PATH];
        wsprintfA(path, "C:\\missing\\%02d\\%s.mp3", i, i % 3 ? "same" : "SAME");
        ASSERT_EQ(1, playlist_reserve());
        ASSERT_EQ(1, playlist_append_file(path));
    }
    for (int order : {PLAYLIST_SORT_FILE, PLAYLIST_SORT_TITLE, PLAYLIST_SORT_ARTIST}) {
        ASSERT_EQ(1, playlist_sort(order));
        for (int i = 0; i < 40; i++) EXPECT_EQ(i, atoi(playlist_entries[i].path + 11)) << order;
    }
    playlist_reset_for_test();
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
        {"truncated header", B("ID3\3\0"), 0, "", ""},
        {"huge tag size", id3(3, 0, frame(3, "TIT2", latin("caf\xE9")), 0x0FFFFFFF), TAG_TITLE, ansi(L"caf\u00e9"), ""},
        {"zero tag size", id3(3, 0, frame(3, "TIT2", latin("no")), 0), 0, "", ""},
        {"frame past the end", id3(3, 0, "TIT2" + be32(1000) + B("\0\0\0ab")), 0, "", ""},
        {"zero-size frame", id3(4, 0, frame(4, "TIT2", "") + frame(4, "TPE1", latin("Zero"))), TAG_ARTIST, "", "Zero"},
        {"huge extended header", id3(3, 0x40, be32(0xFFFFFFF0) + frame(3, "TIT2", latin("no"))), 0, "", ""},
        {"odd UTF-16, no terminator", id3(3, 0, frame(3, "TIT2", B("\1\xFF\xFE" "a\0b\0c"))), TAG_TITLE, "ab", ""},
        {"UTF-8, no terminator", id3(4, 0, frame(4, "TPE1", "\3\xC3\xA9t")), TAG_ARTIST, "", ansi(L"\u00e9t")},
        {"unsynchronised, ending in 0xFF", id3(4, 0, frame(4, "TIT2", unsync(utf16("hi", 0, 1)) + "\xFF", 2)),
         TAG_TITLE, "hi", ""},
        {"cut to 127", id3(3, 0, frame(3, "TPE1", latin(Bytes(200, 'x')))), TAG_ARTIST, "", Bytes(127, 'x')},
        {"ID3v1 fills the gap", id3(3, 0, frame(3, "TPE1", latin("Two"))) + v1("One  ", "Three"),
         TAG_TITLE | TAG_ARTIST, "One", "Two"},
        {"ID3v1 fields without zeros", v1("ThirtyCharactersFillTheField!!", Bytes(30, 'A')), TAG_TITLE | TAG_ARTIST,
         "ThirtyCharactersFillTheField!!", Bytes(30, 'A')},
        {"LIST of 0xFFFFFFF0 bytes",
         chunk("RIFF", "WAVE" + B("LIST") + le32(0xFFFFFFF0) + "INFO" + chunk("INAM", "deep")), TAG_TITLE, "deep", ""},
        {"LISTs nested too deep", chunk("RIFF", "WAVE" + deep), 0, "", ""},
        {"odd chunk without its pad", chunk("RIFF", "AVI " + B("LIST") + le32(15) + "INFO" + "IART" + le32(3) + "Odd"),
         TAG_ARTIST, "", "Odd"},
        {"cut at a whole character", id3(4, 0, frame(4, "TIT2", "\3" + times("\xC3\xA9", 100))), TAG_TITLE,
         times("\xC3\xA9", 63), ""},
        {"UTF-8 cut at the end", chunk("RIFF", "WAVE" + chunk("LIST", "INFO" + chunk("INAM", "caf\xC3"))), TAG_TITLE,
         ansi(L"caf\u00c3"), ""},
        {"comment count 2^32-1", "fLaC" + B("\x84\0\0\x0E") + le32(2) + "vv" + le32(0xFFFFFFFF) + le32(0), 0, "", ""},
        {"comment longer than its block", "fLaC" + B("\x84\0\0\x12") + le32(0) + le32(1) + le32(9) + "TITLE=ab", 0, "",
         ""},
        {"id3 chunk", chunk("RIFF", "WAVE" + chunk("id3 ", id3(3, 0, frame(3, "TPE1", latin("In RIFF"))))), TAG_ARTIST,
         "", "In RIFF"},
    };
    for (auto &c : cases) {
        TagText t;
        memset(&t, 0x55, sizeof t);
        EXPECT_EQ(c.bits, parse_before_guard(c.data, &t)) << c.name;
        if (c.bits) {  // read where it lies in a file, the same
            TagText f;
            TempDir dir("tagfile");
            ASSERT_TRUE(write_text_file(dir.file("t"), c.data));
            EXPECT_EQ(c.bits, tag_read_file(dir.file("t").c_str(), &f)) << c.name;
            EXPECT_EQ(c.title, f.title) << c.name;
        }
        EXPECT_EQ(c.title, t.title) << c.name;
        EXPECT_EQ(c.artist, t.artist) << c.name;
    }
}

// A 1 MB cover before or after the text frames, with or without a stale
// ID3v1 tag: the text comes from the ID3v2 frames, read where they lie.
TEST(TagFile, CoversOfAnySizeAnywhere)
{
    const Bytes cover = frame(4, "APIC", Bytes(1 << 20, '\x7F')), text = frame(4, "TIT2", "\3Fresh") + frame(4, "TPE1", latin("Band"));
    TempDir dir("covers");
    for (int after = 0; after < 2; after++)
        for (int stale = 0; stale < 2; stale++) {
            ASSERT_TRUE(write_text_file(dir.file("c.mp3"), id3(4, 0, after ? text + cover : cover + text) + audio +
                                                               (stale ? v1("Stale", "Stale") : "")));
            TagText t;
            EXPECT_EQ(TAG_TITLE | TAG_ARTIST, tag_read_file(dir.file("c.mp3").c_str(), &t)) << after << stale;
            EXPECT_EQ(std::string("Fresh") + "Band", std::string(t.title) + t.artist) << after << stale;
        }
}

// Tags as eyeD3 (a 1 MB cover first, lame's stale ID3v1 behind), vorbiscomment
// (a 1.3 MB comment first), flac (a picture block), mutagen (a WAV "id3 "
// chunk) and ffmpeg (UTF-8 INFO text) write them.
TEST(TagFile, TagsAsToolsWriteThem)
{
    struct { const char *file, *title, *artist; } cases[] = {
        {"cover.mp3", "Fresh Title", "Fresh Artist"}, {"vorbis.ogg", "Ogg Title", "Ogg Artist"},
        {"tags.flac", "Flac Title", "Flac Artist"},   {"id3chunk.wav", "Chunk Title", "Chunk Artist"},
        {"info.wav", "\xC3\x89t\xC3\xA9", "\xC5\x92uvre"},
    };
    for (auto &c : cases) {
        TagText t;
        EXPECT_EQ(TAG_TITLE | TAG_ARTIST, tag_read_file(media_file(c.file).c_str(), &t)) << c.file;
        EXPECT_STREQ(c.title, t.title) << c.file;
        EXPECT_STREQ(c.artist, t.artist) << c.file;
    }
}

}  // namespace
