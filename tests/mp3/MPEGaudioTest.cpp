#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "mp3/MPEGaudio.h"
#include "tests/mp3/Mp3Bytes.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

using test::Frame;
using test::Frames;
using test::Header;
using test::Put;
using test::TempDir;
using test::WriteFile;

class MPEGaudioTest : public ::testing::Test {
  protected:
    bool Run(const std::string& bytes) {
        WriteFile(dir / "a.mp3", bytes);
        return audio.Analyse(dir / "a.mp3");
    }
    void ExpectNothingFound() {
        EXPECT_FALSE(audio.FrameInfo().Present);
        EXPECT_FALSE(audio.IsValid());
        EXPECT_EQ(audio.FileSize(), 0);
        EXPECT_EQ(audio.VersionName() + " " + audio.LayerName(), "MPEG ? Layer ?");
        EXPECT_EQ(audio.ChannelModeName(), "Unknown");
        EXPECT_EQ(audio.EncoderName(), "Unknown");
        EXPECT_EQ(audio.Duration(), 0);
    }
    TempDir dir;
    TMPEGaudio audio;
};

// Enough frames of `length` bytes for a file of at least 4000 bytes.
std::string Stream(const Header& h, std::size_t length) {
    return Frames(h, length, static_cast<int>(std::max<std::size_t>(3, 4000 / length + 1)));
}

// A first frame carrying a VBR header at `offset`, followed by plain frames.
std::string WithVbrHeader(const Header& h, std::size_t length, std::size_t offset,
                          const std::string& vbrHeader) {
    std::string first = Frame(h, length);
    Put(first, offset, vbrHeader);
    return first + Stream(h, length);
}

std::string Xing(std::uint32_t frames, std::uint32_t bytes, const std::string& vendor) {
    std::string x(128, '\0');
    Put(x, 0, "Xing");
    Put(x, 4, test::BigEndian(15));
    Put(x, 8, test::BigEndian(frames));
    Put(x, 12, test::BigEndian(bytes));
    x[119] = 57;
    Put(x, 120, vendor);
    return x;
}

TEST_F(MPEGaudioTest, EachVersionAndLayer) {
    struct Case {
        int version, layer, bitRateIndex, sampleRateIndex;
        bool padded;
        int length, bitRate, sampleRate;
        const char* type;
    };
    const Case cases[] = {
        {3, 1, 9, 0, false, 417, 128, 44100, "MPEG 1 Layer III"},
        {3, 1, 9, 0, true, 418, 128, 44100, "MPEG 1 Layer III"},
        {3, 2, 14, 2, true, 1729, 384, 32000, "MPEG 1 Layer II"},
        {3, 3, 1, 0, false, 34, 32, 44100, "MPEG 1 Layer I"},
        {3, 3, 1, 0, true, 38, 32, 44100, "MPEG 1 Layer I"},  // Layer I pads 4 bytes
        {2, 1, 1, 2, false, 36, 8, 16000, "MPEG 2 Layer III"},
        {2, 3, 14, 0, true, 282, 256, 22050, "MPEG 2 Layer I"},
        {2, 2, 14, 1, false, 480, 160, 24000, "MPEG 2 Layer II"},
        {0, 1, 8, 0, false, 417, 64, 11025, "MPEG 2.5 Layer III"},
        {0, 2, 14, 2, false, 1440, 160, 8000, "MPEG 2.5 Layer II"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " length " + std::to_string(c.length));
        Header h;
        h.version = c.version;
        h.layer = c.layer;
        h.bitRateIndex = c.bitRateIndex;
        h.sampleRateIndex = c.sampleRateIndex;
        h.padded = c.padded;
        const std::string bytes = Stream(h, c.length);
        ASSERT_TRUE(Run(bytes));
        const FrameInfo& f = audio.FrameInfo();
        ASSERT_TRUE(f.Present);
        EXPECT_EQ(f.Offset, 0);
        EXPECT_EQ(f.Length, c.length);
        EXPECT_EQ(audio.BitRate(), c.bitRate);
        EXPECT_EQ(audio.SampleRate(), c.sampleRate);
        EXPECT_EQ(audio.VersionName() + " " + audio.LayerName(), c.type);
        EXPECT_FALSE(audio.VBRData().Present);
        EXPECT_DOUBLE_EQ(audio.Duration(), bytes.size() * 8.0 / c.bitRate / 1000);
        EXPECT_TRUE(audio.IsValid());
    }
}

