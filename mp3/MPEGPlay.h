// TMPEGPlayer: plays an MP3 file (or a stream the caller supplies through events) through the
// decoder library libmpegdll.so, loaded at run time from the program folder.
#pragma once

#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "engine/Zip32.h"  // SharedLibrary
#include "platform/mpegdll/mpegdll_api.h"

namespace tavrin {

// The player's error: a message and an 8-bit code.
class TMPEGError : public std::runtime_error {
  public:
    TMPEGError(const std::string& message, std::uint8_t code)
        : std::runtime_error(message), ErrorCode(code) {}
    std::uint8_t ErrorCode;
};

// Message of a library error code (0..5); other codes get a generic text.
std::string MPEGErrorMessage(int code);

inline constexpr const char* kDecoderLibraryName = "libmpegdll.so";

enum class TPlayPriority { Idle, Lowest, BelowNormal, Normal, AboveNormal, Highest, TimeCritical };
enum class TOutputDevice { wavemapper, pcmfile };

// The priority number handed to the library, and back (any other number reads as Normal).
int PriorityNumber(TPlayPriority priority);
TPlayPriority PriorityOfNumber(int number);

class TMPEGPlayer {
  public:
    // The decoder library's entry points.
    struct Entries {
        decltype(&::init) init = nullptr;
        decltype(&::deinit) deinit = nullptr;
        decltype(&::Open) Open = nullptr;
        decltype(&::Pause) Pause = nullptr;
        decltype(&::Restart) Restart = nullptr;
        decltype(&::Stop) Stop = nullptr;
        decltype(&::SetPriority) SetPriority = nullptr;
        decltype(&::SetOutputDevice) SetOutputDevice = nullptr;
        decltype(&::Play) Play = nullptr;
        decltype(&::Close) Close = nullptr;
        decltype(&::GetFrequency) GetFrequency = nullptr;
        decltype(&::GetBitrate) GetBitrate = nullptr;
        decltype(&::GetLayer) GetLayer = nullptr;
        decltype(&::GetPlayerMode) GetPlayerMode = nullptr;
        decltype(&::GetCurrentPos) GetCurrentPos = nullptr;
        decltype(&::GetLength) GetLength = nullptr;
        decltype(&::ResetPlayerMode) ResetPlayerMode = nullptr;
        decltype(&::Seek) Seek = nullptr;
        decltype(&::LastError) LastError = nullptr;
    };

    TMPEGPlayer();
    // A stream still playing is stopped and closed (the library's deinit) before the library
    // is unloaded.
    ~TMPEGPlayer();

    // Loads programDir + "/libmpegdll.so", resolves the 19 entry points and calls init.
    // Throws "Can't load MPEG library" when the file cannot be loaded, code 0 "MPEG library
    // not loaded" when an entry point is missing, the message of the library's error when
    // init fails.
    void BindLibrary(const std::string& programDir);
    bool IsLoaded() const { return loaded_; }

    void OpenStream();
    void StartPlay();
    void PausePlay(bool pause);
    void StopPlay();
    void Replay();
    void CloseStream();
    std::int32_t Position();
    std::int32_t ReadStreamLength();
    // The position timer's tick.
    virtual void TimerTick();

    // --- Properties ------------------------------------------------------------------------
    bool Seekable = false;
    bool FromStream = false;
    bool UseTimer = false;
    bool AutoPlay = false;
    std::string PathToDLL;  // stored only
    std::int32_t StartPos = 0;
    std::int32_t EndPos = 0;
    std::string OutFilename;

    TPlayPriority PlayerPriority() const { return PriorityOfNumber(priority_); }
    void SetPlayerPriority(TPlayPriority priority);
    std::int32_t TimerFreq() const { return timerFreq_; }
    void SetTimerFreq(std::int32_t milliseconds);
    const std::string& StreamName() const { return streamName_; }
    void SetStreamName(const std::string& name);
    TOutputDevice OutputDevice() const;
    void SetOutputDevice(TOutputDevice device);
    std::int32_t PlayedXTimes() const { return playedXTimes_; }
    std::int32_t LastErrorCode() const { return lastErrorCode_; }
    bool Opened() const { return opened_; }
    bool Playing() const { return playing_; }
    bool Paused() const { return paused_; }
    bool Ended() const;
    std::int32_t StreamLength() const { return streamLength_; }

    // --- Events ----------------------------------------------------------------------------
    std::function<void(bool& nonseekable, void*& context)> OnOpenStream;
    std::function<void(void* context)> OnCloseStream;
    std::function<void(void* context, bool& res)> OnRestartStream;
    std::function<void(void* context, std::int32_t& res)> OnGetStreamSize;
    std::function<void(void* context, std::int32_t numbytes, std::int32_t moveMethod,
                       std::int32_t& res)>
        OnSeekStream;
    std::function<void(void* context, void* buffer, std::int32_t toRead, std::int32_t& read,
                       bool& res)>
        OnReadStream;
    std::function<void(std::int32_t pos, std::int32_t len)> OnPosUpdate = [](std::int32_t,
                                                                             std::int32_t) {};
    std::function<void()> OnPlayEnd;

    // The library's entry points (tests may put recording ones in place).
    Entries& Library() { return entries_; }
    void UseEntries(const Entries& entries);

  private:
    void RequireLoaded() const;
    void ErrorTest();  // raises the library's error, if any
    void StartTimer();

    SharedLibrary library_;
    Entries entries_;
    bool loaded_ = false;
    bool opened_ = false;
    bool playing_ = false;
    bool paused_ = false;
    unsigned char ended_ = 0;  // set by the library's thread at the end of the stream
    std::int32_t streamLength_ = 0;
    std::int32_t lastErrorCode_ = 0;
    std::int32_t playedXTimes_ = 0;
    std::int32_t timerFreq_ = 0;
    int priority_ = 0;
    int device_ = 0;
    std::string streamName_;
    std::unique_ptr<QTimer> timer_;
};

}  // namespace tavrin
