// The player component against a recording decoder library.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mp3/MPEGPlay.h"

namespace tavrin {
namespace {

std::vector<std::string> g_calls;
int g_error = 0;
int g_position = 0;
int g_length = 5000;
unsigned char* g_ended = nullptr;

int Init() {
    return 1;
}
int Deinit() {
    g_calls.push_back("deinit");
    return 1;
}
int Open(const char* name, int mode, MPEGDLL_OPEN_CB, MPEGDLL_CLOSE_CB, MPEGDLL_RESTART_CB,
         MPEGDLL_READ_CB, MPEGDLL_SEEK_CB, MPEGDLL_SIZE_CB, void*) {
    g_calls.push_back("Open " + std::string(name ? name : "(none)") + " " + std::to_string(mode));
    return 1;
}
int Pause(int resume) {
    g_calls.push_back("Pause " + std::to_string(resume));
    return 1;
}
int Restart() {
    g_calls.push_back("Restart");
    return 1;
}
int Stop() {
    g_calls.push_back("Stop");
    return 1;
}
int SetPriority(int p) {
    g_calls.push_back("SetPriority " + std::to_string(p));
    return 1;
}
int SetOutputDevice(int device, const char* file) {
    g_calls.push_back("SetOutputDevice " + std::to_string(device) + " " + file);
    return 1;
}
int Play(int start, int end, unsigned char* ended) {
    g_calls.push_back("Play " + std::to_string(start) + " " + std::to_string(end));
    g_ended = ended;
    return 0;
}
int Close() {
    g_calls.push_back("Close");
    return 1;
}
int Zero() {
    return 0;
}
int ZeroArg(int) {
    return 0;
}
int GetCurrentPos() {
    return g_position;
}
int GetLength() {
    g_calls.push_back("GetLength");
    return g_length;
}
int LastError() {
    g_calls.push_back("LastError");
    return g_error;
}

TMPEGPlayer::Entries RecordingEntries() {
    TMPEGPlayer::Entries e;
    e.init = Init;
    e.deinit = Deinit;
    e.Open = Open;
    e.Pause = Pause;
    e.Restart = Restart;
    e.Stop = Stop;
    e.SetPriority = SetPriority;
    e.SetOutputDevice = SetOutputDevice;
    e.Play = Play;
    e.Close = Close;
    e.GetFrequency = Zero;
    e.GetBitrate = Zero;
    e.GetLayer = Zero;
    e.GetPlayerMode = Zero;
    e.GetCurrentPos = GetCurrentPos;
    e.GetLength = GetLength;
    e.ResetPlayerMode = Zero;
    e.Seek = ZeroArg;
    e.LastError = LastError;
    return e;
}

class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_calls.clear();
        g_error = 0;
        g_position = 0;
        player.UseEntries(RecordingEntries());
    }
    // What the main window's Play button does.
    void PressPlay(const std::string& file) {
        player.SetStreamName(file);
        player.OpenStream();
        player.StartPlay();
    }
    TMPEGPlayer player;
};

TEST_F(PlayerTest, PlayPressCallsTheLibraryInOrder) {
    PressPlay("/music/a.mp3");
    EXPECT_EQ(g_calls,
              (std::vector<std::string>{
                  "Open /music/a.mp3 0", "LastError", "GetLength", "LastError", "SetPriority 0",
                  "LastError", "SetOutputDevice 0 ", "LastError", "Play 0 0", "LastError"}));
    EXPECT_TRUE(player.Playing());
    EXPECT_EQ(player.PlayedXTimes(), 2);
    EXPECT_EQ(player.StreamLength(), 5000);

    // A second press on the same file closes the stream (the name setter), opens it again
    // and starts from the beginning.
    g_calls.clear();
    PressPlay("/music/a.mp3");
    EXPECT_EQ(g_calls.front(), "Close");
    EXPECT_EQ(g_calls[2], "Open /music/a.mp3 0");
    EXPECT_EQ(g_calls[g_calls.size() - 2], "Play 0 0");
}

