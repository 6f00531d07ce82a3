// The playlist model: storage policy, current entry, stepping, selection,
// removal with compaction and clearing.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "playlist.h"
#include "playlist_reset.h"

namespace {

class PlaylistModel : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset()
    {
        playlist_reset_for_test();
        playlist_block_limit = (SIZE_T)-1;
    }
    static void add(const std::string &path)
    {
        ASSERT_EQ(1, playlist_reserve());
        ASSERT_EQ(1, playlist_append_file(path.c_str()));
    }
    static void add_letters(const char *letters)
    {
        for (const char *c = letters; *c; c++) add(std::string("C:\\m\\") + *c + ".mp3");
    }
    static std::string names()
    {
        std::string s;
        char buf[260];
        for (int i = 0; i < playlist_count; i++) s += playlist_display_name(i, buf)[0];
        return s;
    }
    static bool tail_is_zero()
    {
        const unsigned char *p = (const unsigned char *)playlist_entries;
        SIZE_T size = GlobalSize(playlist_entries);
        for (SIZE_T i = (SIZE_T)playlist_count * sizeof(PlaylistEntry); i < size; i++)
            if (p[i]) return false;
        return true;
    }
};

TEST_F(PlaylistModel, RecordLayout)
{
    EXPECT_EQ(396u, sizeof(PlaylistEntry));
    EXPECT_EQ(0u, offsetof(PlaylistEntry, path));
    EXPECT_EQ(260u, offsetof(PlaylistEntry, title));
    EXPECT_EQ(388u, offsetof(PlaylistEntry, length));
    EXPECT_EQ(392u, offsetof(PlaylistEntry, flags));
}

TEST_F(PlaylistModel, BlockSizesFollowTheReservationRule)
{
    add("C:\\a.mp3");
    EXPECT_EQ(4492u, GlobalSize(playlist_entries));
    for (int i = 2; i <= 40; i++) {
        add("C:\\a.mp3");
        // Short lists are rebuilt on every addition at exactly needed + 4096.
        ASSERT_EQ((SIZE_T)i * 396 + 4096, GlobalSize(playlist_entries)) << "after addition " << i;
    }
    EXPECT_EQ(40 * 396 + 4096u, GlobalSize(playlist_entries));
    add("C:\\a.mp3");  // the 41st: needed 16236 is below the threshold, rebuilt
    EXPECT_EQ(16236u + 4096u, GlobalSize(playlist_entries));
    PlaylistEntry *block41 = playlist_entries;
    add("C:\\a.mp3");  // the 42nd: needed 16632 fits in 20332, kept
    EXPECT_EQ(block41, playlist_entries);
    EXPECT_EQ(20332u, GlobalSize(playlist_entries));
    EXPECT_EQ(42, playlist_count);

    // Kept until full, then grown by half as many records again: the 52nd
    // addition needs 20592 bytes and gets 26 records more, the 78th 39 more.
    struct { int addition; SIZE_T size; } growth[] = {{52, 52 * 396 + 26 * 396}, {78, 78 * 396 + 39 * 396},
                                                       {117, 117 * 396 + 58 * 396}};
    for (auto &g : growth) {
        PlaylistEntry *kept = playlist_entries;
        SIZE_T before = GlobalSize(kept);
        while (playlist_count < g.addition - 1) {
            add("C:\\a.mp3");
            ASSERT_EQ(kept, playlist_entries) << playlist_count;
        }
        EXPECT_LE(before, (SIZE_T)g.addition * 396);  // full
        add("C:\\a.mp3");
        EXPECT_EQ(g.size, GlobalSize(playlist_entries)) << "addition " << g.addition;
        EXPECT_TRUE(tail_is_zero());
    }
    for (int i = 0; i < playlist_count; i++) ASSERT_STREQ("C:\\a.mp3", playlist_entries[i].path);

    // A long list is replaced only a few dozen times, and shrinks back once
    // compaction takes it below the threshold.
    int replaced = 0;
    while (playlist_count < 100000) {
        PlaylistEntry *before = playlist_entries;
        add("C:\\b.mp3");
        replaced += before != playlist_entries;
    }
    EXPECT_LE(replaced, 30);
    EXPECT_GE(GlobalSize(playlist_entries), 100000u * 396 + 4096);
    for (int i = 10; i < playlist_count; i++) playlist_entries[i].flags = PLAYLIST_SELECTED;
    playlist_remove_selected();
    EXPECT_EQ(10, playlist_count);
    EXPECT_EQ(11u * 396 + 4096, GlobalSize(playlist_entries));
}

