// Where decoded 16-bit PCM goes: the sound output (libout123) or a raw PCM file.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace mpegdll {

class AudioSink {
  public:
    virtual ~AudioSink() = default;
    // Prepares for signed 16-bit native-order samples of this format; called again when the
    // stream's format changes. False when the output cannot be opened.
    virtual bool Start(long rate, int channels) = 0;
    // Writes interleaved samples; false on an output failure.
    virtual bool Write(unsigned char* data, size_t bytes) = 0;
    virtual void Pause() {}
    virtual void Resume() {}
    // Throws away what is queued but not yet heard (after a seek, before a stop).
    virtual void Discard() {}
    // Lets everything written reach its destination and closes; false if that failed.
    virtual bool Finish() = 0;
};

std::unique_ptr<AudioSink> MakeSoundDeviceSink();
std::unique_ptr<AudioSink> MakePcmFileSink(const std::string& path);

}  // namespace mpegdll
