#include "mp3/MPEGPlay.h"

#include <atomic>

namespace tavrin {

std::string MPEGErrorMessage(int code) {
    switch (code) {
        case 0:
            return "MPEG library not loaded";
        case 1:
            return "Internal decoder error";
        case 2:
            return "Incorrect mode";
        case 3:
            return "Input stream error";
        case 4:
            return "Input stream is non-seekable";
        case 5:
            return "Output device failure";
        default:
            return "MPEG library error " + std::to_string(code);
    }
}

int PriorityNumber(TPlayPriority p) {
    switch (p) {
        case TPlayPriority::Idle:
            return -15;
        case TPlayPriority::Lowest:
            return -2;
        case TPlayPriority::BelowNormal:
            return -1;
        case TPlayPriority::Normal:
            return 0;
        case TPlayPriority::AboveNormal:
            return 1;
        case TPlayPriority::Highest:
            return 2;
        case TPlayPriority::TimeCritical:
            return 15;
    }
    return 0;
}

TPlayPriority PriorityOfNumber(int number) {
    switch (number) {
        case -15:
            return TPlayPriority::Idle;
        case -2:
            return TPlayPriority::Lowest;
        case -1:
            return TPlayPriority::BelowNormal;
        case 1:
            return TPlayPriority::AboveNormal;
        case 2:
            return TPlayPriority::Highest;
        case 15:
            return TPlayPriority::TimeCritical;
        default:
            return TPlayPriority::Normal;
    }
}

namespace {

template <typename T>
bool Bind(const SharedLibrary& lib, const char* name, T& target) {
    target = reinterpret_cast<T>(lib.Symbol(name));
    return target != nullptr;
}

TMPEGPlayer* Self(void* self) {
    return static_cast<TMPEGPlayer*>(self);
}

// The stream-mode callbacks: the library hands back the component given to Open.
void OpenCallback(void* self, int* nonseekable, void** context) {
    bool nonSeek = *nonseekable != 0;
    void* ctx = nullptr;
    if (Self(self)->OnOpenStream) Self(self)->OnOpenStream(nonSeek, ctx);
    *nonseekable = nonSeek ? 1 : 0;
    *context = ctx;
}
void CloseCallback(void* self, void* context) {
    if (Self(self)->OnCloseStream) Self(self)->OnCloseStream(context);
}
void RestartCallback(void* self, void* context, int* res) {
    bool ok = false;
    if (Self(self)->OnRestartStream) Self(self)->OnRestartStream(context, ok);
    *res = ok ? 1 : 0;
}
void ReadCallback(void* self, void* context, void* buffer, int toRead, int* read, int* res) {
    std::int32_t got = 0;
    bool ok = false;
    if (Self(self)->OnReadStream) Self(self)->OnReadStream(context, buffer, toRead, got, ok);
    *read = got;
    *res = ok ? 1 : 0;
}
void SeekCallback(void* self, void* context, int offset, int moveMethod, int* res) {
    std::int32_t r = -1;
    if (Self(self)->OnSeekStream) Self(self)->OnSeekStream(context, offset, moveMethod, r);
    *res = r;
}
void SizeCallback(void* self, void* context, int* res) {
    std::int32_t r = -1;
    if (Self(self)->OnGetStreamSize) Self(self)->OnGetStreamSize(context, r);
    *res = r;
}

}  // namespace

TMPEGPlayer::TMPEGPlayer() = default;

TMPEGPlayer::~TMPEGPlayer() {
    // The library's playing thread ends here, before the library is let go: deinit stops the
    // stream, closes it and joins the thread on this thread. Nothing may be left to the
    // library's unloading, which runs under the loader lock that the ending thread needs to
    // unload its sound output module.
    if (loaded_ && entries_.deinit) entries_.deinit();
    timer_.reset();
    library_.Close();
}

void TMPEGPlayer::BindLibrary(const std::string& programDir) {
    loaded_ = false;
    if (!library_.Open(programDir + "/" + kDecoderLibraryName, nullptr))
        throw TMPEGError("Can't load MPEG library", 0);
    Entries e;
    bool ok =
        Bind(library_, "init", e.init) && Bind(library_, "deinit", e.deinit) &&
        Bind(library_, "Open", e.Open) && Bind(library_, "Pause", e.Pause) &&
        Bind(library_, "Restart", e.Restart) && Bind(library_, "Stop", e.Stop) &&
        Bind(library_, "SetPriority", e.SetPriority) &&
        Bind(library_, "SetOutputDevice", e.SetOutputDevice) && Bind(library_, "Play", e.Play) &&
        Bind(library_, "Close", e.Close) && Bind(library_, "GetFrequency", e.GetFrequency) &&
        Bind(library_, "GetBitrate", e.GetBitrate) && Bind(library_, "GetLayer", e.GetLayer) &&
        Bind(library_, "GetPlayerMode", e.GetPlayerMode) &&
        Bind(library_, "GetCurrentPos", e.GetCurrentPos) &&
        Bind(library_, "GetLength", e.GetLength) &&
        Bind(library_, "ResetPlayerMode", e.ResetPlayerMode) && Bind(library_, "Seek", e.Seek) &&
        Bind(library_, "LastError", e.LastError);
    if (!ok) {
        library_.Close();
        throw TMPEGError(MPEGErrorMessage(0), 0);
    }
    if (!e.init()) {
        lastErrorCode_ = e.LastError();
        library_.Close();
        throw TMPEGError(MPEGErrorMessage(lastErrorCode_),
                         static_cast<std::uint8_t>(lastErrorCode_));
    }
    UseEntries(e);
}

void TMPEGPlayer::UseEntries(const Entries& entries) {
    entries_ = entries;
    loaded_ = true;
    timer_ = std::make_unique<QTimer>();
    timer_->setInterval(UseTimer ? timerFreq_ : 0);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { TimerTick(); });
    streamLength_ = 0;
}