// Growth that cannot be had (a size past the address space) fails the one
// addition and leaves the list as it was.
TEST_F(PlaylistModel, FailedGrowthKeepsTheList)
{
    add_letters("ABC");
    PlaylistEntry *block = playlist_entries;
    std::string bytes((const char *)block, GlobalSize(block));
    for (int32_t count : {2000000000, INT32_MAX}) {
        playlist_count = count;
        EXPECT_EQ(0, playlist_reserve());
        EXPECT_EQ(block, playlist_entries);
        playlist_count = 3;
        EXPECT_EQ(bytes, std::string((const char *)block, GlobalSize(block)));
    }
}

// Under memory pressure a full long list takes the short lists' 4096-byte
// step when its half-again block cannot be had, and fails, unchanged, only
// when neither fits.
TEST_F(PlaylistModel, GrowthFallsBackToTheSmallStep)
{
    for (int i = 0; i < 116; i++) add("C:\\m\\" + std::to_string(i) + ".mp3");
    PlaylistEntry *full = playlist_entries;
    ASSERT_EQ(117u * 396, GlobalSize(full));  // the 117th addition replaces it
    std::string bytes((const char *)full, GlobalSize(full));
    playlist_block_limit = 117 * 396 + 4095;
    EXPECT_EQ(0, playlist_reserve());
    EXPECT_EQ(full, playlist_entries);
    EXPECT_EQ(bytes, std::string((const char *)full, GlobalSize(full)));
    playlist_block_limit = 117 * 396 + 58 * 396 - 1;
    ASSERT_EQ(1, playlist_reserve());
    EXPECT_EQ(117u * 396 + 4096, GlobalSize(playlist_entries));
    EXPECT_EQ(bytes, std::string((const char *)playlist_entries, bytes.size()));
    EXPECT_TRUE(tail_is_zero());
}

// One pass gives exactly what bubbling the empty records to the end gave:
// the same records, order, count and zero bytes behind them.
TEST_F(PlaylistModel, CompactionMatchesBubblePasses)
{
    srand(7);
    for (int round = 0; round < 200; round++) {
        reset();
        int n = rand() % 60;
        for (int i = 0; i < n; i++) add("C:\\m\\" + std::to_string(i) + ".mp3");
        for (int i = 0; i < n; i++) {
            playlist_entries[i].flags = rand() & 3;
            playlist_entries[i].length = rand();
            if (rand() % 3 == 0) memset(&playlist_entries[i], 0, sizeof(PlaylistEntry));
        }
        std::vector<PlaylistEntry> expected(playlist_entries, playlist_entries + n);
        for (int pass = 0; pass + 1 < n; pass++)
            for (int k = 0; k + 1 < n; k++)
                if (!expected[k].path[0] && expected[k + 1].path[0]) std::swap(expected[k], expected[k + 1]);
        int count = 0;
        while (count < n && expected[count].path[0]) count++;
        playlist_compact();
        ASSERT_EQ(count, playlist_count);
        ASSERT_EQ(0, memcmp(expected.data(), playlist_entries, (size_t)count * sizeof(PlaylistEntry))) << round;
        ASSERT_TRUE(tail_is_zero());
    }
}

TEST_F(PlaylistModel, ClearingRepacksAndLongListsShrinkBelowTheThreshold)
{
    for (int i = 0; i < 60; i++) add("C:\\x\\" + std::to_string(i) + ".wav");
    playlist_clear();
    EXPECT_EQ(0, playlist_count);
    EXPECT_EQ(396u + 4096u, GlobalSize(playlist_entries));
    EXPECT_TRUE(tail_is_zero());
    EXPECT_EQ(nullptr, playlist_current_path());
}

