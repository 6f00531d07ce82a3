// Playlist files read and written on the real file system: recognition by
// extension and by the 200-byte probe, extended M3U and PLS reading, nesting,
// and the M3U writer's exact bytes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "playlist.h"
#include "playlist_reset.h"
#include "test_util.h"

namespace {

class PlaylistFiles : public ::testing::Test {
protected:
    TempDir dir{"plfiles"};
    std::string a, b, c;
    char old_cwd[MAX_PATH] = "";

    void SetUp() override
    {
        playlist_reset_for_test();
        a = dir.file("a.wav");
        b = dir.file("b.wav");
        c = dir.file("c.mp3");
        for (const std::string &p : {a, b, c}) ASSERT_TRUE(write_text_file(p, "media"));
        GetCurrentDirectoryA(MAX_PATH, old_cwd);
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(old_cwd);
        playlist_reset_for_test();
    }
    std::string make(const std::string &name, const std::string &content)
    {
        std::string p = dir.file(name);
        EXPECT_TRUE(write_text_file(p, content));
        return p;
    }
};

TEST(TextFind, CaseInsensitiveSearch)
{
    const char *text = "abc#ExtM3u tail";
    EXPECT_EQ(text + 3, text_find(text, "#EXTM3U"));
    EXPECT_EQ(text, text_find(text, "ABC"));
    EXPECT_EQ(text + 11, text_find(text, "TAIL"));
    EXPECT_EQ(nullptr, text_find(text, "tails"));  // runs into the terminating zero
    EXPECT_EQ(nullptr, text_find(nullptr, "x"));
    EXPECT_EQ(nullptr, text_find("", "x"));
    EXPECT_EQ(nullptr, text_find("", ""));
    EXPECT_EQ(text, text_find(text, ""));
    EXPECT_EQ(text, text_find(text, nullptr));
    EXPECT_EQ(nullptr, text_find("[PLAY\0list]", "[playlist]")) << "never past the first zero";
    EXPECT_EQ(nullptr, text_find("a@b", "A`B")) << "only ASCII letters fold";
}

TEST_F(PlaylistFiles, RecognitionByExtensionAndProbe)
{
    EXPECT_EQ(1, playlist_is_playlist_file(dir.file("x.M3U").c_str())) << "by name, without opening";
    EXPECT_EQ(1, playlist_is_playlist_file(dir.file("missing.pLs").c_str()));
    EXPECT_EQ(1, playlist_is_playlist_file(make("lower.txt", "junk\n#extm3u\n").c_str()));
    EXPECT_EQ(1, playlist_is_playlist_file(make("pls.txt", "[Playlist]\nFile1=x").c_str()));
    EXPECT_EQ(0, playlist_is_playlist_file(make("plain.txt", "C:\\a.wav\r\n").c_str()));
    EXPECT_EQ(0, playlist_is_playlist_file(make("empty.txt", "").c_str()));
    EXPECT_EQ(0, playlist_is_playlist_file(dir.file("missing.txt").c_str()));
    EXPECT_EQ(0, playlist_is_playlist_file(dir.file("m3u").c_str())) << "no dot at all";
    EXPECT_EQ(1, playlist_is_playlist_file(dir.file("x.M3U8").c_str()));
    // The probe is 200 bytes: a marker inside them counts, one that ends past them does not.
    EXPECT_EQ(1, playlist_is_playlist_file(make("at193.txt", std::string(193, 'x') + "#EXTM3U").c_str()));
    EXPECT_EQ(0, playlist_is_playlist_file(make("at194.txt", std::string(194, 'x') + "#EXTM3U").c_str()));
    EXPECT_EQ(0, playlist_is_playlist_file(make("at200.txt", std::string(200, 'x') + "#EXTM3U").c_str()));
    EXPECT_EQ(0, playlist_is_playlist_file(make("zero.txt", std::string("ab\0#EXTM3U", 10)).c_str()));
    // A file another program holds without read sharing cannot be probed.
    std::string locked = make("locked.txt", "#EXTM3U\n");
    HANDLE h = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(0, playlist_is_playlist_file(locked.c_str()));
    CloseHandle(h);
}

TEST_F(PlaylistFiles, M3uFromTheMarkerOn)
{
    // A byte-order mark and a title before the marker; a readable path before
    // it is ignored too.
    std::string text = "\xEF\xBB\xBFMy list\r\n" + c + "\r\n#EXTM3U\r\n#EXTINF:12,Song A\r\n" + a +
                       "\r\n\r\n\n# comment\r" + b + "\n" + dir.file("missing.wav") + "\r\n" + dir.path() + "\r\n" + a;
    std::string list = make("list.m3u", text);
    EXPECT_EQ(1, playlist_read_file(list.c_str()));
    EXPECT_EQ((std::vector<std::string>{a, b, a}), playlist_paths()) << "folders and missing files are skipped";
}

// Lines as other programs write them: relative to the list's own folder
// (whatever the current folder is) and stored full, with '/' or '\', "." and
// ".."; blanks around them; file:// URIs; UTF-8 with or without a byte order
// mark, and the legacy code page; lists without the marker.
TEST_F(PlaylistFiles, LinesAsOtherProgramsWriteThem)
{
    const std::string cafe = dir.file("caf\xC3\xA9.wav"), sub = dir.file("sub");
    ASSERT_TRUE(write_text_file(cafe, "media"));
    CreateDirectoryA(sub.c_str(), nullptr);
    SetCurrentDirectoryA(sub.c_str());
    const std::string uri_dir = "file:///" + dir.path() + "/";
    struct { const char *name; std::string text; std::vector<std::string> want; } lists[] = {
        {"sub\\rel.m3u", "#EXTM3U\n../b.wav\n.\\..\\a.wav\n  ..\\c.mp3\t \nb.wav\n" + std::string(100000, 'x') + "\n",
         {b, a, c}},
        {"sub\\plain.m3u", "# no marker\n../a.wav\n#../b.wav\n", {a}},
        {"bom.m3u", "\xEF\xBB\xBF" "caf\xC3\xA9.wav\r\n", {cafe}},
        {"list.m3u8", "#EXTM3U\ncaf\xC3\xA9.wav\n", {cafe}},
        {"legacy.m3u", "#EXTM3U\ncaf\xE9.wav\r\n", {cafe}},
        {"uri.m3u", "#EXTM3U\n" + uri_dir + "caf%C3%A9.wav\nfile://localhost/" + a + "\nhttp://host/b.wav\n", {cafe, a}},
        {"spaced.pls", "[playlist]\nFile1 = a.wav  \nFile2=\t" + c + "\n", {a, c}},
        {"bom only.m3u", "\xEF\xBB\xBF", {}},
    };
    for (auto &l : lists) {
        playlist_reset_for_test();
        EXPECT_EQ(1, playlist_read_file(make(l.name, l.text).c_str())) << l.name;
        EXPECT_EQ(l.want, playlist_paths()) << l.name;
    }
}

TEST_F(PlaylistFiles, PlsValuesOfEveryKey)
{
    SetCurrentDirectoryA(dir.path().c_str());
    std::string text = "junk=" + c + "\r\n[playlist]\r\nNumberOfEntries=2\r\nFile1=" + a + "\r\nTitle1=b.wav\r\nLength1=12\r\n"
                       "File2=" + dir.file("gone.wav") + "\r\n; a comment line\r\nFile3=" + c + "\r\nVersion=2";
    std::string list = make("x.pls", text);
    EXPECT_EQ(1, playlist_read_file(list.c_str()));
    EXPECT_EQ((std::vector<std::string>{a, b, c}), playlist_paths()) << "Title1=b.wav names b.wav beside the list";
}

TEST_F(PlaylistFiles, PlsLineWithoutEqualsPassesToTheNextValue)
{
    // The search for '=' runs across the comment line into the next one.
    std::string list = make("y.pls", "[playlist]\n" + a + "\nKey=" + b + "\n");
    EXPECT_EQ(1, playlist_read_file(list.c_str()));
    EXPECT_EQ((std::vector<std::string>{b}), playlist_paths());
    playlist_reset_for_test();
    std::string none = make("none.pls", "[playlist]\r\n" + a + "\r\n" + b);
    EXPECT_EQ(1, playlist_read_file(none.c_str()));
    EXPECT_EQ(0, playlist_count);
}

// A zero byte ends the path but not the line: what follows it up to the
// line's end is ignored, in an M3U line and a PLS value alike.
TEST_F(PlaylistFiles, ZeroByteInsideALineIsNotALineEnd)
{
    const std::string zero(1, '\0'), long_tail(400, 'x');
    struct { const char *name; std::string text; } lists[] = {
        {"z.m3u", "#EXTM3U\r\n" + a + zero + b + "\r\n" + c + zero + long_tail + "\r\n"},
        {"z.pls", "[playlist]\r\nFile1=" + a + zero + "x=" + b + "\r\nFile2=" + c + zero + long_tail + "\r\n"},
    };
    for (auto &l : lists) {
        playlist_reset_for_test();
        EXPECT_EQ(1, playlist_read_file(make(l.name, l.text).c_str()));
        EXPECT_EQ((std::vector<std::string>{a, c}), playlist_paths()) << l.name;
    }
}

TEST_F(PlaylistFiles, BothMarkersReadAsM3uNeitherIsAPlainList)
{
    std::string both = make("both.txt", "[playlist]\nFile1=" + a + "\n#EXTM3U\n" + b + "\n");
    EXPECT_EQ(1, playlist_read_file(both.c_str()));
    EXPECT_EQ((std::vector<std::string>{b}), playlist_paths());
    playlist_reset_for_test();
    std::string plain = make("plain.m3u", a + "\r\n" + b + "\r\n");
    EXPECT_EQ(1, playlist_read_file(plain.c_str()));
    EXPECT_EQ((std::vector<std::string>{a, b}), playlist_paths());
    playlist_reset_for_test();
    EXPECT_EQ(0, playlist_read_file(make("plain.txt", a + "\r\n").c_str())) << "only an M3U name makes it a list";
    EXPECT_EQ(0, playlist_read_file(dir.file("absent.m3u").c_str()));
    EXPECT_EQ(0, playlist_read_file(nullptr));
    std::string empty = make("empty.m3u", "");
    EXPECT_EQ(1, playlist_read_file(empty.c_str())) << "an empty plain list";
    EXPECT_EQ(0, playlist_count);
}

TEST_F(PlaylistFiles, NestedPlaylistsAndCyclesEnd)
{
    std::string inner = make("inner.m3u", "#EXTM3U\n" + b + "\n");
    std::string outer = make("outer.pls", "[playlist]\nFile1=" + a + "\nFile2=" + inner + "\nFile3=" + c + "\n");
    EXPECT_EQ(1, playlist_add(outer.c_str()));
    EXPECT_EQ((std::vector<std::string>{a, b, c}), playlist_paths());

    // A playlist that names itself: read once, its media once each.
    playlist_reset_for_test();
    std::string self = dir.file("self.m3u");
    ASSERT_TRUE(write_text_file(self, "#EXTM3U\n" + a + "\n" + self + "\n" + b + "\n"));
    EXPECT_EQ(1, playlist_add(self.c_str()));
    EXPECT_EQ((std::vector<std::string>{a, b}), playlist_paths());

    // Two playlists naming each other, once through a different spelling of the path.
    playlist_reset_for_test();
    std::string one = dir.file("one.m3u"), two = dir.file("two.m3u");
    std::string two_other_case = dir.file("TWO.M3U");
    ASSERT_TRUE(write_text_file(one, "#EXTM3U\n" + a + "\n" + two_other_case + "\n"));
    ASSERT_TRUE(write_text_file(two, "#EXTM3U\n" + b + "\n" + one + "\n" + c + "\n"));
    EXPECT_EQ(1, playlist_add(one.c_str()));
    EXPECT_EQ((std::vector<std::string>{a, b, c}), playlist_paths());
    // Reading it again after the first read ended adds everything again.
    EXPECT_EQ(1, playlist_add(one.c_str()));
    EXPECT_EQ(6, playlist_count);
}

TEST_F(PlaylistFiles, DeepChainOfDistinctPlaylistsStops)
{
    // 40 playlists, each naming the next and one song: nesting stops at 16
    // playlists open at once, so the first 16 songs are added.
    const int levels = 40;
    for (int i = levels - 1; i >= 0; i--) {
        std::string next = i + 1 < levels ? dir.file("chain" + std::to_string(i + 1) + ".m3u") + "\n" : "";
        make("chain" + std::to_string(i) + ".m3u", "#EXTM3U\n" + a + "\n" + next);
    }
    EXPECT_EQ(1, playlist_add(dir.file("chain0.m3u").c_str()));
    EXPECT_EQ(16, playlist_count);
    for (const std::string &e : playlist_paths()) EXPECT_EQ(a, e);
}

TEST_F(PlaylistFiles, WritesExactBytes)
{
    std::string out = dir.file("zero.m3u");
    char path[260];
    lstrcpyA(path, out.c_str());
    EXPECT_EQ(1, playlist_write_m3u(path));
    EXPECT_EQ("#EXTM3U\r\n", read_file_bytes(out));

    playlist_add(a.c_str());
    lstrcpyA(path, out.c_str());
    EXPECT_EQ(1, playlist_write_m3u(path));
    EXPECT_EQ("#EXTM3U\r\n" + a + "\r\n", read_file_bytes(out)) << "an existing file is replaced";

    playlist_add(b.c_str());
    playlist_add(c.c_str());
    playlist_add(a.c_str());
    lstrcpyA(path, out.c_str());
    EXPECT_EQ(1, playlist_write_m3u(path));
    EXPECT_EQ("#EXTM3U\r\n" + a + "\r\n" + b + "\r\n" + c + "\r\n" + a + "\r\n", read_file_bytes(out));

    // Write, clear, read back: the same entries. A path beyond ASCII makes
    // the list UTF-8 with its byte order mark, under either M3U name.
    const std::string cafe = dir.file("caf\xC3\xA9.wav");
    ASSERT_TRUE(write_text_file(cafe, "media"));
    for (const char *name : {"zero.m3u", "utf8.m3u8"}) {
        lstrcpyA(path, dir.file(name).c_str());
        std::vector<std::string> before = playlist_paths();
        EXPECT_EQ(1, playlist_write_m3u(path));
        EXPECT_EQ(dir.file(name), path);
        playlist_clear();
        EXPECT_EQ(1, playlist_read_file(path));
        EXPECT_EQ(before, playlist_paths());
        playlist_add(cafe.c_str());
    }
    EXPECT_EQ("\xEF\xBB\xBF#EXTM3U\r\n" + a + "\r\n" + b + "\r\n" + c + "\r\n" + a + "\r\n" + cafe + "\r\n",
              read_file_bytes(dir.file("utf8.m3u8")));
}

TEST_F(PlaylistFiles, LengthsAreWrittenAsExtendedInformation)
{
    playlist_add(a.c_str());
    playlist_add(b.c_str());
    playlist_add(c.c_str());
    playlist_entries[0].length = 42;
    lstrcpyA(playlist_entries[0].title, "Title never written");
    playlist_entries[1].length = -7;
    char path[260];
    lstrcpyA(path, dir.file("ext.m3u").c_str());
    EXPECT_EQ(1, playlist_write_m3u(path));
    EXPECT_EQ("#EXTM3U\r\n#EXTINF:42\r\n" + a + "\r\n#EXTINF:\r\n" + b + "\r\n" + c + "\r\n", read_file_bytes(path));
}

TEST_F(PlaylistFiles, ExtensionRules)
{
    char path[300];
    lstrcpyA(path, dir.file("list.txt").c_str());
    EXPECT_EQ(1, playlist_write_m3u(path));
    EXPECT_EQ(dir.file("list.txt.m3u"), path);
    EXPECT_EQ("#EXTM3U\r\n", read_file_bytes(path));

    lstrcpyA(path, dir.file("noext").c_str());
    EXPECT_EQ(1, playlist_write_m3u(path));
    EXPECT_EQ(dir.file("noext.m3u"), path);

    lstrcpyA(path, dir.file("UPPER.M3U").c_str());
    EXPECT_EQ(1, playlist_write_m3u(path));
    EXPECT_EQ(dir.file("UPPER.M3U"), path);

    // 256 characters plus ".m3u" would be 260: refused, the buffer kept.
    std::string base = dir.path() + "\\";
    base += std::string(256 - base.size(), 'n');
    lstrcpyA(path, base.c_str());
    EXPECT_EQ(0, playlist_write_m3u(path));
    EXPECT_EQ(base, path);
    // 255 plus ".m3u" is 259 and fits the rule; the folder exists, so it is written.
    base.pop_back();
    lstrcpyA(path, base.c_str());
    EXPECT_EQ(1, playlist_write_m3u(path));
    EXPECT_EQ(base + ".m3u", path);

    lstrcpyA(path, dir.file("no folder\\x.m3u").c_str());
    EXPECT_EQ(0, playlist_write_m3u(path));
    EXPECT_EQ(0, playlist_write_m3u(nullptr));
}

}  // namespace
