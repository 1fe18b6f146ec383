// Error codes, bad input, calls in any order, and the library's life cycle.
#include <dlfcn.h>
#include <sys/stat.h>

#include "tests/mpegdll/MpegDllTestSupport.h"

namespace tavrin::test::mpegdll {
namespace {

using Errors = MpegDllTest;
using LifeCycle = MpegDllTest;

TEST_F(Errors, CallsThatNeedAnOpenStreamReportIncorrectMode) {
    EXPECT_EQ(api_.Play(0, 0, &ended_), MPEGDLL_BAD_MODE);
    EXPECT_EQ(api_.LastError(), MPEGDLL_BAD_MODE);
    for (auto call : {+[](Api& a) { return a.Stop(); }, +[](Api& a) { return a.Pause(0); },
                      +[](Api& a) { return a.Pause(1); }, +[](Api& a) { return a.Restart(); },
                      +[](Api& a) { return a.Close(); }, +[](Api& a) { return a.Seek(10); },
                      +[](Api& a) { return a.ResetPlayerMode(); }}) {
        EXPECT_EQ(api_.GetPlayerMode(), kClosed);
        EXPECT_EQ(api_.LastError(), MPEGDLL_OK);  // a good call resets it
        EXPECT_EQ(call(api_), MPEGDLL_BAD_MODE);
        EXPECT_EQ(api_.LastError(), MPEGDLL_BAD_MODE);
    }
    for (auto query :
         {api_.GetCurrentPos, api_.GetLength, api_.GetFrequency, api_.GetBitrate, api_.GetLayer}) {
        EXPECT_EQ(query(), 0);
        EXPECT_EQ(api_.LastError(), MPEGDLL_BAD_MODE);
    }
    EXPECT_FALSE(IsSet(ended_));
}

TEST_F(Errors, UnreadableOrForeignInputIsAnInputStreamError) {
    std::string text = dir_ / "notes.mp3";
    WriteFile(text, std::string(4000, 'a') + "This is plain text, not MPEG audio.\n");
    std::string empty = dir_ / "empty.mp3";
    WriteFile(empty, "");
    std::string zeros = dir_ / "zeros.mp3";
    WriteFile(zeros, std::string(65536, '\0'));
    std::string fifo = dir_ / "pipe.mp3";  // opening it would wait for a writer
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path :
         {dir_ / "missing.mp3", text, empty, zeros, fifo, dir_.Path(), std::string()}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(api_.OpenFile(path), MPEGDLL_INPUT);
        EXPECT_EQ(api_.LastError(), MPEGDLL_INPUT);
        EXPECT_EQ(api_.GetPlayerMode(), kClosed);
    }
    EXPECT_EQ(api_.Open(nullptr, MPEGDLL_MODE_FILE, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr),
              MPEGDLL_INPUT);
    EXPECT_EQ(api_.Open(Files().stereo.c_str(), 7, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr),
              MPEGDLL_BAD_MODE);
    // A failed Open still closes what was open before.
    ASSERT_EQ(api_.OpenFile(Files().stereo), 0);
    EXPECT_EQ(api_.OpenFile(text), MPEGDLL_INPUT);
    EXPECT_EQ(api_.GetPlayerMode(), kClosed);
}

// Garbage with false frame headers and a real file with damaged frames: refused at Open or
// played to an end, never a crash or a thread that does not finish.
TEST_F(Errors, GarbageAndDamagedFramesPlayToAnEndOrAreRefused) {
    std::string pcm = UsePcmFile();
    std::string random(300000, '\0');
    uint32_t seed = 12345;
    for (char& c : random) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 23);
    std::string damaged = ReadFile(Files().stereo);
    for (size_t i = damaged.size() / 3; i < damaged.size() / 3 + 2000; i += 7) damaged[i] ^= 0x5a;
    std::string headers;
    for (int i = 0; i < 3000; ++i) headers += std::string("\xff\xfb\x90\x64junk", 8);

