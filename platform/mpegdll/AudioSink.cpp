#include "platform/mpegdll/AudioSink.h"

#include <fcntl.h>
#include <fmt123.h>
#include <out123.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace mpegdll {
namespace {

// The default sound output through libout123's default driver list.
class SoundDeviceSink : public AudioSink {
  public:
    ~SoundDeviceSink() override {
        if (out_ != nullptr) {
            // Deleting closes the device, which would wait for queued audio: drop it first.
            out123_drop(out_);
            out123_del(out_);
        }
    }

    bool Start(long rate, int channels) override {
        if (out_ == nullptr) {
            out_ = out123_new();
            if (out_ == nullptr) return false;
            out123_param_int(out_, OUT123_ADD_FLAGS, OUT123_QUIET);
            // Real sound outputs only: out123's fallbacks (raw, wav, dummy) would write to
            // standard output or nowhere instead of reporting that there is no device.
            if (out123_open(out_, "pulse,alsa,oss,jack,sndio,portaudio,sdl", nullptr) !=
                OUT123_OK) {
                out123_del(out_);
                out_ = nullptr;
                return false;
            }
        } else {
            out123_stop(out_);  // plays out what has the old format
        }
        return out123_start(out_, rate, channels, MPG123_ENC_SIGNED_16) == OUT123_OK;
    }

    bool Write(unsigned char* data, size_t bytes) override {
        while (bytes > 0) {
            size_t played = out123_play(out_, data, bytes);
            if (played == 0) return false;
            data += played;
            bytes -= played;
        }
        return true;
    }

    void Pause() override { out123_pause(out_); }
    void Resume() override { out123_continue(out_); }
    void Discard() override { out123_drop(out_); }

    bool Finish() override {
        out123_drain(out_);
        out123_del(out_);
        out_ = nullptr;
        return true;
    }

  private:
    out123_handle* out_ = nullptr;
};

// Raw samples appended to a file, which is created (or truncated) when playing starts.
class PcmFileSink : public AudioSink {
  public:
    explicit PcmFileSink(std::string path) : path_(std::move(path)) {}
    ~PcmFileSink() override {
        if (fd_ >= 0) ::close(fd_);
    }

    bool Start(long, int) override {
        if (fd_ >= 0) return true;  // a format change just goes on in the same file
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        return fd_ >= 0;
    }

    bool Write(unsigned char* data, size_t bytes) override {
        while (bytes > 0) {
            ssize_t written = ::write(fd_, data, bytes);
            if (written < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            data += written;
            bytes -= static_cast<size_t>(written);
        }
        return true;
    }

    bool Finish() override {
        int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace

std::unique_ptr<AudioSink> MakeSoundDeviceSink() {
    return std::make_unique<SoundDeviceSink>();
}

std::unique_ptr<AudioSink> MakePcmFileSink(const std::string& path) {
    return std::make_unique<PcmFileSink>(path);
}

}  // namespace mpegdll