TEST_F(PlaylistModel, AppendCopiesPathAndZeroesTheRest)
{
    add("C:\\Music\\a.mp3");
    const PlaylistEntry &e = playlist_entries[0];
    EXPECT_STREQ("C:\\Music\\a.mp3", e.path);
    EXPECT_EQ(0, e.title[0]);
    EXPECT_EQ(0, e.length);
    EXPECT_EQ(0u, e.flags);
    add("C:\\Music\\a.mp3");  // duplicates are allowed
    EXPECT_EQ(2, playlist_count);
    // An over-long path is cut at 259 characters instead of overrunning the record.
    std::string longer(300, 'x');
    add(longer);
    EXPECT_EQ(259u, strlen(playlist_entries[2].path));
    EXPECT_EQ(0, playlist_entries[2].title[0]);
}

TEST_F(PlaylistModel, CurrentPathClamps)
{
    EXPECT_EQ(nullptr, playlist_current_path());
    add_letters("ABC");
    playlist_current = 7;
    ASSERT_NE(nullptr, playlist_current_path());
    EXPECT_STREQ("C:\\m\\C.mp3", playlist_current_path());
    EXPECT_EQ(2, playlist_current);
    playlist_current = -3;
    EXPECT_STREQ("C:\\m\\A.mp3", playlist_current_path());
    EXPECT_EQ(0, playlist_current);
}

TEST_F(PlaylistModel, DisplayName)
{
    add("C:\\Music\\a.mp3");
    add("D:/media/b.mp3");
    add("track.wav");
    add("C:\\dir/with\\mixed/c.ogg");  // the last backslash wins over a later slash
    char buf[260];
    EXPECT_STREQ("a.mp3", playlist_display_name(0, buf));
    EXPECT_STREQ("b.mp3", playlist_display_name(1, buf));
    EXPECT_STREQ("track.wav", playlist_display_name(2, buf));
    EXPECT_STREQ("mixed/c.ogg", playlist_display_name(3, buf));
    EXPECT_EQ(buf, playlist_display_name(0, buf));
}

TEST_F(PlaylistModel, SteppingWrapsAround)
{
    EXPECT_EQ(0, playlist_step(1));
    add_letters("ABCDE");
    playlist_current = 4;
    EXPECT_EQ(1, playlist_step(1));
    EXPECT_EQ(0, playlist_current);
    EXPECT_EQ(1, playlist_step(-1));
    EXPECT_EQ(4, playlist_current);
    playlist_current = 1;
    playlist_step(-7);
    EXPECT_EQ(4, playlist_current);
    playlist_current = 2;
    playlist_step(13);
    EXPECT_EQ(0, playlist_current);
    // Extreme deltas and an out-of-range current index stay in range.
    playlist_current = 3;
    playlist_step(INT_MIN);
    EXPECT_EQ(0, playlist_current);  // -2147483645 is a multiple of 5
    playlist_current = INT_MAX;
    playlist_step(INT_MAX);
    EXPECT_EQ(4, playlist_current);  // 4294967294 = 5 x 858993458 + 4
}

TEST_F(PlaylistModel, SteppingWithOneEntryStays)
{
    add("C:\\only.mp3");
    for (int d : {1, -1, 5, -9}) {
        playlist_step(d);
        EXPECT_EQ(0, playlist_current);
    }
}