    int index = 0;
    for (const std::string& bytes : {random, headers, damaged}) {
        SCOPED_TRACE(index);
        std::string path = dir_ / ("input" + std::to_string(index++) + ".mp3");
        WriteFile(path, bytes);
        int result = api_.OpenFile(path);
        if (result != 0) {
            EXPECT_EQ(result, MPEGDLL_INPUT);
            continue;
        }
        ended_ = 0;
        ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
        ASSERT_TRUE(WaitForEnded(&ended_));
        EXPECT_EQ(api_.GetPlayerMode(), kEnded);
    }
    EXPECT_GT(PcmSamples(pcm), 22050);  // the damaged file is still mostly sound
}

TEST_F(Errors, OutputThatCannotBeUsedIsAnOutputError) {
    EXPECT_EQ(api_.SetOutputDevice(MPEGDLL_DEVICE_PCMFILE, ""), MPEGDLL_OUTPUT);
    EXPECT_EQ(api_.LastError(), MPEGDLL_OUTPUT);
    EXPECT_EQ(api_.SetOutputDevice(MPEGDLL_DEVICE_PCMFILE, nullptr), MPEGDLL_OUTPUT);
    EXPECT_EQ(api_.SetOutputDevice(1, "x.pcm"), MPEGDLL_OUTPUT);
    EXPECT_EQ(api_.SetOutputDevice(-1, nullptr), MPEGDLL_OUTPUT);

    ASSERT_EQ(api_.OpenFile(Files().stereo), 0);
    for (const std::string& path : {dir_ / "no-such-folder/out.pcm", dir_.Path()}) {
        SCOPED_TRACE(path);
        ASSERT_EQ(api_.SetOutputDevice(MPEGDLL_DEVICE_PCMFILE, path.c_str()), 0);
        EXPECT_EQ(api_.Play(0, 0, &ended_), MPEGDLL_OUTPUT);
        EXPECT_EQ(api_.LastError(), MPEGDLL_OUTPUT);
        EXPECT_EQ(api_.GetPlayerMode(), kOpened);
        EXPECT_EQ(api_.Stop(), MPEGDLL_BAD_MODE);  // nothing runs
        SleepMs(20);
        EXPECT_FALSE(IsSet(ended_));
    }
    std::string pcm = UsePcmFile();
    ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
    EXPECT_EQ(api_.LastError(), MPEGDLL_OK);
    ASSERT_TRUE(WaitForEnded(&ended_));
    EXPECT_GT(PcmSamples(pcm), 0);
}

TEST_F(Errors, PlayWhilePlayingIsRefusedAndAnEndedStreamPlaysAgain) {
    std::string pcm = UsePcmFile();
    OpenSlowStream(3);
    ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
    EXPECT_EQ(api_.Play(0, 0, &other_), MPEGDLL_BAD_MODE);
    EXPECT_EQ(api_.ResetPlayerMode(), MPEGDLL_BAD_MODE);
    EXPECT_EQ(api_.Pause(2), MPEGDLL_BAD_MODE);
    EXPECT_EQ(api_.GetPlayerMode(), kPlaying);
    ASSERT_TRUE(WaitForEnded(&ended_));
    EXPECT_FALSE(IsSet(other_));
    EXPECT_NEAR(PcmSamples(pcm), 44100, 1152);

    ASSERT_EQ(api_.OpenFile(Files().mono), 0);
    for (int round = 0; round < 3; ++round) {
        ended_ = 0;
        ASSERT_EQ(api_.Play(0, 0, &ended_), 0);  // no ResetPlayerMode needed
        ASSERT_TRUE(WaitForEnded(&ended_));
        EXPECT_EQ(api_.Stop(), MPEGDLL_BAD_MODE);
        EXPECT_EQ(api_.Pause(0), MPEGDLL_BAD_MODE);
        EXPECT_EQ(api_.GetPlayerMode(), kEnded);
    }
    EXPECT_NEAR(PcmSamples(pcm, 1), 22050, 576);
    ASSERT_EQ(api_.Play(0, 0, nullptr), 0);  // no byte to set
    EXPECT_TRUE(WaitUntil([&] { return api_.GetPlayerMode() == kEnded; }));
}

