// Finding the media path on the player's command line, readability checks,
// and shortcuts resolved through the real shell-link object.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "player.h"
#include "test_util.h"

namespace {

std::string parse(const std::string &line, int *result = nullptr)
{
    char path[260];
    memset(path, 'z', sizeof path);
    int r = player_parse_command_line(line.c_str(), path);
    if (result) *result = r;
    return path;
}

bool make_shortcut(const std::string &lnk, const std::string &target)
{
    IShellLinkA *link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&link)))
        return false;
    link->SetPath(target.c_str());
    IPersistFile *file = nullptr;
    bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file));
    if (ok) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, wide, MAX_PATH);
        ok = SUCCEEDED(file->Save(wide, TRUE));
        file->Release();
    }
    link->Release();
    return ok;
}

class CommandLine : public ::testing::Test {
protected:
    static TempDir *dir;
    static std::string music, song;
    static void SetUpTestSuite()
    {
        CoInitialize(nullptr);
        dir = new TempDir("cmdline");
        music = dir->file("My Music");
        CreateDirectoryA(music.c_str(), nullptr);
        song = music + "\\song one.mp3";
        ASSERT_TRUE(write_text_file(song, "not really an mp3"));
    }
    static void TearDownTestSuite()
    {
        delete dir;
        CoUninitialize();
    }
};
TempDir *CommandLine::dir;
std::string CommandLine::music, CommandLine::song;

TEST_F(CommandLine, Readability)
{
    EXPECT_EQ(1, player_file_is_readable(song.c_str()));
    EXPECT_EQ(0, player_file_is_readable(nullptr));
    EXPECT_EQ(0, player_file_is_readable(""));
    EXPECT_EQ(0, player_file_is_readable("C:"));
    EXPECT_EQ(0, player_file_is_readable(music.c_str())) << "a folder is not readable as a file";
    EXPECT_EQ(0, player_file_is_readable((music + "\\missing.mp3").c_str()));
    std::string long_path = music + "\\" + std::string(300, 'a') + ".mp3";
    EXPECT_EQ(0, player_file_is_readable(long_path.c_str()));
    // A file another program holds without read sharing cannot be opened.
    std::string locked = dir->file("locked.wav");
    HANDLE h = CreateFileA(locked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(0, player_file_is_readable(locked.c_str()));
    CloseHandle(h);
    EXPECT_EQ(1, player_file_is_readable(locked.c_str()));
}

TEST_F(CommandLine, QuotedPathWithSpaces)
{
    int r = 0;
    EXPECT_EQ(song, parse("\"" + song + "\"", &r));
    EXPECT_EQ(1, r);
}

// Names in four scripts reach the player from its command line as they are.
TEST_F(CommandLine, NamesInEveryScript)
{
    for (const std::string &path : media_names()) {
        EXPECT_EQ(path, parse("\"" + path + "\" /firstrun")) << path;
    }
}

TEST_F(CommandLine, UnquotedPathFollowedByOption)
{
    EXPECT_EQ(song, parse(song + " /firstrun"));
    EXPECT_EQ(song, parse("\"" + song + "\" /firstrun"));
    EXPECT_EQ(song, parse("-play " + song)) << "text before the drive letter is skipped";
}

TEST_F(CommandLine, DotInsideAnOptionSwallowsTheLine)
{
    std::string line = song + " /x.y";
    std::string path = parse(line);
    EXPECT_EQ(line, path) << "the token runs to the end and there is no pair of quotes";
    EXPECT_EQ(0, player_file_is_readable(path.c_str()));
    EXPECT_EQ("C:\\a.mp3 /x.y", parse("C:\\a.mp3 /x.y"));
}

TEST_F(CommandLine, OptionAlone)
{
    int r = 0;
    EXPECT_EQ("/firstrun", parse("/firstrun", &r));
    EXPECT_EQ(1, r);
    EXPECT_EQ(0, player_file_is_readable("/firstrun"));
    EXPECT_EQ("", parse("\"/firstrun\"", &r)) << "the quoted text fails too and the path is cleared";
    EXPECT_EQ(1, r);
}

TEST_F(CommandLine, MissingEmptyAndOverlong)
{
    char path[260] = "old";
    EXPECT_EQ(0, player_parse_command_line(nullptr, path));
    EXPECT_STREQ("", path);
    int r = 1;
    EXPECT_EQ("", parse("", &r));
    EXPECT_EQ(0, r);
}

TEST_F(CommandLine, Exactly259CharactersAndOneMore)
{
    std::string folder = dir->path() + "\\";
    folder += std::string(200 - folder.size(), 'd');
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::string file = folder + "\\";
    file += std::string(259 - 4 - file.size(), 'f') + ".wav";
    ASSERT_EQ(259u, file.size());
    ASSERT_TRUE(write_text_file(file, "x"));
    int r = 0;
    EXPECT_EQ(file, parse(file, &r));
    EXPECT_EQ(1, r);
    EXPECT_EQ("", parse(file + " ", &r));
    EXPECT_EQ(0, r);
}

TEST_F(CommandLine, PathStarts)
{
    // UNC and double-slash starts; neither exists, so the token is kept as found.
    EXPECT_EQ("\\\\server\\share\\a.mp3", parse("\\\\server\\share\\a.mp3 /q"));
    EXPECT_EQ("//Server/share/a.mp3", parse("//Server/share/a.mp3 /q"));
    // "//s" needs an upper-case letter: no start, so the token is the first word.
    EXPECT_EQ("x", parse("x //server/a.mp3"));
    // A start in the last three characters is not looked for.
    EXPECT_EQ("abc", parse("abc C:x"));
    // Too short to hold a start at all.
    EXPECT_EQ("C:a", parse("C:a"));
}

TEST_F(CommandLine, QuotedFallbackAfterAFailedToken)
{
    // A dot in the option makes the token run over the closing quote; the quoted text is readable.
    EXPECT_EQ(song, parse("\"" + song + "\" /x.y"));
    // The quoted text is not readable either: the path is cleared.
    EXPECT_EQ("", parse("\"" + music + "\\gone.mp3\" /x.y"));
    // A single quote is no pair: the token stays.
    EXPECT_EQ("/open", parse("/open \"C:\\nothing\\here"));
}

TEST_F(CommandLine, ShortcutToAFileResolvesToIt)
{
    std::string lnk = dir->file("song.lnk");
    ASSERT_TRUE(make_shortcut(lnk, song));
    EXPECT_EQ(song, parse(lnk));
    std::string upper = dir->file("SONG2.LNK");
    ASSERT_TRUE(make_shortcut(upper, song));
    EXPECT_EQ(song, parse("\"" + upper + "\" /firstrun"));

    char buf[260];
    lstrcpyA(buf, lnk.c_str());
    EXPECT_EQ(1, player_resolve_shortcut(buf, buf));
    EXPECT_EQ(song, buf);
}

TEST_F(CommandLine, ShortcutToAFolderPlaysNothing)
{
    std::string lnk = dir->file("folder.lnk");
    ASSERT_TRUE(make_shortcut(lnk, music));
    std::string path = parse(lnk);
    EXPECT_EQ(music, path);
    EXPECT_EQ(0, player_file_is_readable(path.c_str()));
}

TEST_F(CommandLine, BrokenShortcutStaysAsIs)
{
    std::string lnk = dir->file("broken.lnk");
    ASSERT_TRUE(write_text_file(lnk, "this is no shell link"));
    char buf[260];
    lstrcpyA(buf, lnk.c_str());
    EXPECT_EQ(0, player_resolve_shortcut(buf, buf));
    EXPECT_EQ(lnk, buf);
}

}  // namespace