TEST_F(MPEGaudioTest, HeaderFieldsAreDecoded) {
    Header h;
    h.crc = true;
    h.mode = 2;
    h.copyrighted = true;
    h.original = true;
    h.emphasis = 1;
    std::string frame = Frame(h, 417);
    frame[2] = static_cast<char>(frame[2] | 1);         // private bit
    frame[3] = static_cast<char>(frame[3] | (2 << 4));  // mode extension 2
    std::string bytes;
    for (int i = 0; i < 10; ++i) bytes += frame;
    ASSERT_TRUE(Run(bytes));
    const FrameInfo& f = audio.FrameInfo();
    EXPECT_TRUE(f.HasCrc);
    EXPECT_TRUE(f.Private);
    EXPECT_TRUE(f.Copyrighted);
    EXPECT_TRUE(f.Original);
    EXPECT_FALSE(f.Padded);
    EXPECT_EQ(f.ChannelMode, 2);
    EXPECT_EQ(f.ModeExtension, 2);
    EXPECT_EQ(f.Emphasis, 1);
    EXPECT_EQ(audio.ChannelModeName(), "Dual Channel");
    EXPECT_EQ(0, std::memcmp(f.Header.data(), frame.data(), 4));
}

TEST_F(MPEGaudioTest, FreeFormatForbiddenAndReservedHeadersAreRejected) {
    const std::function<void(Header&)> breakers[] = {
        [](Header& h) { h.bitRateIndex = 0; },  // free format
        [](Header& h) { h.bitRateIndex = 15; },  // forbidden
        [](Header& h) { h.version = 1; },  // reserved version
        [](Header& h) { h.layer = 0; },  // reserved layer
        [](Header& h) { h.sampleRateIndex = 3; }, [](Header& h) { h.emphasis = 2; },
    };
    for (const auto& breakHeader : breakers) {
        Header h;
        breakHeader(h);
        EXPECT_TRUE(Run(Frames(h, 417, 20)));
        ExpectNothingFound();
    }
}

TEST_F(MPEGaudioTest, AFalseSyncIsSkipped) {
    std::string bytes = Header{}.Bytes() + std::string(96, '\x55') + Stream(Header{}, 417);
    ASSERT_TRUE(Run(bytes));
    EXPECT_EQ(audio.FrameInfo().Offset, 100);
    EXPECT_DOUBLE_EQ(audio.Duration(), (bytes.size() - 100) * 8.0 / 128 / 1000);
}

TEST_F(MPEGaudioTest, SearchStartsAfterTheID3v2Tag) {
    const std::string tag = test::Id3v2Tag(test::TextFrame("TIT2", "x"), 500);
    std::string bytes = tag + Stream(Header{}, 417);
    ASSERT_TRUE(Run(bytes));
    EXPECT_EQ(audio.FrameInfo().Offset, 0);
    EXPECT_EQ(audio.ID3v2().Title(), "x");
    EXPECT_DOUBLE_EQ(audio.Duration(), (bytes.size() - tag.size()) * 8.0 / 128 / 1000);
}

TEST_F(MPEGaudioTest, AFrameFoundOnlyByTheSecondReadInTheMiddle) {
    // Zeros where the first read looks; frames from a little after (size - tag) / 2, counted
    // from the start of the file.
    const std::string tag = test::Id3v2Header(4, 990) + std::string(990, '\0');
    const std::size_t size = 20000;
    const std::size_t middle = (size - tag.size()) / 2;
    std::string bytes = tag + std::string(middle + 7 - tag.size(), '\0');
    bytes += Frames(Header{}, 417, 20);
    bytes.resize(size, '\x55');
    ASSERT_TRUE(Run(bytes));
    EXPECT_EQ(audio.FrameInfo().Offset, 7);  // within the second buffer
    EXPECT_DOUBLE_EQ(audio.Duration(), (size - tag.size() - 7) * 8.0 / 128 / 1000);

    // Frames beyond both windows are not found.
    bytes = std::string(size - 5000, '\0') + Frames(Header{}, 417, 11);
    bytes.resize(size, '\0');
    EXPECT_TRUE(Run(bytes));
    ExpectNothingFound();
}