TEST_F(PlayerTest, DestroyingThePlayerEndsTheLibrarysWorkFirst) {
    {
        TMPEGPlayer playing;
        playing.UseEntries(RecordingEntries());
        playing.SetStreamName("a.mp3");
        playing.OpenStream();
        playing.StartPlay();
        g_calls.clear();
    }
    // deinit stops, closes and joins the playing thread before the library goes.
    EXPECT_EQ(g_calls, (std::vector<std::string>{"deinit"}));
    g_calls.clear();
    { TMPEGPlayer unloaded; }
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(PlayerTest, StopPauseAndTheirModes) {
    try {
        player.StopPlay();
        FAIL() << "Stop before any Play";
    } catch (const TMPEGError& e) {
        EXPECT_STREQ(e.what(), "Incorrect mode");
        EXPECT_EQ(e.ErrorCode, 2);
    }
    PressPlay("a.mp3");
    player.PausePlay(true);
    EXPECT_TRUE(player.Paused());
    g_calls.clear();
    player.StartPlay();  // continues without reopening
    EXPECT_EQ(g_calls, (std::vector<std::string>{"Pause 1", "LastError"}));
    EXPECT_FALSE(player.Paused());
    player.StopPlay();
    EXPECT_FALSE(player.Playing());
    // Played to its end: Stop is refused and the stream stays open.
    PressPlay("a.mp3");
    *g_ended = 1;
    EXPECT_THROW(player.StopPlay(), TMPEGError);
    EXPECT_TRUE(player.Opened());
    g_calls.clear();
    player.CloseStream();
    EXPECT_EQ(player.PlayedXTimes(), 0);
    EXPECT_EQ(g_calls.front(), "Close");
}

TEST_F(PlayerTest, ErrorsOfTheLibraryAndOfTheComponent) {
    try {
        player.SetStreamName("");
        player.OpenStream();
        FAIL();
    } catch (const TMPEGError& e) {
        EXPECT_STREQ(e.what(), "Can't play non-specified stream");
        EXPECT_EQ(e.ErrorCode, 254);
    }
    g_error = 3;
    try {
        PressPlay("bad.mp3");
        FAIL();
    } catch (const TMPEGError& e) {
        EXPECT_STREQ(e.what(), "Input stream error");
        EXPECT_EQ(e.ErrorCode, 3);
    }
    EXPECT_FALSE(player.Opened());
    TMPEGPlayer unloaded;
    try {
        unloaded.SetStreamName("a.mp3");
        unloaded.OpenStream();
        FAIL();
    } catch (const TMPEGError& e) {
        EXPECT_STREQ(e.what(), "MPEG library not loaded");
        EXPECT_EQ(e.ErrorCode, 0);
    }
    TMPEGPlayer missing;
    try {
        missing.BindLibrary("/nonexistent");
        FAIL();
    } catch (const TMPEGError& e) {
        EXPECT_STREQ(e.what(), "Can't load MPEG library");
    }
}

TEST_F(PlayerTest, PropertiesAndTheTimer) {
    player.SetOutputDevice(TOutputDevice::pcmfile);
    EXPECT_EQ(player.OutputDevice(), TOutputDevice::wavemapper);  // no file name yet
    player.OutFilename = "/tmp/out.pcm";
    player.SetOutputDevice(TOutputDevice::pcmfile);
    EXPECT_EQ(player.OutputDevice(), TOutputDevice::pcmfile);
    player.UseTimer = true;
    player.SetTimerFreq(0);
    EXPECT_FALSE(player.UseTimer);
    for (auto p : {TPlayPriority::Idle, TPlayPriority::Lowest, TPlayPriority::BelowNormal,
                   TPlayPriority::Normal, TPlayPriority::AboveNormal, TPlayPriority::Highest,
                   TPlayPriority::TimeCritical})
        EXPECT_EQ(PriorityOfNumber(PriorityNumber(p)), p);
    EXPECT_EQ(PriorityNumber(TPlayPriority::Idle), -15);
    EXPECT_EQ(PriorityOfNumber(7), TPlayPriority::Normal);

    // The timer's tick reports positions (past the length as 0) and sees the end.
    std::vector<std::pair<int, int>> reports;
    bool endSeen = false;
    player.OnPosUpdate = [&](std::int32_t pos, std::int32_t len) { reports.push_back({pos, len}); };
    player.OnPlayEnd = [&] { endSeen = true; };
    PressPlay("a.mp3");
    g_position = 1200;
    player.TimerTick();
    g_position = 99999;
    player.TimerTick();
    *g_ended = 1;
    player.TimerTick();
    EXPECT_EQ(reports[0], (std::pair<int, int>{1200, 5000}));
    EXPECT_EQ(reports[1], (std::pair<int, int>{0, 5000}));
    EXPECT_TRUE(endSeen);
    EXPECT_FALSE(player.Playing());
    EXPECT_FALSE(player.Ended());  // cleared before OnPlayEnd
}

}  // namespace
}  // namespace tavrin
