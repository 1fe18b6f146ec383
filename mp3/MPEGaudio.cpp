#include "mp3/MPEGaudio.h"

#include <cmath>
#include <cstring>

#include "mp3/FileAccess.h"

namespace tavrin {

namespace {

// kbit/s by [version code][layer code][bit-rate index]; free format (0), forbidden (15), the
// reserved version and the reserved layer hold 0.
constexpr std::uint16_t kNone[16] = {};
constexpr std::uint16_t kMpeg1LayerI[16] = {0,   32,  64,  96,  128, 160, 192, 224,
                                            256, 288, 320, 352, 384, 416, 448, 0};
constexpr std::uint16_t kMpeg1LayerII[16] = {0,   32,  48,  56,  64,  80,  96,  112,
                                             128, 160, 192, 224, 256, 320, 384, 0};
constexpr std::uint16_t kMpeg1LayerIII[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                              112, 128, 160, 192, 224, 256, 320, 0};
constexpr std::uint16_t kMpeg2LayerI[16] = {0,   32,  48,  56,  64,  80,  96,  112,
                                            128, 144, 160, 176, 192, 224, 256, 0};
constexpr std::uint16_t kMpeg2LayerIIAndIII[16] = {0,  8,  16, 24,  32,  40,  48,  56,
                                                   64, 80, 96, 112, 128, 144, 160, 0};

const std::uint16_t* BitRateRow(int version, int layer) {
    static const std::uint16_t* const table[4][4] = {
        {kNone, kMpeg2LayerIIAndIII, kMpeg2LayerIIAndIII, kMpeg2LayerI},  // MPEG 2.5
        {kNone, kNone, kNone, kNone},                                     // reserved
        {kNone, kMpeg2LayerIIAndIII, kMpeg2LayerIIAndIII, kMpeg2LayerI},  // MPEG 2
        {kNone, kMpeg1LayerIII, kMpeg1LayerII, kMpeg1LayerI},             // MPEG 1
    };
    return table[version & 3][layer & 3];
}

// Hz by [version code][sample-rate index].
constexpr std::uint16_t kSampleRates[4][4] = {
    {11025, 12000, 8000, 0},
    {0, 0, 0, 0},
    {22050, 24000, 16000, 0},
    {44100, 48000, 32000, 0},
};

constexpr const char* kVersionNames[4] = {"MPEG 2.5", "MPEG ?", "MPEG 2", "MPEG 1"};
constexpr const char* kLayerNames[4] = {"Layer ?", "Layer III", "Layer II", "Layer I"};
constexpr const char* kChannelModeNames[5] = {"Stereo", "Joint Stereo", "Dual Channel", "Mono",
                                              "Unknown"};
constexpr const char* kEncoderNames[7] = {"Unknown", "Xing", "FhG",  "LAME",
                                          "Blade",   "GoGo", "Shine"};

constexpr std::uint8_t kVersionMpeg1 = 3;
constexpr std::uint8_t kLayerI = 3;
constexpr std::uint8_t kModeStereo = 0;
constexpr std::uint8_t kModeDualChannel = 2;
constexpr std::uint8_t kModeMono = 3;

enum Encoder : std::uint8_t { kUnknown, kXing, kFhG, kLame, kBlade, kGoGo, kShine };

std::int32_t BigEndian32(const unsigned char* p) {
    return static_cast<std::int32_t>((std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                                     (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]});
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Rounds to the nearest integer, halves to the even neighbour.
double RoundHalfEven(double x) {
    double floor = std::floor(x);
    double rest = x - floor;
    if (rest > 0.5) return floor + 1;
    if (rest < 0.5) return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

bool TMPEGaudio::IsFrameHeader(const unsigned char* b) {
    return b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 && ((b[1] >> 3) & 3) != 1 &&
           ((b[1] >> 1) & 3) != 0 && (b[2] >> 4) != 15 && (b[2] >> 4) != 0 &&
           ((b[2] >> 2) & 3) != 3 && (b[3] & 3) != 2;
}

void TMPEGaudio::DecodeHeader(const unsigned char* b, struct FrameInfo& info) {
    std::memcpy(info.Header.data(), b, 4);
    info.VersionCode = (b[1] >> 3) & 3;
    info.LayerCode = (b[1] >> 1) & 3;
    info.HasCrc = (b[1] & 1) == 0;
    info.BitRateIndex = b[2] >> 4;
    info.SampleRateIndex = (b[2] >> 2) & 3;
    info.Padded = (b[2] >> 1) & 1;
    info.Private = b[2] & 1;
    info.ChannelMode = b[3] >> 6;
    info.ModeExtension = (b[3] >> 4) & 3;
    info.Copyrighted = (b[3] >> 3) & 1;
    info.Original = (b[3] >> 2) & 1;
    info.Emphasis = b[3] & 3;
}

namespace {

int CoefficientOf(const struct FrameInfo& info) {
    if (info.VersionCode == kVersionMpeg1) return info.LayerCode == kLayerI ? 48 : 144;
    return info.LayerCode == kLayerI ? 24 : 72;
}

int PaddingSizeOf(const struct FrameInfo& info) {
    if (!info.Padded) return 0;
    return info.LayerCode == kLayerI ? 4 : 1;
}

std::uint16_t TableBitRateOf(const struct FrameInfo& info) {
    return BitRateRow(info.VersionCode, info.LayerCode)[info.BitRateIndex & 15];
}

std::uint16_t SampleRateOf(const struct FrameInfo& info) {
    return kSampleRates[info.VersionCode & 3][info.SampleRateIndex & 3];
}

}  // namespace

std::uint16_t TMPEGaudio::FrameLength(const struct FrameInfo& info) {
    const double sampleRate = SampleRateOf(info);
    if (sampleRate == 0) return 0;
    const double bytes =
        std::trunc(CoefficientOf(info) * TableBitRateOf(info) * 1000.0 / sampleRate);
    return static_cast<std::uint16_t>(static_cast<int>(bytes) + PaddingSizeOf(info));
}

std::string TMPEGaudio::TrailerSignature(const unsigned char* buffer, std::size_t frameSize) {
    for (std::size_t i = 0; i <= 2 * frameSize && i + 8 <= kSearchSize; ++i) {
        const unsigned char* window = buffer + (kSearchSize - i - 8);
        if (std::memcmp(window, "LAME", 4) == 0)
            return std::string(reinterpret_cast<const char*>(window), 8);
        if (std::memcmp(window, "GOGO", 4) == 0) return "GOGO";
    }
    return {};
}

void TMPEGaudio::Clear() {
    fileSize_ = 0;
    trailerVendor_.clear();
    vbr_ = {};
    frame_ = {};
    id3v1_.Clear();
    id3v2_.Clear();
}

void TMPEGaudio::ReadVBRHeader(const unsigned char* at) {
    vbr_ = {};
    if (std::memcmp(at, "Xing", 4) == 0) {
        vbr_.Present = true;
        vbr_.Signature = "Xing";
        // The flags word at +4 is not consulted: every field sits at its fixed place.
        vbr_.FrameCount = BigEndian32(at + 8);
        vbr_.ByteCount = BigEndian32(at + 12);
        vbr_.Quality = at[119];
        vbr_.Vendor.assign(reinterpret_cast<const char*>(at + 120), 8);
    } else if (std::memcmp(at, "VBRI", 4) == 0) {
        vbr_.Present = true;
        vbr_.Signature = "VBRI";
        vbr_.Quality = at[9];
        vbr_.ByteCount = BigEndian32(at + 10);
        vbr_.FrameCount = BigEndian32(at + 14);
    }
}

bool TMPEGaudio::SearchFrame(const unsigned char* buffer) {
    for (std::size_t i = 0; i <= kLastSearchPosition; ++i) {
        const unsigned char* candidate = buffer + i;
        if (!IsFrameHeader(candidate)) continue;
        // A rejected candidate's values stay in frame_ until the analysis clears them.
        DecodeHeader(candidate, frame_);
        const std::size_t length = FrameLength(frame_);
        if (i + length + 4 > kSearchSize || !IsFrameHeader(buffer + i + length)) continue;
        frame_.Present = true;
        frame_.Offset = static_cast<std::int32_t>(i);
        frame_.Length = static_cast<std::uint16_t>(length);
        frame_.XingHint = true;
        for (std::size_t k = 4; k < 10; ++k)
            if (candidate[k] != 0) frame_.XingHint = false;
        std::size_t vbrOffset = frame_.VersionCode == kVersionMpeg1
                                    ? (frame_.ChannelMode == kModeMono ? 21 : 36)
                                    : (frame_.ChannelMode == kModeMono ? 13 : 21);
        ReadVBRHeader(candidate + vbrOffset);
        return true;
    }
    return false;
}

bool TMPEGaudio::ReadFile(const std::string& fileName) {
    // One open serves the two tag readers and the search.
    std::int64_t size = 0;
    fileaccess::FileHandle file = fileaccess::OpenForReading(fileName, &size);
    if (!file.IsOpen()) return false;
    if (!id3v1_.LoadFrom(file.Get(), size) || !id3v2_.LoadFrom(file.Get(), size)) return false;
    fileSize_ = size;
    const std::int64_t audioAt = id3v2_.TagSize();
    // Bytes past the end of a short read stay zero, and zero bytes never form a header.
    std::array<unsigned char, kSearchSize> buffer{};
    std::int64_t read = fileaccess::ReadUpToAt(file.Get(), buffer.data(), buffer.size(), audioAt);
    if (read < 0) return false;
    bool found = SearchFrame(buffer.data());
    if (!found && read == static_cast<std::int64_t>(kSearchSize)) {
        // A second look in the middle of the file (an absolute position).
        buffer.fill(0);
        read = fileaccess::ReadUpToAt(file.Get(), buffer.data(), buffer.size(),
                                      (fileSize_ - audioAt) / 2);
        if (read < 0) return false;
        found = SearchFrame(buffer.data());
    }
    if (found && !vbr_.Present) {
        // Constant bit rate: look for an encoder signature in the last frames.
        std::int64_t at = fileSize_ - static_cast<std::int64_t>(kSearchSize) -
                          (id3v1_.Present() ? static_cast<std::int64_t>(TID3v1::kTagSize) : 0);
        if (at < 0) return false;
        if (!fileaccess::ReadExactAt(file.Get(), buffer.data(), buffer.size(), at)) return false;
        trailerVendor_ = TrailerSignature(buffer.data(), frame_.Length);
    }
    return file.Close();
}

bool TMPEGaudio::Analyse(const std::string& fileName) {
    Clear();
    bool result = false;
    try {
        result = ReadFile(fileName);
    } catch (...) {
        result = false;
    }
    if (!frame_.Present) Clear();
    return result;
}

int TMPEGaudio::Coefficient() const {
    return CoefficientOf(frame_);
}

int TMPEGaudio::PaddingSize() const {
    return PaddingSizeOf(frame_);
}

std::uint16_t TMPEGaudio::TableBitRate() const {
    return TableBitRateOf(frame_);
}

std::string TMPEGaudio::VersionName() const {
    return kVersionNames[frame_.VersionCode & 3];
}

std::string TMPEGaudio::LayerName() const {
    return kLayerNames[frame_.LayerCode & 3];
}

std::string TMPEGaudio::ChannelModeName() const {
    return kChannelModeNames[frame_.ChannelMode <= 4 ? frame_.ChannelMode : 4];
}

std::uint16_t TMPEGaudio::SampleRate() const {
    return SampleRateOf(frame_);
}

std::uint16_t TMPEGaudio::BitRate() const {
    if (vbr_.Present && vbr_.FrameCount > 0) {
        double average = (static_cast<double>(vbr_.ByteCount) / vbr_.FrameCount - PaddingSize()) *
                         SampleRate() / Coefficient() / 1000;
        // Kept in 16 bits, as the result's type.
        return static_cast<std::uint16_t>(static_cast<std::int64_t>(RoundHalfEven(average)));
    }
    return TableBitRate();
}

double TMPEGaudio::Duration() const {
    if (!frame_.Present) return 0;
    if (vbr_.Present && vbr_.FrameCount > 0)
        return static_cast<double>(Coefficient()) * vbr_.FrameCount * 8 / SampleRate();
    const double audioBytes = static_cast<double>(fileSize_ - id3v2_.TagSize() - frame_.Offset);
    return audioBytes * 8 / TableBitRate() / 1000;
}

std::uint8_t TMPEGaudio::EncoderId() const {
    if (!frame_.Present) return kUnknown;
    if (vbr_.Present) {
        std::uint8_t id = kUnknown;
        const std::string& vendor = vbr_.Vendor;
        if (StartsWith(vendor, "LAME")) id = kLame;
        if (StartsWith(vendor, "GOGO") || StartsWith(vendor, "MPGE")) id = kGoGo;
        if (vbr_.Signature == "Xing" && !StartsWith(vendor, "LAME") &&
            !StartsWith(vendor, "GOGO") && !StartsWith(vendor, "MPGE"))
            id = kXing;
        if (vbr_.Signature == "VBRI") id = kFhG;
        return id;
    }
    // Each later rule overrides the earlier ones.
    std::uint8_t id = kFhG;
    if (frame_.Original && frame_.HasCrc) id = kLame;
    if (TableBitRate() <= 160 && frame_.ChannelMode == kModeStereo) id = kBlade;
    if (frame_.Copyrighted && frame_.Original && !frame_.HasCrc) id = kXing;
    if (frame_.XingHint && frame_.Original) id = kXing;
    if (frame_.ChannelMode == kModeDualChannel && frame_.HasCrc) id = kShine;
    if (StartsWith(trailerVendor_, "LAME")) id = kLame;
    if (StartsWith(trailerVendor_, "GOGO")) id = kGoGo;
    return id;
}

std::string TMPEGaudio::EncoderName() const {
    const std::uint8_t id = EncoderId();
    std::string name = kEncoderNames[id];
    if (id == kLame) {
        const std::string& vendor = trailerVendor_.empty() ? vbr_.Vendor : trailerVendor_;
        if (vendor.size() >= 8 && IsDigit(vendor[4]) && vendor[5] == '.' && IsDigit(vendor[6]) &&
            IsDigit(vendor[7]))
            name += " " + vendor.substr(4, 4);
    }
    return name;
}

bool TMPEGaudio::IsValid() const {
    const std::uint16_t bitRate = BitRate();
    return frame_.Present && bitRate >= 8 && bitRate <= 448 && Duration() >= 0.1;
}

std::string FormatDuration(double seconds, char decimalSeparator) {
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e15) seconds = 0;  // never from a file
    const double tenths = std::round(std::fabs(seconds) * 10);
    const auto whole = static_cast<std::uint64_t>(tenths / 10);
    const auto digit = static_cast<int>(tenths - static_cast<double>(whole) * 10);
    std::string text = seconds < 0 && tenths > 0 ? "-" : "";
    if (whole > 0) text += std::to_string(whole);
    text += decimalSeparator;
    text += static_cast<char>('0' + digit);
    return text;
}

MPEGHeaderTexts HeaderTexts(const TMPEGaudio& audio, char decimalSeparator) {
    MPEGHeaderTexts texts;
    texts.fileSize = std::to_string(audio.FileSize()) + " bytes";
    texts.mpegType = audio.VersionName() + " " + audio.LayerName();
    texts.bitRate = std::string(audio.VBRData().Present ? "VBR " : "CBR ") +
                    std::to_string(audio.BitRate()) + " kbit/s";
    texts.sampleRate = std::to_string(audio.SampleRate()) + " hz";
    texts.channelMode = audio.ChannelModeName();
    texts.duration = FormatDuration(audio.Duration(), decimalSeparator) + " sec.";
    texts.encoder = audio.EncoderName();
    return texts;
}

}  // namespace tavrin
