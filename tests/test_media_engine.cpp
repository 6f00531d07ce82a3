// The media engine on the system's real DirectShow, with media files that the
// tests write themselves.
#include <gtest/gtest.h>
#include <windows.h>

#include <math.h>
#include <string>
#include <vector>

#include "media_writer.h"
#include "sonmoor.h"
#include "test_util.h"

namespace {

std::vector<int> g_events;  // kinds drained on WM_APP_MEDIA_NOTIFY
int g_notifications = 0;

LRESULT CALLBACK owner_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_APP_MEDIA_NOTIFY) {
        g_notifications++;
        int kind = -1;
        while (snm_poll_event(&kind)) g_events.push_back(kind);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

struct ChildCount { const char *cls; int n; };

BOOL CALLBACK count_child(HWND w, LPARAM lp)
{
    ChildCount *c = (ChildCount *)lp;
    char name[64];
    GetClassNameA(w, name, sizeof name);
    if (lstrcmpA(name, c->cls) == 0) c->n++;
    return TRUE;
}

int count_children(HWND parent, const char *cls)
{
    ChildCount ctx = {cls, 0};
    EnumChildWindows(parent, count_child, (LPARAM)&ctx);
    return ctx.n;
}

HWND first_child(HWND parent)
{
    return GetWindow(parent, GW_CHILD);
}

long audio_volume()
{
    long v = 12345;
    if (snm_engine.audio) snm_engine.audio->get_Volume(&v);
    return v;
}

class MediaEngine : public ::testing::Test {
protected:
    static TempDir *dir;
    static std::string wav3, wav_short, avi, avi_silent, garbage, missing;
    HWND owner = nullptr;

    static void SetUpTestSuite()
    {
        CoInitialize(nullptr);
        dir = new TempDir("media");
        wav3 = dir->file("tone3.wav");
        wav_short = dir->file("short.wav");
        avi = dir->file("pattern.avi");
        avi_silent = dir->file("silent.avi");
        garbage = dir->file("garbage.wav");
        missing = dir->file("no such file.wav");
        ASSERT_TRUE(media_write_wav(wav3.c_str(), 3.0, 22050, 1, 440));
        ASSERT_TRUE(media_write_wav(wav_short.c_str(), 0.4, 22050, 2, 660));
        ASSERT_TRUE(media_write_avi(avi.c_str(), 64, 48, 10, 20, 22050, 440));
        ASSERT_TRUE(media_write_avi(avi_silent.c_str(), 32, 24, 10, 10, 0, 0));
        ASSERT_TRUE(media_write_garbage(garbage.c_str(), 4096, 7));
        WNDCLASSA wc = {};
        wc.lpfnWndProc = owner_proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "media_test_owner";
        RegisterClassA(&wc);
    }
    static void TearDownTestSuite()
    {
        delete dir;
        CoUninitialize();
    }
    void SetUp() override
    {
        owner = CreateWindowExA(0, "media_test_owner", "owner", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE,
                                50, 50, 320, 240, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(owner);
        snm_set_owner(owner);
        snm_set_mute(0);
        snm_set_volume(1.0);
        g_events.clear();
        g_notifications = 0;
    }
    void TearDown() override
    {
        snm_stop();
        snm_close();
        snm_set_owner(nullptr);
        DestroyWindow(owner);
        pump_for(10);
    }
    static bool wait_playing(bool playing, DWORD ms = 2000)
    {
        return pump_until([&] { return (snm_is_playing() != 0) == playing; }, ms);
    }
};

TempDir *MediaEngine::dir;
std::string MediaEngine::wav3, MediaEngine::wav_short, MediaEngine::avi, MediaEngine::avi_silent,
    MediaEngine::garbage, MediaEngine::missing;

TEST_F(MediaEngine, WithoutMediaEveryOperationIsANoOp)
{
    char path[260] = "junk";
    EXPECT_EQ(0, snm_is_open());
    EXPECT_EQ(0, snm_play());
    EXPECT_EQ(0, snm_pause());
    EXPECT_EQ(0, snm_stop());
    EXPECT_EQ(0, snm_is_playing());
    EXPECT_EQ(0.0, snm_get_position());
    EXPECT_EQ(0.0, snm_get_duration());
    EXPECT_EQ(0.0, snm_seek(5.0));
    EXPECT_EQ(0, snm_current_path(path));
    EXPECT_STREQ("", path);
    RECT r = {0, 0, 10, 10};
    EXPECT_EQ(0, snm_set_video_rect(&r));
    EXPECT_EQ(1, snm_set_fullscreen(1));
    EXPECT_EQ(0, snm_is_fullscreen());
    int kind = 9;
    EXPECT_EQ(0, snm_poll_event(&kind));
    EXPECT_EQ(9, kind);
    EXPECT_EQ(1, snm_close());
    EXPECT_EQ(1, snm_set_owner(owner));
}

TEST_F(MediaEngine, OpenPlayPauseResumeStopRewinds)
{
    ASSERT_EQ(1, snm_open(wav3.c_str()));
    EXPECT_EQ(1, snm_is_open());
    char path[260];
    EXPECT_EQ(1, snm_current_path(path));
    EXPECT_EQ(wav3, path);
    EXPECT_EQ(0, snm_is_playing()) << "opening does not start playback";
    EXPECT_NEAR(3.0, snm_get_duration(), 0.01);

    EXPECT_EQ(1, snm_play());
    ASSERT_TRUE(wait_playing(true));
    pump_for(600);
    EXPECT_EQ(1, snm_pause());
    ASSERT_TRUE(wait_playing(false));
    double paused_at = snm_get_position();
    EXPECT_GT(paused_at, 0.3);
    pump_for(400);
    EXPECT_NEAR(paused_at, snm_get_position(), 0.05) << "the position holds while paused";

    EXPECT_EQ(1, snm_play());
    ASSERT_TRUE(wait_playing(true));
    pump_for(400);
    EXPECT_GT(snm_get_position(), paused_at + 0.2) << "resumed from where it paused";

    EXPECT_EQ(1, snm_stop());
    EXPECT_EQ(0, snm_is_playing());
    EXPECT_EQ(0.0, snm_get_position());
    EXPECT_EQ(1, snm_play());
    ASSERT_TRUE(wait_playing(true));
    EXPECT_LT(snm_get_position(), paused_at) << "after stop, play starts from the beginning";
}

TEST_F(MediaEngine, PositionAdvancesInRealTime)
{
    ASSERT_EQ(1, snm_open(wav3.c_str()));
    snm_play();
    ASSERT_TRUE(wait_playing(true));
    pump_for(200);
    double p0 = snm_get_position();
    DWORD t0 = GetTickCount();
    pump_for(1000);
    double p1 = snm_get_position();
    double wall = (GetTickCount() - t0) / 1000.0;
    EXPECT_NEAR(wall, p1 - p0, 0.2);
}

// An MP3 by lame under a Cyrillic name plays: the engine hands DirectShow the
// whole name.
TEST_F(MediaEngine, PlaysANameOutsideTheLegacyCodePage)
{
    ASSERT_EQ(1, snm_open(media_names()[3].c_str()));  // "Привет, мир.mp3"
    EXPECT_NEAR(0.6, snm_get_duration(), 0.1);
    snm_play();
    ASSERT_TRUE(wait_playing(true));
    EXPECT_TRUE(pump_until([] { return snm_get_position() > 0.2; }, 2000));
}

TEST_F(MediaEngine, SeekClampsToTheMedia)
{
    ASSERT_EQ(1, snm_open(wav3.c_str()));
    double d = snm_get_duration();
    EXPECT_EQ(0.0, snm_seek(-5.0));
    EXPECT_NEAR(d, snm_seek(10000.0), 1e-6);
    EXPECT_NEAR(1.5, snm_seek(1.5), 1e-3);
    EXPECT_NEAR(1.5, snm_get_position(), 1e-3);
    EXPECT_EQ(0.0, snm_seek(NAN));
}

TEST_F(MediaEngine, VolumeTableToTheLastDigit)
{
    struct Row { double set; long stored; double read; };
    const Row rows[] = {
        {1.0, 0, 1.0},
        {0.81, -999, 0.9001 * 0.9001},
        {0.5, -2928, 0.7072 * 0.7072},
        {0.25, -5000, 0.25},
        {0.1, -6837, 0.3163 * 0.3163},
        {0.0, -10000, 0.0},
    };
    for (int with_media = 0; with_media < 2; with_media++) {
        if (with_media) {
            ASSERT_EQ(1, snm_open(wav3.c_str()));
        }
        for (const Row &r : rows) {
            EXPECT_EQ(r.set, snm_set_volume(r.set));
            EXPECT_EQ(r.stored, snm_volume) << r.set;
            if (with_media) {
                EXPECT_EQ(r.stored, audio_volume()) << "the graph got the same level";
            }
            EXPECT_DOUBLE_EQ(r.read, snm_get_volume()) << r.set;
        }
    }
    EXPECT_DOUBLE_EQ(0.81018001, 0.9001 * 0.9001);
    EXPECT_EQ(1.0, snm_set_volume(1.7));
    EXPECT_EQ(0, snm_volume);
    EXPECT_EQ(0.0, snm_set_volume(-0.2));
    EXPECT_EQ(-10000, snm_volume);
    EXPECT_EQ(0.0, snm_set_volume(NAN));
}

TEST_F(MediaEngine, MuteHoldsSilenceAndSurvivesTheNextOpen)
{
    ASSERT_EQ(1, snm_open(wav3.c_str()));
    snm_set_volume(0.5);
    EXPECT_EQ(1, snm_set_mute(1));
    EXPECT_EQ(1, snm_get_mute());
    EXPECT_EQ(-10000, audio_volume());
    snm_set_volume(1.0);
    EXPECT_EQ(-10000, audio_volume()) << "silent while muted";
    EXPECT_EQ(0, snm_volume);
    EXPECT_DOUBLE_EQ(1.0, snm_get_volume()) << "reads the setting, not the silence";

    ASSERT_EQ(1, snm_open(avi.c_str()));
    EXPECT_EQ(-10000, audio_volume()) << "mute applied at open";
    snm_play();
    EXPECT_EQ(-10000, audio_volume()) << "and at play";
    EXPECT_EQ(0, snm_set_mute(0));
    EXPECT_EQ(0, audio_volume());
    snm_set_volume(0.25);
    ASSERT_EQ(1, snm_open(wav3.c_str()));
    EXPECT_EQ(-5000, audio_volume()) << "the level carries over too";
}

TEST_F(MediaEngine, CompletionArrivesThroughTheOwnersQueue)
{
    ASSERT_EQ(1, snm_open(wav_short.c_str()));
    snm_play();
    ASSERT_TRUE(pump_until([] {
        for (int k : g_events)
            if (k == SNM_EVENT_COMPLETE) return true;
        return false;
    }, 5000)) << "no completion event";
    EXPECT_GE(g_notifications, 1);
    int kind = -1;
    EXPECT_EQ(0, snm_poll_event(&kind)) << "the queue was drained";
}

TEST_F(MediaEngine, OtherEventsAreKindZero)
{
    ASSERT_EQ(1, snm_open(wav3.c_str()));
    IMediaEventSink *sink = nullptr;
    ASSERT_EQ(S_OK, snm_engine.graph->QueryInterface(IID_IMediaEventSink, (void **)&sink));
    int kind = -1;
    while (snm_poll_event(&kind)) {}
    sink->Notify(EC_CLOCK_CHANGED, 0, 0);
    sink->Notify(EC_STATE_CHANGE, State_Paused, 0);
    sink->Notify(EC_ERRORABORT, E_FAIL, 0);
    sink->Release();
    EXPECT_EQ(0, snm_poll_event(nullptr));
    std::vector<int> kinds;
    while (snm_poll_event(&kind)) kinds.push_back(kind);
    EXPECT_EQ((std::vector<int>{0, SNM_EVENT_STATE_CHANGE, 0}), kinds);
}

TEST_F(MediaEngine, MissingFileClosesAndFails)
{
    ASSERT_EQ(1, snm_open(wav3.c_str()));
    EXPECT_EQ(0, snm_open(missing.c_str()));
    EXPECT_EQ(0, snm_is_open());
    char path[260];
    EXPECT_EQ(0, snm_current_path(path));
    ASSERT_EQ(1, snm_open(wav3.c_str()));
    EXPECT_EQ(0, snm_open(dir->file("no folder\\x.wav").c_str())) << "a missing folder";
    EXPECT_EQ(0, snm_is_open());
    ASSERT_EQ(1, snm_open(wav3.c_str()));
    EXPECT_EQ(0, snm_open("ab")) << "a path under 3 characters";
    EXPECT_EQ(0, snm_is_open());
    ASSERT_EQ(1, snm_open(wav3.c_str()));
    EXPECT_EQ(0, snm_open(nullptr));
    EXPECT_EQ(0, snm_is_open());
    ASSERT_EQ(1, snm_open(wav3.c_str()));
    std::string too_long = "C:\\" + std::string(300, 'a') + ".wav";
    EXPECT_EQ(0, snm_open(too_long.c_str()));
    EXPECT_EQ(0, snm_is_open());
}

TEST_F(MediaEngine, UnplayableFileOpensButNeverPlays)
{
    ASSERT_EQ(1, snm_open(garbage.c_str()));
    EXPECT_EQ(1, snm_is_open());
    EXPECT_EQ(1, snm_play());
    pump_for(300);
    EXPECT_EQ(0, snm_is_playing());
    EXPECT_EQ(0.0, snm_get_duration());
}

TEST_F(MediaEngine, WithoutOwnerOpenFailsAndTheMediaStays)
{
    ASSERT_EQ(1, snm_open(wav3.c_str()));
    snm_set_owner(nullptr);
    EXPECT_EQ(0, snm_open(avi.c_str()));
    EXPECT_EQ(1, snm_is_open());
    char path[260];
    snm_current_path(path);
    EXPECT_EQ(wav3, path);
    snm_set_owner(owner);
}

TEST_F(MediaEngine, VideoWindowIsAChildOfTheOwner)
{
    ASSERT_EQ(1, snm_open(avi.c_str()));
    ASSERT_TRUE(snm_engine.video);
    HWND video = first_child(owner);
    ASSERT_TRUE(video);
    EXPECT_EQ(1, count_children(owner, "wine_quartz_window"));
    LONG style = GetWindowLongA(video, GWL_STYLE);
    EXPECT_EQ((LONG)(WS_CHILD | WS_CLIPCHILDREN), style & (WS_CHILD | WS_CLIPCHILDREN | WS_POPUP | WS_CAPTION));
    char caption[64];
    GetWindowTextA(video, caption, sizeof caption);
    EXPECT_STREQ("Quorva Media Player Video", caption);
    RECT client, vr;
    GetClientRect(owner, &client);
    GetWindowRect(video, &vr);
    MapWindowPoints(nullptr, owner, (POINT *)&vr, 2);
    EXPECT_EQ(0, vr.left);
    EXPECT_EQ(0, vr.top);
    EXPECT_EQ(client.right, vr.right);
    EXPECT_EQ(client.bottom, vr.bottom);

    RECT place = {10, 20, 100, 50};  // left, top, width, height
    EXPECT_EQ(1, snm_set_video_rect(&place));
    GetWindowRect(video, &vr);
    MapWindowPoints(nullptr, owner, (POINT *)&vr, 2);
    EXPECT_EQ(10, vr.left);
    EXPECT_EQ(20, vr.top);
    EXPECT_EQ(110, vr.right);
    EXPECT_EQ(70, vr.bottom);

    snm_play();
    ASSERT_TRUE(wait_playing(true));
    snm_close();
    EXPECT_EQ(0, count_children(owner, "wine_quartz_window")) << "closing takes the video away";
}

TEST_F(MediaEngine, SecondOpenReleasesTheFirstGraph)
{
    ASSERT_EQ(1, snm_open(avi.c_str()));
    snm_play();
    ASSERT_TRUE(wait_playing(true));
    IGraphBuilder *first = snm_engine.graph;
    first->AddRef();
    ASSERT_EQ(1, snm_open(avi.c_str()));
    EXPECT_NE(first, snm_engine.graph);
    EXPECT_EQ(1, count_children(owner, "wine_quartz_window")) << "never two video windows";
    EXPECT_EQ(0u, first->Release()) << "the engine let go of every reference to the first graph";
}

TEST_F(MediaEngine, VideoOnlyFileKeepsTheVolumeSetting)
{
    ASSERT_EQ(1, snm_open(avi_silent.c_str()));
    EXPECT_EQ(0.25, snm_set_volume(0.25));
    EXPECT_EQ(-5000, snm_volume);
    EXPECT_DOUBLE_EQ(0.25, snm_get_volume());
    snm_play();
    EXPECT_TRUE(wait_playing(true));
}

TEST_F(MediaEngine, FullScreenFollowsTheVideoWindow)
{
    ASSERT_EQ(1, snm_open(avi.c_str()));
    long mode = 0;
    EXPECT_EQ(1, snm_set_fullscreen(1));
    snm_engine.video->get_FullScreenMode(&mode);
    EXPECT_EQ(mode == OATRUE, snm_is_fullscreen() == 1);
    EXPECT_EQ(0, snm_set_fullscreen(0));
    EXPECT_EQ(0, snm_is_fullscreen());
}

}  // namespace
