// The decoder library as the player sees it: loaded with dlopen, its 19 entry points resolved
// by name. The MP3s are made with lame once per test run.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/mpegdll/mpegdll_api.h"
#include "tests/support/TestSupport.h"

namespace tavrin::test::mpegdll {

// clang-format off
#define MPEGDLL_ENTRY_POINTS(X)                                                            \
    X(init) X(deinit) X(Open) X(Pause) X(Restart) X(Stop) X(SetPriority)                   \
    X(SetOutputDevice) X(Play) X(Close) X(GetFrequency) X(GetBitrate) X(GetLayer)          \
    X(GetPlayerMode) X(GetCurrentPos) X(GetLength) X(ResetPlayerMode) X(Seek) X(LastError)
// clang-format on

struct Api {
#define MPEGDLL_MEMBER(name) decltype(&::name) name = nullptr;
    MPEGDLL_ENTRY_POINTS(MPEGDLL_MEMBER)
#undef MPEGDLL_MEMBER
    int OpenFile(const std::string& path) const {
        return Open(path.c_str(), MPEGDLL_MODE_FILE, nullptr, nullptr, nullptr, nullptr, nullptr,
                    nullptr, nullptr);
    }
};

// Loads the library and resolves every entry point; false (with a test failure) otherwise.
bool LoadLibrary(void** handle, Api* api);

enum Mode { kClosed = 0, kOpened = 1, kPlaying = 2, kPaused = 3, kEnded = 4 };

// 1 s of 44.1 kHz stereo (440 Hz left, 880 Hz right) at 128 kbit/s, and 1 s of 22.05 kHz
// mono 440 Hz.
struct TestFiles {
    std::string stereo;
    std::string mono;
};
const TestFiles& Files();

// Reads an "ended" byte the library's thread may be writing.
bool IsSet(unsigned char& ended);
template <class Condition>
bool WaitUntil(Condition condition) {  // up to 10 s
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
inline bool WaitForEnded(unsigned char* ended) {
    return WaitUntil([ended] { return IsSet(*ended); });
}
inline void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::vector<int16_t> ReadPcm(const std::string& path);
inline long PcmSamples(const std::string& path, int channels = 2) {
    return static_cast<long>(ReadFile(path).size()) / (2 * channels);
}
// Sign changes of one channel of interleaved samples: about twice the frequency per second.
int ZeroCrossings(const std::vector<int16_t>& samples, int channels, int channel);

// A stream served from memory through the stream-mode callbacks. Reads can be slowed down so
// that playing takes a while, and made to fail from an offset on.
struct MemoryStream {
    std::string data;
    size_t offset = 0;
    bool nonseekable = false;
    int readDelayMs = 0;
    long long failAt = -1;
    int opens = 0;
    int closes = 0;
    int restarts = 0;
    int seeks = 0;
    std::atomic<int> reads{0};
    std::atomic<long long> bytesRead{0};
    void* contextSeenByClose = nullptr;
};

// Opens `stream` in stream mode with all six callbacks (restart only if `withRestart`).
int OpenMemoryStream(const Api& api, MemoryStream* stream, bool withRestart = true);

// Each test loads and initialises the library and unloads it after deinit. What the playing
// thread and the callbacks write to lives here, so it outlives the deinit even when a test
// stops early.
class MpegDllTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string UsePcmFile(const std::string& name = "out.pcm");
    MemoryStream& NewStream() { return *streams_.emplace_back(std::make_unique<MemoryStream>()); }
    // A stream of the stereo file whose reads take `delayMs` once it is open.
    MemoryStream& OpenSlowStream(int delayMs);

    TempDir dir_;
    std::vector<std::unique_ptr<MemoryStream>> streams_;
    unsigned char ended_ = 0;
    unsigned char other_ = 0;
    void* handle_ = nullptr;
    Api api_;
};

}  // namespace tavrin::test::mpegdll