TEST_F(MPEGaudioTest, XingWithLameVendor) {
    Header h;
    h.sampleRateIndex = 1;  // 48000 Hz: the average is (bytes / frames) / 3
    // 385500 / 1000 / 3 = 128.5 rounds to the even 128; 388500 gives 129.5 and 130.
    ASSERT_TRUE(Run(WithVbrHeader(h, 384, 36, Xing(1000, 385500, "LAME3.90"))));
    const VBRData& vbr = audio.VBRData();
    ASSERT_TRUE(vbr.Present);
    EXPECT_EQ(vbr.Signature, "Xing");
    EXPECT_EQ(vbr.FrameCount, 1000);
    EXPECT_EQ(vbr.ByteCount, 385500);
    EXPECT_EQ(vbr.Quality, 57);
    EXPECT_EQ(vbr.Vendor, "LAME3.90");
    EXPECT_EQ(audio.BitRate(), 128);
    EXPECT_DOUBLE_EQ(audio.Duration(), 1152.0 * 1000 / 48000);
    EXPECT_EQ(audio.EncoderId(), 3);
    EXPECT_EQ(audio.TrailerVendor(), "");  // no trailer search with a VBR header
    const MPEGHeaderTexts texts = HeaderTexts(audio, '.');
    EXPECT_EQ(texts.bitRate, "VBR 128 kbit/s");
    EXPECT_EQ(texts.mpegType, "MPEG 1 Layer III");
    EXPECT_EQ(texts.sampleRate, "48000 hz");
    EXPECT_EQ(texts.duration, "24.0 sec.");
    EXPECT_EQ(texts.encoder, "LAME 3.90");

    ASSERT_TRUE(Run(WithVbrHeader(h, 384, 36, Xing(1000, 388500, "LAME3.90"))));
    EXPECT_EQ(audio.BitRate(), 130);

    const std::pair<std::string, std::string> vendors[] = {
        {"GOGO1.0x", "GoGo"}, {"MPGE1.0x", "GoGo"},           {"Encoder!", "Xing"},
        {"LAMEx.yy", "LAME"}, {std::string(8, '\0'), "Xing"},
    };
    for (const auto& [vendor, name] : vendors) {
        ASSERT_TRUE(Run(WithVbrHeader(h, 384, 36, Xing(1000, 385500, vendor))));
        EXPECT_EQ(audio.EncoderName(), name) << vendor;
    }
}

TEST_F(MPEGaudioTest, VbrHeaderOffsetsDependOnVersionAndMode) {
    Header mono1;  // MPEG 1, 128 kbit/s, 44100 Hz: 417-byte frames
    mono1.mode = 3;
    Header stereo2;  // MPEG 2, 64 kbit/s, 24000 Hz: 192-byte frames
    stereo2.version = 2;
    stereo2.bitRateIndex = 8;
    stereo2.sampleRateIndex = 1;
    stereo2.mode = 0;
    Header mono2 = stereo2;
    mono2.mode = 3;
    std::string vbri(26, '\0');
    Put(vbri, 0, "VBRI");
    vbri[9] = 75;
    Put(vbri, 10, test::BigEndian(400000));
    Put(vbri, 14, test::BigEndian(1500));

    ASSERT_TRUE(Run(WithVbrHeader(Header{}, 417, 36, vbri)));
    ASSERT_TRUE(audio.VBRData().Present);
    EXPECT_EQ(audio.VBRData().Signature, "VBRI");
    EXPECT_EQ(audio.VBRData().Quality, 75);
    EXPECT_EQ(audio.VBRData().ByteCount, 400000);
    EXPECT_EQ(audio.VBRData().FrameCount, 1500);
    EXPECT_EQ(audio.VBRData().Vendor, "");
    EXPECT_EQ(audio.EncoderName(), "FhG");
    // VBRI is only looked for at the Xing offset: at 36 it is missed in these files.
    const std::pair<Header, std::size_t> files[] = {{mono1, 417}, {stereo2, 192}};
    for (const auto& [h, length] : files) {
        ASSERT_TRUE(Run(WithVbrHeader(h, length, 36, vbri)));
        ASSERT_TRUE(audio.FrameInfo().Present);
        EXPECT_FALSE(audio.VBRData().Present);
    }
    struct XingAt {
        Header h;
        std::size_t length, offset;
    };
    for (const XingAt& x :
         {XingAt{mono1, 417, 21}, XingAt{stereo2, 192, 21}, XingAt{mono2, 192, 13}}) {
        ASSERT_TRUE(Run(WithVbrHeader(x.h, x.length, x.offset, Xing(10, 2090, "LAME3.97"))));
        EXPECT_EQ(audio.VBRData().Signature, "Xing") << x.offset;
        EXPECT_EQ(audio.VBRData().FrameCount, 10);
    }
}

