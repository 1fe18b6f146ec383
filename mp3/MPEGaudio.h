// TMPEGaudio: examines an MP3 file without decoding it. Finds the first MPEG audio frame,
// decodes its header, looks for a Xing or VBRI header inside that frame and for an encoder
// signature near the end of the file, and derives what the tag panel shows: size, version and
// layer, bit rate, sample rate, channel mode, duration and a guess of the encoder. It reads the
// file's ID3v1 and ID3v2 tags first, through objects of its own; it never writes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "mp3/ID3v1.h"
#include "mp3/ID3v2.h"

namespace tavrin {

// The decoded first frame.
struct FrameInfo {
    bool Present = false;
    std::int32_t Offset = 0;  // within the search buffer the frame was found in
    std::uint16_t Length = 0;
    bool XingHint = false;  // the 6 bytes after the header are all zero
    std::array<unsigned char, 4> Header{};
    std::uint8_t VersionCode = 1;  // 0 MPEG 2.5, 1 reserved, 2 MPEG 2, 3 MPEG 1
    std::uint8_t LayerCode = 0;    // 0 reserved, 1 Layer III, 2 Layer II, 3 Layer I
    bool HasCrc = false;
    std::uint16_t BitRateIndex = 0;
    std::uint16_t SampleRateIndex = 3;
    bool Padded = false;
    bool Private = false;
    std::uint8_t ChannelMode = 4;  // 0 Stereo, 1 Joint Stereo, 2 Dual Channel, 3 Mono
    std::uint8_t ModeExtension = 4;
    bool Copyrighted = false;
    bool Original = false;
    std::uint8_t Emphasis = 2;
};

// The variable-bit-rate header found inside the first frame.
struct VBRData {
    bool Present = false;
    std::string Signature;  // "Xing" or "VBRI"
    std::int32_t FrameCount = 0;
    std::int32_t ByteCount = 0;
    std::uint8_t Quality = 0;
    std::string Vendor;  // Xing: the 8 bytes after the quality field; empty for VBRI
};

class TMPEGaudio {
  public:
    // Twice the largest frame length.
    static constexpr std::size_t kSearchSize = 3458;
    static constexpr std::size_t kLastSearchPosition = 1729;

    TMPEGaudio() = default;
    TMPEGaudio(const TMPEGaudio&) = delete;
    TMPEGaudio& operator=(const TMPEGaudio&) = delete;

    // True when all file reads succeeded (a frame need not have been found). Never throws.
    bool Analyse(const std::string& fileName);
    void Clear();

    // Sizes are kept in 64 bits so that files beyond 2 GB are measured correctly.
    std::int64_t FileSize() const { return fileSize_; }
    const std::string& TrailerVendor() const { return trailerVendor_; }
    const struct VBRData& VBRData() const { return vbr_; }
    const struct FrameInfo& FrameInfo() const { return frame_; }
    const TID3v1& ID3v1() const { return id3v1_; }
    const TID3v2& ID3v2() const { return id3v2_; }

    std::string VersionName() const;
    std::string LayerName() const;
    std::string ChannelModeName() const;
    std::uint16_t BitRate() const;     // kbit/s
    std::uint16_t SampleRate() const;  // Hz
    double Duration() const;           // seconds
    std::uint8_t EncoderId() const;    // 0..6
    std::string EncoderName() const;
    bool IsValid() const;

    // The pieces of the analysis on a buffer, as Analyse applies them.
    static bool IsFrameHeader(const unsigned char* b);
    // Decodes four header bytes into the header fields of `info`.
    static void DecodeHeader(const unsigned char* b, struct FrameInfo& info);
    // The length in bytes of a frame with the header fields of `info`.
    static std::uint16_t FrameLength(const struct FrameInfo& info);
    // The signature near the end of a 3458-byte buffer for frames of `frameSize` bytes.
    static std::string TrailerSignature(const unsigned char* buffer, std::size_t frameSize);

  private:
    // Searches a 3458-byte buffer for the first frame; fills frame_ and vbr_ on success.
    bool SearchFrame(const unsigned char* buffer);
    void ReadVBRHeader(const unsigned char* at);
    bool ReadFile(const std::string& fileName);
    int Coefficient() const;
    int PaddingSize() const;
    std::uint16_t TableBitRate() const;

    std::int64_t fileSize_ = 0;
    std::string trailerVendor_;
    struct VBRData vbr_;
    struct FrameInfo frame_;
    TID3v1 id3v1_;
    TID3v2 id3v2_;
};

// The seven texts of the tag panel's header group for an analysed file.
struct MPEGHeaderTexts {
    std::string fileSize;     // "1234 bytes"
    std::string mpegType;     // "MPEG 1 Layer III"
    std::string bitRate;      // "VBR 128 kbit/s" or "CBR 128 kbit/s"
    std::string sampleRate;   // "44100 hz"
    std::string channelMode;  // "Joint Stereo"
    std::string duration;     // "245.3 sec."
    std::string encoder;      // "LAME 3.92"
};

// Seconds rounded to one decimal (halves away from zero), without a digit before the
// separator under one second: 0.54 gives ".5", 245.26 gives "245.3".
std::string FormatDuration(double seconds, char decimalSeparator);

MPEGHeaderTexts HeaderTexts(const TMPEGaudio& audio, char decimalSeparator);

}  // namespace tavrin