void TMPEGPlayer::RequireLoaded() const {
    if (!loaded_) throw TMPEGError(MPEGErrorMessage(0), 0);
}

void TMPEGPlayer::ErrorTest() {
    lastErrorCode_ = entries_.LastError();
    if (lastErrorCode_ > 0)
        throw TMPEGError(MPEGErrorMessage(lastErrorCode_),
                         static_cast<std::uint8_t>(lastErrorCode_));
}

bool TMPEGPlayer::Ended() const {
    return std::atomic_ref<unsigned char>(const_cast<unsigned char&>(ended_))
               .load(std::memory_order_acquire) != 0;
}

void TMPEGPlayer::OpenStream() {
    RequireLoaded();
    if (opened_) CloseStream();
    opened_ = false;
    if (FromStream) {
        entries_.Open(nullptr, MPEGDLL_MODE_STREAM, OpenCallback, CloseCallback, RestartCallback,
                      ReadCallback, SeekCallback, SizeCallback, this);
    } else {
        if (streamName_.empty()) throw TMPEGError("Can't play non-specified stream", 254);
        entries_.Open(streamName_.c_str(), MPEGDLL_MODE_FILE, nullptr, nullptr, nullptr, nullptr,
                      nullptr, nullptr, nullptr);
    }
    ErrorTest();
    opened_ = true;
    playedXTimes_ = 1;
    streamLength_ = ReadStreamLength();
    if (AutoPlay) StartPlay();
}

void TMPEGPlayer::StartPlay() {
    RequireLoaded();
    if (paused_) {
        PausePlay(false);
        return;
    }
    if (playing_) return;
    if (!opened_) OpenStream();
    if (!opened_) return;
    if (playedXTimes_ > 1) {
        Replay();
        return;
    }
    entries_.SetPriority(priority_);
    ErrorTest();
    entries_.SetOutputDevice(device_, OutFilename.c_str());
    ErrorTest();
    std::atomic_ref<unsigned char>(ended_).store(0);
    int r = entries_.Play(StartPos, EndPos, &ended_);
    lastErrorCode_ = entries_.LastError();
    if (lastErrorCode_ > 0 || r != 0)
        throw TMPEGError(MPEGErrorMessage(lastErrorCode_),
                         static_cast<std::uint8_t>(lastErrorCode_));
    playing_ = true;
    ++playedXTimes_;
    StartTimer();
}