TEST_F(MPEGaudioTest, ConstantBitRateTrailerSignatures) {
    const std::string frames = Frames(Header{}, 417, 20);
    auto withSignature = [&](std::size_t fromEnd, const std::string& sig) {
        std::string bytes = frames;
        Put(bytes, bytes.size() - fromEnd, sig);
        return bytes;
    };
    ASSERT_TRUE(Run(withSignature(300, "LAME3.92")));
    EXPECT_EQ(audio.TrailerVendor(), "LAME3.92");
    EXPECT_EQ(audio.EncoderId(), 3);
    EXPECT_EQ(audio.EncoderName(), "LAME 3.92");

    ASSERT_TRUE(Run(withSignature(300, "GOGO-xyz")));
    EXPECT_EQ(audio.TrailerVendor(), "GOGO");
    EXPECT_EQ(audio.EncoderName(), "GoGo");

    // The scan covers the last 2 x 417 + 8 bytes of the window.
    ASSERT_TRUE(Run(withSignature(842, "LAME3.92")));
    EXPECT_EQ(audio.TrailerVendor(), "LAME3.92");
    ASSERT_TRUE(Run(withSignature(843, "LAME3.92")));
    EXPECT_EQ(audio.TrailerVendor(), "");

    // With an ID3v1 tag the window ends where the tag begins.
    const std::string v1 = test::Id3v1Tail("LAME3.99", "", "", "", "", 0);
    ASSERT_TRUE(Run(withSignature(100, "LAME3.93") + v1));
    EXPECT_EQ(audio.TrailerVendor(), "LAME3.93");
    EXPECT_TRUE(audio.ID3v1().Present());
}

TEST_F(MPEGaudioTest, EncoderGuessRulesWithoutVbrHeader) {
    struct Case {
        const char* what;
        std::function<void(Header&)> set;
        bool zerosAfterHeader;
        int id;
        std::size_t length = 417;
    };
    const Case cases[] = {
        {"plain", [](Header&) {}, false, 2},
        {"original+crc", [](Header& h) { h.original = h.crc = true; }, false, 3},
        {"stereo 128", [](Header& h) { h.original = h.crc = true, h.mode = 0; }, false, 4},
        {"stereo 192", [](Header& h) { h.mode = 0, h.bitRateIndex = 11; }, false, 2, 626},
        {"copyright+original", [](Header& h) { h.copyrighted = h.original = true; }, false, 1},
        {"copyright+original+crc", [](Header& h) { h.copyrighted = h.original = h.crc = true; },
         false, 3},
        {"hint+original", [](Header& h) { h.original = true; }, true, 1},
        {"hint only", [](Header&) {}, true, 2},
        {"dual+crc", [](Header& h) { h.mode = 2, h.crc = h.original = true; }, false, 6},
    };
    for (const Case& c : cases) {
        Header h;
        c.set(h);
        std::string frame = Frame(h, c.length);
        if (c.zerosAfterHeader) Put(frame, 4, std::string(6, '\0'));
        std::string bytes;
        for (int i = 0; i < 12; ++i) bytes += frame;
        ASSERT_TRUE(Run(bytes));
        EXPECT_EQ(audio.EncoderId(), c.id) << c.what;
        EXPECT_EQ(audio.FrameInfo().XingHint, c.zerosAfterHeader) << c.what;
    }
    // A trailer signature overrides every header rule.
    Header dual;
    dual.mode = 2;
    dual.crc = true;
    std::string bytes = Frames(dual, 417, 12);
    Put(bytes, bytes.size() - 50, "LAME3.96");
    ASSERT_TRUE(Run(bytes));
    EXPECT_EQ(audio.EncoderName(), "LAME 3.96");
}

TEST_F(MPEGaudioTest, ShortConstantBitRateFilesFailTheTrailerRead) {
    const std::string v1 = test::Id3v1Tail("", "", "", "", "", 0);
    struct Case {
        std::size_t audioBytes;
        bool withV1;
        bool result;
    };
    for (const Case& c : {Case{3457, false, false}, Case{3458, false, true},
                          Case{3457, true, false}, Case{3458, true, true}}) {
        std::string bytes = Frames(Header{}, 417, 9);
        bytes.resize(c.audioBytes, '\x55');
        if (c.withV1) bytes += v1;
        EXPECT_EQ(Run(bytes), c.result) << c.audioBytes << " " << c.withV1;
        // The frame found stays even when the analysis fails.
        EXPECT_TRUE(audio.FrameInfo().Present);
        EXPECT_EQ(audio.FileSize(), static_cast<std::int64_t>(bytes.size()));
    }
    // Three frames make less than a tenth of a second: found, but not valid.
    EXPECT_FALSE(Run(Frames(Header{}, 417, 3)));
    EXPECT_TRUE(audio.FrameInfo().Present);
    EXPECT_FALSE(audio.IsValid());
}

