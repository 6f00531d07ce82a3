// Adding files, folders, playlists and dropped items from the real file
// system, and the open and save dialogs driven for real.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "playlist.h"
#include "playlist_reset.h"
#include "test_util.h"

namespace {

class Discovery : public ::testing::Test {
protected:
    TempDir dir{"discovery"};
    char old_cwd[MAX_PATH] = "";
    void SetUp() override
    {
        playlist_reset_for_test();
        GetCurrentDirectoryA(MAX_PATH, old_cwd);
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(old_cwd);
        playlist_reset_for_test();
    }
    std::string make(const std::string &name, const std::string &content = "media")
    {
        std::string p = dir.file(name);
        EXPECT_TRUE(write_text_file(p, content));
        return p;
    }
    std::string folder(const std::string &name)
    {
        std::string p = dir.file(name);
        EXPECT_TRUE(CreateDirectoryA(p.c_str(), nullptr));
        return p;
    }
};

TEST_F(Discovery, FolderScanSkipsShellFilesAndRecurses)
{
    std::string f = folder("drop");
    make("drop\\Thumbs.db");
    make("drop\\DESKTOP.INI");
    make("drop\\Folder.HTT");
    std::string notes = make("drop\\notes.txt", "plain text is media too");
    std::string hidden = make("drop\\hidden.wav");
    SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    folder("drop\\songs");
    std::string s1 = make("drop\\songs\\one.mp3"), s2 = make("drop\\songs\\two.mp3");
    folder("drop\\songs\\deeper");
    std::string s3 = make("drop\\songs\\deeper\\three.wav");
    folder("drop\\empty");

    EXPECT_EQ(1, playlist_add(f.c_str()));
    std::vector<std::string> got = playlist_paths();
    std::vector<std::string> want = {notes, hidden, s1, s2, s3};
    std::vector<std::string> sorted = got;
    std::sort(sorted.begin(), sorted.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(want, sorted);
    // Depth first: the subfolder's songs come together where the subfolder was met.
    auto at = [&](const std::string &p) { return std::find(got.begin(), got.end(), p) - got.begin(); };
    long lo = std::min({at(s1), at(s2), at(s3)}), hi = std::max({at(s1), at(s2), at(s3)});
    EXPECT_EQ(2, hi - lo);
    SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Discovery, PlaylistsAreReadNotAdded)
{
    std::string party = dir.file("party");
    CreateDirectoryA(party.c_str(), nullptr);
    std::string s1 = make("party\\a.wav"), s2 = make("party\\b.wav");
    std::string list = make("party\\party.m3u", "#EXTM3U\r\n" + s1 + "\r\n" + s2 + "\r\n");
    EXPECT_EQ(1, playlist_add(list.c_str()));
    EXPECT_EQ((std::vector<std::string>{s1, s2}), playlist_paths());

    playlist_reset_for_test();
    EXPECT_EQ(1, playlist_add(party.c_str()));
    std::vector<std::string> got = playlist_paths();
    EXPECT_EQ(4u, got.size()) << "the folder adds its songs and the list adds them again";
    EXPECT_EQ(2, std::count(got.begin(), got.end(), s1));
    EXPECT_EQ(2, std::count(got.begin(), got.end(), s2));
    EXPECT_EQ(0, std::count(got.begin(), got.end(), list));

    playlist_reset_for_test();
    std::string plain = make("plain.m3u", "no such file\r\nparty\\b.wav\r\n");
    EXPECT_EQ(1, playlist_add(plain.c_str())) << "a list without the marker is a plain list";
    EXPECT_EQ((std::vector<std::string>{s2}), playlist_paths());
}

// Names in four scripts, made by the media script: a folder scan, a UTF-8
// list of relative names and a drop all find every one; a name that would make
// the path longer than 259 bytes of UTF-8 is skipped, not cut.
TEST_F(Discovery, NamesInEveryScript)
{
    const std::vector<std::string> want = media_names();
    const std::string names = want[0].substr(0, want[0].rfind('\\'));
    std::string list = "#EXTM3U\n";
    for (const std::string &path : want) list += path.substr(names.size() + 1) + "\n";
    std::string deep = dir.path();
    while (deep.size() < 200) deep += "\\" + std::string(20, 'd'), CreateDirectoryA(deep.c_str(), nullptr);
    std::string cjk;  // 3 bytes a character: the path passes 259 bytes well before 259 characters
    for (int i = 0; i < 25; i++) cjk += "\xE6\x9D\xB1";
    ASSERT_TRUE(write_text_file(deep + "\\" + cjk + ".mp3", "media"));
    ASSERT_TRUE(write_text_file(deep + "\\short.mp3", "media"));
    ASSERT_TRUE(write_text_file(names + "\\list.m3u8", list));
    for (const std::string &added : {names, names + "\\list.m3u8", deep}) {
        playlist_reset_for_test();
        EXPECT_EQ(1, playlist_add(added.c_str())) << added;
        std::vector<std::string> got = playlist_paths();
        std::sort(got.begin(), got.end());
        if (added == deep) {
            EXPECT_EQ(std::vector<std::string>{deep + "\\short.mp3"}, got);
        } else {
            std::vector<std::string> expect = want;
            if (added == names) expect.insert(expect.end(), want.begin(), want.end());  // and the list once more
            std::sort(expect.begin(), expect.end());
            EXPECT_EQ(expect, got) << added;
        }
    }
    DeleteFileA((names + "\\list.m3u8").c_str());
}

TEST_F(Discovery, MissingLongAndRepeatedPaths)
{
    std::string song = make("song.wav");
    EXPECT_EQ(0, playlist_add(dir.file("missing.wav").c_str()));
    EXPECT_EQ(0, playlist_count);
    std::string long_path = dir.path() + "\\" + std::string(260, 'x');
    long_path.resize(260);
    EXPECT_EQ(0, playlist_add(long_path.c_str()));
    EXPECT_EQ(0, playlist_count);
    EXPECT_EQ(0, playlist_add(nullptr));
    EXPECT_NE(nullptr, playlist_entries) << "even with no path the block is reserved";
    EXPECT_EQ(1, playlist_add(song.c_str()));
    EXPECT_EQ(1, playlist_add(song.c_str()));
    EXPECT_EQ((std::vector<std::string>{song, song}), playlist_paths());
}

TEST_F(Discovery, ChildPathsOverTheLimitAreSkipped)
{
    // A folder whose path leaves room for short names only.
    std::string base = dir.path() + "\\";
    base += std::string(250 - base.size(), 'd');
    ASSERT_TRUE(CreateDirectoryA(base.c_str(), nullptr));
    std::string fits = base + "\\12345678";  // 259 characters
    ASSERT_EQ(259u, fits.size());
    ASSERT_TRUE(write_text_file(fits, "x"));
    // The system refuses to create a longer name here; the scan must simply
    // not add more than what fits.
    EXPECT_EQ(1, playlist_add(base.c_str()));
    EXPECT_EQ((std::vector<std::string>{fits}), playlist_paths());
}

TEST_F(Discovery, DroppedItems)
{
    std::string s1 = make("d1.wav"), s2 = make("d2.wav");
    std::string sub = folder("dsub");
    std::string s3 = make("dsub\\d3.wav");
    std::string list = make("dl.m3u", "#EXTM3U\n" + s1 + "\n");
    std::string too_long = dir.path() + "\\" + std::string(300, 'q');
    HDROP drop = make_hdrop({s2, dir.file("nope.wav"), too_long, sub, list, s2});
    playlist_add_dropped(drop);
    EXPECT_EQ((std::vector<std::string>{s2, s3, s1, s2}), playlist_paths());
}

TEST_F(Discovery, OpenDialogOneFileThreeFilesAndCancel)
{
    std::string s1 = make("o1.wav"), s2 = make("o2.wav"), s3 = make("o3.wav");
    SetCurrentDirectoryA(dir.path().c_str());

    DialogScript one;
    one.title = "Open";
    one.typed = s2;
    HANDLE t = dialog_driver_start(&one);
    EXPECT_EQ(1, playlist_open_dialog(nullptr));
    WaitForSingleObject(t, 10000);
    CloseHandle(t);
    EXPECT_TRUE(one.found);
    EXPECT_EQ((std::vector<std::string>{s2}), playlist_paths());
    EXPECT_EQ((std::vector<std::string>{"All Known Media Files", "Supported Playlist Files", "All Files"}),
              one.file_types);
    EXPECT_EQ(0, one.file_type) << "the first filter is preselected";
    EXPECT_EQ(1, one.read_only) << "the read-only box is shown and starts checked";

    DialogScript three;
    three.title = "Open";
    three.typed = "\"o3.wav\" \"o1.wav\" \"o2.wav\"";
    t = dialog_driver_start(&three);
    EXPECT_EQ(1, playlist_open_dialog(nullptr));
    WaitForSingleObject(t, 10000);
    CloseHandle(t);
    std::vector<std::string> got = playlist_paths();
    ASSERT_EQ(4u, got.size());
    // Each is the folder, a backslash and the name, in the order the dialog gives.
    std::vector<std::string> picked(got.begin() + 1, got.end()), sorted = picked;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ((std::vector<std::string>{s1, s2, s3}), sorted);

    DialogScript cancel;
    cancel.title = "Open";
    cancel.confirm = false;
    t = dialog_driver_start(&cancel);
    EXPECT_EQ(0, playlist_open_dialog(nullptr));
    WaitForSingleObject(t, 10000);
    CloseHandle(t);
    EXPECT_TRUE(cancel.found);
    EXPECT_EQ(4, playlist_count);
}

TEST_F(Discovery, SaveDialogWritesTheChosenFile)
{
    std::string s1 = make("v1.wav"), s2 = make("v2.wav");
    playlist_add(s1.c_str());
    playlist_add(s2.c_str());
    SetCurrentDirectoryA(dir.path().c_str());

    DialogScript save;
    save.title = "Save Playlist";
    save.typed = dir.file("exported");
    HANDLE t = dialog_driver_start(&save);
    playlist_save_dialog(nullptr);
    WaitForSingleObject(t, 10000);
    CloseHandle(t);
    EXPECT_TRUE(save.found);
    EXPECT_EQ((std::vector<std::string>{"M3U Playlist File", "M3U Playlist File, UTF-8"}), save.file_types);
    EXPECT_EQ(-1, save.read_only) << "no read-only box on the save dialog";
    EXPECT_EQ("#EXTM3U\r\n" + s1 + "\r\n" + s2 + "\r\n", read_file_bytes(dir.file("exported.m3u")));

    DialogScript cancel;
    cancel.title = "Save Playlist";
    cancel.confirm = false;
    t = dialog_driver_start(&cancel);
    playlist_save_dialog(nullptr);
    WaitForSingleObject(t, 10000);
    CloseHandle(t);
    EXPECT_TRUE(cancel.found);
}

}  // namespace