TEST_F(PlaylistModel, Selection)
{
    add_letters("ABCD");
    EXPECT_EQ(0, playlist_toggle_selection(-1, 0));
    EXPECT_EQ(0, playlist_toggle_selection(4, 0));
    playlist_toggle_selection(0, 1);
    playlist_toggle_selection(1, 1);
    EXPECT_EQ(1, playlist_toggle_selection(2, 0));
    auto selected = [] {
        std::string s;
        for (int i = 0; i < playlist_count; i++) s += (playlist_entries[i].flags & PLAYLIST_SELECTED) ? '1' : '0';
        return s;
    };
    EXPECT_EQ("0010", selected());
    playlist_toggle_selection(2, 0);  // cleared, then inverted: still selected
    EXPECT_EQ("0010", selected());
    playlist_toggle_selection(2, 1);
    EXPECT_EQ("0000", selected());
    playlist_toggle_selection(3, 1);
    playlist_toggle_selection(0, 1);
    EXPECT_EQ("1001", selected());
    for (int i = 0; i < playlist_count; i++) EXPECT_EQ(0u, playlist_entries[i].flags & ~PLAYLIST_SELECTED);
}

TEST_F(PlaylistModel, RemovalKeepsTheCurrentEntry)
{
    struct Case { const char *selected; int current; const char *left; int now; };
    const Case cases[] = {
        {"BD", 2, "ACE", 1},  // C stays current
        {"AB", 2, "CDE", 0},
        {"C", 2, "ABDE", 2},  // D takes the removed current entry's place
        {"E", 4, "ABCD", 3},  // the last, current: the new last
        {"ABCDE", 3, "", 0},
        {"", 1, "ABCDE", 1},
    };
    for (const Case &c : cases) {
        reset();
        add_letters("ABCDE");
        for (const char *s = c.selected; *s; s++) playlist_toggle_selection(*s - 'A', 1);
        playlist_current = c.current;
        EXPECT_EQ(1, playlist_remove_selected());
        EXPECT_EQ(c.left, names()) << "selected " << c.selected;
        EXPECT_EQ((int)strlen(c.left), playlist_count);
        if (playlist_count) {
            EXPECT_EQ(c.now, playlist_current) << "selected " << c.selected;
        }
        EXPECT_TRUE(tail_is_zero());
        EXPECT_EQ((SIZE_T)(playlist_count + 1) * 396 + 4096, GlobalSize(playlist_entries));
    }
}

TEST_F(PlaylistModel, RemovingEverythingThenAdding)
{
    add("C:\\only.mp3");
    playlist_toggle_selection(0, 0);
    playlist_remove_selected();
    EXPECT_EQ(0, playlist_count);
    EXPECT_EQ(nullptr, playlist_current_path());
    add("C:\\new.mp3");
    EXPECT_STREQ("C:\\new.mp3", playlist_current_path());
    EXPECT_EQ(0, playlist_current);
}

TEST_F(PlaylistModel, CompactionIsStable)
{
    add_letters("ABCDEFGHIJ");
    // Hollow out every other record by hand, as removal does.
    for (int i : {0, 2, 3, 7, 9}) memset(&playlist_entries[i], 0, sizeof(PlaylistEntry));
    playlist_entries[5].flags = PLAYLIST_SELECTED;
    playlist_current = 9;
    playlist_compact();
    EXPECT_EQ("BEFGI", names());
    EXPECT_EQ(4, playlist_current);
    EXPECT_EQ(PLAYLIST_SELECTED, playlist_entries[2].flags);  // F kept its flags as it moved
    EXPECT_TRUE(tail_is_zero());
}

TEST_F(PlaylistModel, ClearingKeepsTheCurrentIndexUntilUsed)
{
    add_letters("ABC");
    playlist_current = 2;
    EXPECT_EQ(1, playlist_clear());
    EXPECT_EQ(0, playlist_count);
    EXPECT_EQ(2, playlist_current);
    add_letters("X");
    EXPECT_STREQ("C:\\m\\X.mp3", playlist_current_path());
    EXPECT_EQ(0, playlist_current);
}

TEST_F(PlaylistModel, NegativeCountAndIndexAreRepaired)
{
    playlist_count = -5;
    playlist_current = -2;
    ASSERT_EQ(1, playlist_reserve());
    EXPECT_EQ(0, playlist_count);
    EXPECT_EQ(0, playlist_current);
    EXPECT_EQ(4492u, GlobalSize(playlist_entries));
}

}  // namespace
