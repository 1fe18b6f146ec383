// Playing to a raw PCM file: what comes out, positions, pausing, stopping, restarting,
// seeking, the playing thread's priority, and the sound output.
#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/mpegdll/MpegDllTestSupport.h"

namespace tavrin::test::mpegdll {
namespace {

constexpr long kFrame = 1152;  // samples per channel in an MPEG-1 layer III frame

using Playback = MpegDllTest;

TEST_F(Playback, FilesPlayCompletelyInTheirOwnFormat) {
    std::string pcm = UsePcmFile();
    ASSERT_EQ(api_.OpenFile(Files().stereo), 0);
    EXPECT_EQ(api_.GetPlayerMode(), kOpened);
    EXPECT_NEAR(api_.GetLength(), 1000, 30);
    EXPECT_EQ(api_.GetFrequency(), 44100);
    EXPECT_EQ(api_.GetLayer(), 3);
    EXPECT_EQ(api_.GetBitrate(), 128);
    ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
    ASSERT_TRUE(WaitForEnded(&ended_));
    EXPECT_EQ(ended_, 1);
    EXPECT_EQ(api_.GetPlayerMode(), kEnded);
    EXPECT_EQ(api_.LastError(), MPEGDLL_OK);
    EXPECT_NEAR(api_.GetCurrentPos(), 1000, 30);
    std::vector<int16_t> samples = ReadPcm(pcm);
    EXPECT_NEAR(static_cast<long>(samples.size()) / 2, 44100, kFrame);
    // 440 Hz left, 880 Hz right: native 16-bit samples, channels interleaved in order.
    EXPECT_NEAR(ZeroCrossings(samples, 2, 0), 880, 20);
    EXPECT_NEAR(ZeroCrossings(samples, 2, 1), 1760, 30);
    EXPECT_EQ(api_.ResetPlayerMode(), 0);
    EXPECT_EQ(api_.GetPlayerMode(), kOpened);

    ASSERT_EQ(api_.OpenFile(Files().mono), 0);
    EXPECT_EQ(api_.GetFrequency(), 22050);
    EXPECT_NEAR(api_.GetLength(), 1000, 30);
    ended_ = 0;
    ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
    ASSERT_TRUE(WaitForEnded(&ended_));
    samples = ReadPcm(pcm);
    EXPECT_NEAR(static_cast<long>(samples.size()), 22050, kFrame / 2);
    EXPECT_NEAR(ZeroCrossings(samples, 1, 0), 880, 20);
}

TEST_F(Playback, StartAndEndPositionsCutTheOutputExactly) {
    std::string whole = UsePcmFile("whole.pcm");
    ASSERT_EQ(api_.OpenFile(Files().stereo), 0);
    ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
    ASSERT_TRUE(WaitForEnded(&ended_));
    std::string all = ReadFile(whole);

    std::string pcm = UsePcmFile("part.pcm");
    struct Case {
        int start, end;
        long samples;
    };
    for (Case c :
         {Case{250, 750, 22050}, Case{500, 0, 22050}, Case{0, 100, 4410}, Case{2000, 0, 0}}) {
        SCOPED_TRACE(std::to_string(c.start) + ".." + std::to_string(c.end));
        ended_ = 0;
        ASSERT_EQ(api_.Play(c.start, c.end, &ended_), 0);
        ASSERT_TRUE(WaitForEnded(&ended_));
        std::string part = ReadFile(pcm);
        EXPECT_NEAR(static_cast<long>(part.size()) / 4, c.samples, 2);
        // The same samples as that stretch of the whole decode.
        size_t from = static_cast<size_t>(c.start) * 441 / 10 * 4;
        EXPECT_TRUE(part == all.substr(std::min(from, all.size()), part.size()));
        EXPECT_NEAR(api_.GetCurrentPos(), c.end > 0 ? c.end : 1000, c.end > 0 ? 1 : 30);
    }
}

TEST_F(Playback, PauseHoldsThePositionAndContinueFinishes) {
    std::string pcm = UsePcmFile();
    MemoryStream& stream = OpenSlowStream(5);
    ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
    EXPECT_EQ(api_.GetPlayerMode(), kPlaying);
    ASSERT_EQ(api_.Pause(0), 0);
    EXPECT_EQ(api_.GetPlayerMode(), kPaused);
    EXPECT_EQ(api_.Pause(0), 0);  // twice is harmless
    SleepMs(60);
    int held = api_.GetCurrentPos();
    int reads = stream.reads;
    SleepMs(150);
    EXPECT_EQ(api_.GetCurrentPos(), held);
    EXPECT_EQ(stream.reads, reads);
    EXPECT_FALSE(IsSet(ended_));
    ASSERT_EQ(api_.Pause(1), 0);
    EXPECT_EQ(api_.GetPlayerMode(), kPlaying);
    ASSERT_TRUE(WaitForEnded(&ended_));
    EXPECT_NEAR(PcmSamples(pcm), 44100, kFrame);  // nothing lost
    EXPECT_EQ(api_.Pause(1), MPEGDLL_BAD_MODE);
}

TEST_F(Playback, StopLeavesTheStreamOpenedWithoutSettingEnded) {
    std::string pcm = UsePcmFile();
    MemoryStream& stream = OpenSlowStream(5);
    for (bool pausedFirst : {false, true}) {
        ended_ = 0;
        ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
        SleepMs(100);
        if (pausedFirst) {
            ASSERT_EQ(api_.Pause(0), 0);
        }
        ASSERT_EQ(api_.Stop(), 0);
        EXPECT_EQ(api_.GetPlayerMode(), kOpened);
        SleepMs(30);
        EXPECT_FALSE(IsSet(ended_));
        EXPECT_LT(PcmSamples(pcm), 40000);
        EXPECT_EQ(api_.Stop(), MPEGDLL_BAD_MODE);
    }
    stream.readDelayMs = 0;
    ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
    ASSERT_TRUE(WaitForEnded(&ended_));
    EXPECT_NEAR(PcmSamples(pcm), 44100, kFrame);
}

TEST_F(Playback, RestartPlaysTheLastPlayAgainIntoATruncatedFile) {
    std::string pcm = UsePcmFile();
    MemoryStream& stream = OpenSlowStream(0);
    EXPECT_EQ(api_.Restart(), MPEGDLL_BAD_MODE);  // nothing played yet
    ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
    ASSERT_TRUE(WaitForEnded(&ended_));
    std::string first = ReadFile(pcm);

    // Another output chosen since does not change where Restart plays to.
    std::string other = UsePcmFile("other.pcm");
    WriteFile(pcm, first + std::string(100000, 'x'));
    ended_ = 0;
    ASSERT_EQ(api_.Restart(), 0);
    ASSERT_TRUE(WaitForEnded(&ended_));
    EXPECT_TRUE(ReadFile(pcm) == first);
    EXPECT_FALSE(FileExists(other));

    // While playing: from the start again.
    stream.readDelayMs = 3;
    ended_ = 0;
    ASSERT_EQ(api_.Restart(), 0);
    SleepMs(150);
    ASSERT_EQ(api_.Restart(), 0);
    EXPECT_LT(api_.GetCurrentPos(), 500);
    ASSERT_TRUE(WaitForEnded(&ended_));
    EXPECT_TRUE(ReadFile(pcm) == first);
}

TEST_F(Playback, SeekMovesThePlayingPosition) {
    std::string pcm = UsePcmFile();
    OpenSlowStream(5);
    ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
    ASSERT_EQ(api_.Pause(0), 0);
    SleepMs(50);
    long before = PcmSamples(pcm);
    ASSERT_EQ(api_.Seek(700), 0);
    EXPECT_EQ(api_.GetCurrentPos(), 700);
    ASSERT_EQ(api_.Pause(1), 0);
    ASSERT_TRUE(WaitForEnded(&ended_));
    EXPECT_NEAR(PcmSamples(pcm) - before, 13230, kFrame);  // the last 300 ms
    // Beyond the end is the end; before the start is the start.
    EXPECT_EQ(api_.Seek(50000), 0);
    EXPECT_NEAR(api_.GetCurrentPos(), api_.GetLength(), 1);
    EXPECT_EQ(api_.Seek(-5), 0);
    EXPECT_EQ(api_.GetCurrentPos(), 0);
}

// How many threads of this process run at this nice value.
int ThreadsAtNice(int nice) {
    int count = 0;
    DIR* dir = opendir("/proc/self/task");
    while (dirent* entry = dir != nullptr ? readdir(dir) : nullptr) {
        std::ifstream in(std::string("/proc/self/task/") + entry->d_name + "/stat");
        std::string stat((std::istreambuf_iterator<char>(in)), {});
        size_t paren = stat.rfind(')');
        if (entry->d_name[0] == '.' || paren == std::string::npos) continue;
        std::istringstream fields(stat.substr(paren + 2));
        std::string field;
        for (int i = 3; i <= 19 && fields >> field; ++i)  // nice is field 19
            if (i == 19 && std::atoi(field.c_str()) == nice) ++count;
    }
    if (dir != nullptr) closedir(dir);
    return count;
}

TEST_F(Playback, PriorityLowersThePlayingThread) {
    int base = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
    if (base > 10) GTEST_SKIP() << "already at nice " << base;
    UsePcmFile();
    EXPECT_EQ(api_.SetPriority(16), MPEGDLL_BAD_MODE);
    EXPECT_EQ(api_.SetPriority(-16), MPEGDLL_BAD_MODE);
    EXPECT_EQ(api_.SetPriority(15), 0);  // the system may refuse raising: not an error
    ASSERT_EQ(api_.SetPriority(-5), 0);
    OpenSlowStream(5);
    ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
    ASSERT_EQ(api_.Pause(0), 0);
    EXPECT_TRUE(WaitUntil([&] { return ThreadsAtNice(base + 5) == 1; }));
    ASSERT_EQ(api_.SetPriority(-8), 0);  // the running thread follows
    EXPECT_EQ(ThreadsAtNice(base + 8), 1);
    EXPECT_EQ(ThreadsAtNice(base + 5), 0);
}

TEST_F(Playback, DefaultSoundOutputPlaysOrReportsAnOutputError) {
    ASSERT_EQ(api_.SetOutputDevice(MPEGDLL_DEVICE_DEFAULT, nullptr), 0);
    ASSERT_EQ(api_.OpenFile(Files().stereo), 0);
    int result = api_.Play(0, 1, &ended_);  // one millisecond: nothing audible
    if (result == 0) {
        EXPECT_TRUE(WaitForEnded(&ended_));
        EXPECT_EQ(api_.GetPlayerMode(), kEnded);
    } else {  // no sound device or output module here
        EXPECT_EQ(result, MPEGDLL_OUTPUT);
        EXPECT_EQ(api_.LastError(), MPEGDLL_OUTPUT);
        EXPECT_EQ(api_.GetPlayerMode(), kOpened);
        SleepMs(20);
        EXPECT_FALSE(IsSet(ended_));
    }
}

}  // namespace
}  // namespace tavrin::test::mpegdll