void TMPEGPlayer::StartTimer() {
    if (UseTimer && timer_ && timer_->interval() != 0) {
        timer_->start();
        TimerTick();
    }
}

void TMPEGPlayer::PausePlay(bool pause) {
    if (!playing_ || Ended()) {
        paused_ = false;
        if (pause) throw TMPEGError(MPEGErrorMessage(2), 2);
        return;
    }
    RequireLoaded();
    entries_.Pause(pause ? 0 : 1);
    ErrorTest();
    paused_ = pause;
}

void TMPEGPlayer::StopPlay() {
    if (!playing_ || Ended()) throw TMPEGError(MPEGErrorMessage(2), 2);
    RequireLoaded();
    entries_.Stop();
    ErrorTest();
    playing_ = false;
    paused_ = false;
}

void TMPEGPlayer::Replay() {
    RequireLoaded();
    if (!opened_) throw TMPEGError(MPEGErrorMessage(2), 2);
    std::atomic_ref<unsigned char>(ended_).store(0);
    entries_.Restart();
    ErrorTest();
    playing_ = true;
    ++playedXTimes_;
    StartTimer();
}

void TMPEGPlayer::CloseStream() {
    RequireLoaded();
    opened_ = paused_ = playing_ = false;
    playedXTimes_ = 0;
    entries_.Close();
    ErrorTest();
}

std::int32_t TMPEGPlayer::Position() {
    RequireLoaded();
    std::int32_t p = entries_.GetCurrentPos();
    ErrorTest();
    return p;
}

std::int32_t TMPEGPlayer::ReadStreamLength() {
    RequireLoaded();
    std::int32_t length = entries_.GetLength();
    ErrorTest();
    return length;
}

void TMPEGPlayer::TimerTick() {
    if (!opened_ || !playing_) {
        if (timer_) timer_->stop();
        return;
    }
    std::int32_t p = Position();
    if (p > streamLength_) p = 0;
    if (OnPosUpdate) OnPosUpdate(p, streamLength_);
    if (Ended()) {
        if (timer_) timer_->stop();
        playing_ = false;
        if (OnPlayEnd) {
            std::atomic_ref<unsigned char>(ended_).store(0);
            OnPlayEnd();
        }
    }
}

void TMPEGPlayer::SetPlayerPriority(TPlayPriority priority) {
    priority_ = PriorityNumber(priority);
    if (loaded_) {
        entries_.SetPriority(priority_);
        ErrorTest();
    }
}

void TMPEGPlayer::SetTimerFreq(std::int32_t milliseconds) {
    timerFreq_ = milliseconds;
    if (milliseconds == 0) UseTimer = false;
    if (timer_) timer_->setInterval(UseTimer ? timerFreq_ : 0);
}

void TMPEGPlayer::SetStreamName(const std::string& name) {
    streamName_ = name;
    if (opened_) CloseStream();
}

TOutputDevice TMPEGPlayer::OutputDevice() const {
    return device_ == MPEGDLL_DEVICE_PCMFILE ? TOutputDevice::pcmfile : TOutputDevice::wavemapper;
}

void TMPEGPlayer::SetOutputDevice(TOutputDevice device) {
    // A PCM file needs its name first; without one the device stays the sound output.
    if (device == TOutputDevice::pcmfile && !OutFilename.empty())
        device_ = MPEGDLL_DEVICE_PCMFILE;
    else
        device_ = MPEGDLL_DEVICE_DEFAULT;
}

}  // namespace tavrin