TEST_F(LifeCycle, CallsAfterDeinitAreRefusedUntilInitAgain) {
    std::string pcm = UsePcmFile();
    ASSERT_EQ(api_.OpenFile(Files().stereo), 0);
    EXPECT_NE(api_.deinit(), 0);
    EXPECT_EQ(api_.GetPlayerMode(), kClosed);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(api_.OpenFile(Files().stereo), MPEGDLL_BAD_MODE);
        EXPECT_EQ(api_.SetOutputDevice(MPEGDLL_DEVICE_PCMFILE, "x.pcm"), MPEGDLL_BAD_MODE);
        EXPECT_EQ(api_.SetPriority(0), MPEGDLL_BAD_MODE);
        EXPECT_EQ(api_.Play(0, 0, &ended_), MPEGDLL_BAD_MODE);
        EXPECT_NE(api_.deinit(), 0);  // twice is fine
    }
    ASSERT_NE(api_.init(), 0);
    EXPECT_NE(api_.init(), 0);  // and so is init twice
    ASSERT_EQ(api_.OpenFile(Files().stereo), 0);
    EXPECT_EQ(api_.GetFrequency(), 44100);
    // The output choice went with deinit: this plays to the sound output, not the old file.
    if (api_.Play(0, 1, &ended_) == 0) {
        EXPECT_TRUE(WaitForEnded(&ended_));
    }
    EXPECT_FALSE(FileExists(pcm));
}

TEST_F(LifeCycle, DeinitOrUnloadWhilePlayingStopsTheThread) {
    UsePcmFile();
    MemoryStream& stream = OpenSlowStream(5);
    ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
    SleepMs(50);
    EXPECT_NE(api_.deinit(), 0);
    EXPECT_EQ(stream.closes, 1);
    int reads = stream.reads;
    SleepMs(50);
    EXPECT_EQ(stream.reads, reads);
    EXPECT_FALSE(IsSet(ended_));

    // Unloaded without deinit: the library stays mapped and its thread plays on (it never
    // waits for the thread while being unloaded); deinit through a new handle stops it.
    ASSERT_NE(api_.init(), 0);
    UsePcmFile();
    MemoryStream& second = OpenSlowStream(5);
    ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
    SleepMs(30);
    EXPECT_EQ(dlclose(handle_), 0);
    handle_ = nullptr;
    reads = second.reads;
    EXPECT_TRUE(WaitUntil([&] { return second.reads > reads; }));
    void* again = nullptr;
    Api fresh;
    ASSERT_TRUE(LoadLibrary(&again, &fresh));
    EXPECT_NE(fresh.deinit(), 0);
    EXPECT_EQ(second.closes, 1);
    reads = second.reads;
    SleepMs(30);
    EXPECT_EQ(second.reads, reads);
    EXPECT_EQ(dlclose(again), 0);
}

TEST_F(LifeCycle, OddOrdersNeverCrashOrHang) {
    UsePcmFile();
    MemoryStream& stream = NewStream();
    stream.data = ReadFile(Files().stereo);
    for (int round = 0; round < 40; ++round) {
        switch (round % 10) {
            case 0:
                api_.OpenFile(Files().stereo);
                break;
            case 1:
                api_.Play(round * 7 % 1200, 0, &ended_);
                break;
            case 2:
                api_.Pause(round % 2);
                break;
            case 3:
                api_.Seek(round * 37 % 1500);
                break;
            case 4:
                api_.Restart();
                break;
            case 5:
                OpenMemoryStream(api_, &stream);
                api_.Play(0, 300, &ended_);
                break;
            case 6:
                api_.Stop();
                api_.Pause(1);
                break;
            case 7:
                api_.ResetPlayerMode();
                api_.Restart();
                break;
            case 8:
                api_.Close();
                api_.Play(0, 0, &ended_);
                break;
            case 9:
                api_.deinit();
                api_.init();
                UsePcmFile();
                break;
        }
        EXPECT_GE(api_.GetPlayerMode(), kClosed);
        EXPECT_LE(api_.GetPlayerMode(), kEnded);
        EXPECT_GE(api_.GetCurrentPos(), 0);
    }
    api_.deinit();
    EXPECT_EQ(stream.opens, stream.closes);
}

}  // namespace
}  // namespace tavrin::test::mpegdll
