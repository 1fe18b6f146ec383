// Stream mode: the caller's callbacks supply the bytes.
#include "tests/mpegdll/MpegDllTestSupport.h"

namespace tavrin::test::mpegdll {
namespace {

using StreamMode = MpegDllTest;

TEST_F(StreamMode, SeekableStreamIsReadThroughTheCallbacksAndClosedAtClose) {
    std::string pcm = UsePcmFile();
    MemoryStream& stream = NewStream();
    stream.data = ReadFile(Files().stereo);
    ASSERT_EQ(OpenMemoryStream(api_, &stream), 0);
    EXPECT_EQ(stream.opens, 1);
    EXPECT_EQ(api_.GetFrequency(), 44100);
    EXPECT_NEAR(api_.GetLength(), 1000, 30);
    ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
    ASSERT_TRUE(WaitForEnded(&ended_));
    EXPECT_GE(stream.bytesRead, static_cast<long long>(stream.data.size()));
    std::vector<int16_t> samples = ReadPcm(pcm);
    EXPECT_NEAR(static_cast<long>(samples.size()) / 2, 44100, 1152);
    EXPECT_NEAR(ZeroCrossings(samples, 2, 0), 880, 20);

    // Played again from a position by seeking, not by the restart callback.
    ended_ = 0;
    ASSERT_EQ(api_.Play(500, 0, &ended_), 0);
    ASSERT_TRUE(WaitForEnded(&ended_));
    EXPECT_NEAR(PcmSamples(pcm), 22050, 2);
    EXPECT_EQ(stream.restarts, 0);
    EXPECT_GT(stream.seeks, 0);

    EXPECT_EQ(stream.closes, 0);
    EXPECT_EQ(api_.Close(), 0);
    EXPECT_EQ(stream.closes, 1);
    EXPECT_EQ(stream.contextSeenByClose, &stream);
    EXPECT_EQ(api_.Close(), MPEGDLL_BAD_MODE);
    EXPECT_EQ(stream.closes, 1);
}

TEST_F(StreamMode, NonSeekableStreamStartsOverThroughTheRestartCallback) {
    std::string pcm = UsePcmFile();
    MemoryStream& stream = NewStream();
    stream.data = ReadFile(Files().stereo);
    stream.nonseekable = true;
    ASSERT_EQ(OpenMemoryStream(api_, &stream), 0);
    EXPECT_NEAR(api_.GetLength(), 1000, 30);  // from the Info frame, without a scan
    EXPECT_EQ(api_.Seek(100), MPEGDLL_NOT_SEEKABLE);
    EXPECT_EQ(api_.LastError(), MPEGDLL_NOT_SEEKABLE);
    for (int round = 0; round < 2; ++round) {
        ended_ = 0;
        ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
        ASSERT_TRUE(WaitForEnded(&ended_));
        EXPECT_NEAR(PcmSamples(pcm), 44100, 1152);
        EXPECT_EQ(stream.restarts, round);
    }
    // A start position is reached by decoding forward.
    ended_ = 0;
    ASSERT_EQ(api_.Play(500, 0, &ended_), 0);
    ASSERT_TRUE(WaitForEnded(&ended_));
    EXPECT_NEAR(PcmSamples(pcm), 22050, 1152);
    EXPECT_EQ(stream.seeks, 0);

    // Without a restart callback it plays once.
    MemoryStream& once = NewStream();
    once.data = stream.data;
    once.nonseekable = true;
    ASSERT_EQ(OpenMemoryStream(api_, &once, /*withRestart=*/false), 0);
    EXPECT_EQ(stream.closes, 1);
    ended_ = 0;
    ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
    ASSERT_TRUE(WaitForEnded(&ended_));
    EXPECT_EQ(api_.Play(0, 0, &ended_), MPEGDLL_NOT_SEEKABLE);
    EXPECT_EQ(api_.Restart(), MPEGDLL_NOT_SEEKABLE);
    EXPECT_EQ(api_.GetPlayerMode(), kEnded);
}

TEST_F(StreamMode, StreamThatIsNotMpegAudioIsAnInputErrorAndGetsClosed) {
    MemoryStream& stream = NewStream();
    stream.data = std::string(20000, '\0');
    EXPECT_EQ(OpenMemoryStream(api_, &stream), MPEGDLL_INPUT);
    EXPECT_EQ(api_.LastError(), MPEGDLL_INPUT);
    EXPECT_EQ(stream.opens, 1);
    EXPECT_EQ(stream.closes, 1);
    EXPECT_EQ(api_.GetPlayerMode(), kClosed);
    // No read callback: nothing to read from.
    EXPECT_EQ(api_.Open("x", MPEGDLL_MODE_STREAM, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr, &stream),
              MPEGDLL_INPUT);
}

TEST_F(StreamMode, ReadFailingMidStreamEndsPlayingWithAnInputError) {
    std::string pcm = UsePcmFile();
    MemoryStream& stream = NewStream();
    stream.data = ReadFile(Files().stereo);
    ASSERT_EQ(OpenMemoryStream(api_, &stream), 0);
    stream.failAt = static_cast<long long>(stream.data.size() / 2);
    ASSERT_EQ(api_.Play(0, 0, &ended_), 0);
    ASSERT_TRUE(WaitForEnded(&ended_));
    EXPECT_EQ(api_.LastError(), MPEGDLL_INPUT);
    EXPECT_EQ(api_.GetPlayerMode(), kEnded);
    EXPECT_GT(PcmSamples(pcm), 10000);
    EXPECT_LT(PcmSamples(pcm), 30000);
}

TEST_F(StreamMode, OpeningAnotherStreamClosesTheFirst) {
    MemoryStream& first = NewStream();
    first.data = ReadFile(Files().stereo);
    MemoryStream& second = NewStream();
    second.data = ReadFile(Files().mono);
    ASSERT_EQ(OpenMemoryStream(api_, &first), 0);
    ASSERT_EQ(OpenMemoryStream(api_, &second), 0);
    EXPECT_EQ(first.closes, 1);
    EXPECT_EQ(second.closes, 0);
    EXPECT_EQ(api_.GetFrequency(), 22050);
    ASSERT_EQ(api_.OpenFile(Files().stereo), 0);
    EXPECT_EQ(second.closes, 1);
    EXPECT_EQ(api_.GetFrequency(), 44100);
}

}  // namespace
}  // namespace tavrin::test::mpegdll