TEST_F(MPEGaudioTest, ZeroFilesAndUnreadableFiles) {
    for (std::size_t size : {128, 3458, 10000}) {
        EXPECT_TRUE(Run(std::string(size, '\0'))) << size;
        ExpectNothingFound();
    }
    EXPECT_FALSE(Run(std::string(127, '\0')));
    ExpectNothingFound();
    EXPECT_FALSE(audio.Analyse(dir / "missing.mp3"));
    EXPECT_FALSE(audio.Analyse(dir.Path()));

    // Without a frame the tags read on the way are cleared as well.
    EXPECT_TRUE(Run(test::Id3v2Tag(test::TextFrame("TIT2", "t")) + std::string(5000, '\0') +
                    test::Id3v1Tail("t", "", "", "", "", 1)));
    EXPECT_FALSE(audio.ID3v1().Present());
    EXPECT_FALSE(audio.ID3v2().Present());
}

TEST(MPEGDuration, PanelFormat) {
    EXPECT_EQ(FormatDuration(0.54, '.'), ".5");
    EXPECT_EQ(FormatDuration(245.26, '.'), "245.3");
    EXPECT_EQ(FormatDuration(0.25, '.'), ".3");
    EXPECT_EQ(FormatDuration(0.04, '.'), ".0");
    EXPECT_EQ(FormatDuration(59.96, ','), "60,0");
}

// Real files made by LAME from a generated tone.
TEST_F(MPEGaudioTest, LameEncodedFiles) {
    std::string pcm;
    const int rate = 44100;
    for (int i = 0; i < rate * 3; ++i) {
        auto sample = static_cast<std::int16_t>(8000 * std::sin(i * 0.05));
        for (int channel = 0; channel < 2; ++channel) {
            pcm += static_cast<char>(sample & 0xFF);
            pcm += static_cast<char>((sample >> 8) & 0xFF);
        }
    }
    auto le32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v), static_cast<char>(v >> 8),
                           static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
    };
    std::string wav = "RIFF" + le32(36 + pcm.size()) + "WAVEfmt " + le32(16) +
                      std::string("\x01\x00\x02\x00", 4) + le32(rate) + le32(rate * 4) +
                      std::string("\x04\x00\x10\x00", 4) + "data" + le32(pcm.size()) + pcm;
    WriteFile(dir / "tone.wav", wav);
    struct Case {
        const char* options;
        const char* type;
        const char* bitRate;
        int sampleRate;
        const char* mode;
        bool vbr;
    };
    const Case cases[] = {
        {"-b 128", "MPEG 1 Layer III", "CBR 128 kbit/s", 44100, "Joint Stereo", false},
        {"-V 2", "MPEG 1 Layer III", nullptr, 44100, "Joint Stereo", true},
        {"-b 32 -m m --resample 22.05", "MPEG 2 Layer III", "CBR 32 kbit/s", 22050, "Mono", false},
        {"-b 16 -m s --resample 11.025", "MPEG 2.5 Layer III", "CBR 16 kbit/s", 11025, "Stereo",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string out = dir / "lame.mp3";
        ASSERT_EQ(test::RunCommand("lame --quiet " + std::string(c.options) + " '" +
                                   (dir / "tone.wav") + "' '" + out + "'"),
                  0);
        ASSERT_TRUE(audio.Analyse(out));
        ASSERT_TRUE(audio.IsValid());
        const MPEGHeaderTexts texts = HeaderTexts(audio, '.');
        EXPECT_EQ(texts.mpegType, c.type);
        if (c.bitRate) {
            EXPECT_EQ(texts.bitRate, c.bitRate);
        }
        EXPECT_EQ(audio.SampleRate(), c.sampleRate);
        EXPECT_EQ(texts.channelMode, c.mode);
        EXPECT_EQ(audio.VBRData().Present, c.vbr);
        EXPECT_NEAR(audio.Duration(), 3.0, 0.15);
        EXPECT_EQ(audio.EncoderName().substr(0, 4), "LAME");
    }
}

}  // namespace
}  // namespace tavrin
