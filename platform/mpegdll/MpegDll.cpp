// The exported entry points. One stream at a time: the state below is process-wide. Entry
// points run one at a time under `api`; the playing thread never takes that lock. While it
// runs, the thread alone uses the decoder and the sink; the entry points talk to it through
// the flags under `control` and read its progress from atomics.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/mpegdll/AudioSink.h"
#include "platform/mpegdll/CallbackSource.h"
#include "platform/mpegdll/Decoder.h"
#include "platform/mpegdll/mpegdll_api.h"

#define MPEGDLL_EXPORT extern "C" __attribute__((visibility("default")))

namespace mpegdll {
namespace {

enum PlayerMode { kClosed = 0, kOpened = 1, kPlaying = 2, kPaused = 3, kEnded = 4 };

constexpr long long kNoEnd = LLONG_MAX;
constexpr long long kNoSeek = -1;

struct OutputChoice {
    int device = MPEGDLL_DEVICE_DEFAULT;
    std::string fileName;
};

// What Restart needs to play the last Play again.
struct LastPlay {
    bool valid = false;
    int start = 0;
    int end = 0;
    unsigned char* ended = nullptr;
    OutputChoice output;
};

struct Library {
    std::mutex api;
    bool ready = false;

    // The open stream (guarded by `api`; the decoder belongs to the thread while it runs).
    std::unique_ptr<CallbackSource> source;
    std::unique_ptr<Decoder> decoder;
    StreamFormat format;
    long long lengthMs = 0;
    bool seekable = false;
    bool consumed = false;  // a non-seekable stream has been read past its start

    OutputChoice output;
    LastPlay last;
    std::atomic<int> priority{0};

    std::thread worker;
    std::atomic<bool> finished{true};  // the worker has done everything but return
    std::atomic<pid_t> workerTid{0};

    std::mutex control;
    std::condition_variable wake;
    bool stopRequested = false;
    bool pauseRequested = false;
    long long pendingSeek = kNoSeek;

    std::atomic<int> mode{kClosed};
    std::atomic<int> lastError{MPEGDLL_OK};
    std::atomic<long long> position{0};  // samples
    std::atomic<int> bitrate{0};
    std::atomic<long> rate{0};
};

// Never destroyed: no clean-up of this library runs at unloading or at process exit, where it
// would have to wait for the playing thread while the loader lock is held, and the thread
// needs that lock to unload its sound output module. The player stops and joins the thread
// through deinit (or Stop and Close) before it lets the library go; the library is linked
// never to be unmapped, so a thread still playing can never lose its code.
Library& g_lib = *new Library;

int Result(int code) {
    g_lib.lastError.store(code);
    return code;
}

// Thread priority levels map onto nice values around the process's own: +15 is 15 steps
// more favourable. Raising needs a privilege most users lack; that is not an error.
void ApplyPriority(pid_t tid, int priority) {
    if (tid == 0) return;
    errno = 0;
    int base = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
    if (base == -1 && errno != 0) base = 0;
    int nice = std::clamp(base - priority, -20, 19);
    setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice);
}

// Joins a worker that finished on its own (having marked the end, it is about to return).
void Reap() {
    if (g_lib.worker.joinable() &&
        (g_lib.finished.load(std::memory_order_acquire) || g_lib.mode.load() == kEnded))
        g_lib.worker.join();
}

// Stops and joins the worker; true when it was still playing (or paused), in which case the
// stream is back to "opened" and `ended` was not touched.
bool StopWorker() {
    if (!g_lib.worker.joinable()) return false;
    bool wasPlaying;
    {
        std::lock_guard lock(g_lib.control);
        int mode = g_lib.mode.load();
        wasPlaying = mode == kPlaying || mode == kPaused;
        g_lib.stopRequested = true;
        g_lib.pauseRequested = false;
    }
    g_lib.wake.notify_all();
    g_lib.worker.join();
    if (wasPlaying) g_lib.mode.store(kOpened);
    return wasPlaying;
}

void CloseStream() {
    StopWorker();
    g_lib.decoder.reset();
    if (g_lib.source) g_lib.source->Close();
    g_lib.source.reset();
    g_lib.format = StreamFormat{};
    g_lib.lengthMs = 0;
    g_lib.seekable = false;
    g_lib.consumed = false;
    g_lib.last = LastPlay{};
    g_lib.position.store(0);
    g_lib.bitrate.store(0);
    g_lib.rate.store(0);
    g_lib.mode.store(kClosed);
}

void Shutdown() {
    CloseStream();
    g_lib.output = OutputChoice{};
    g_lib.priority.store(0);
    g_lib.ready = false;
}

long long MsToSamples(long long ms, long rate) {
    return ms * rate / 1000;
}

// Writes the caller's "ended" byte; it is read from another thread.
void SignalEnded(unsigned char* ended) {
    if (ended != nullptr)
        std::atomic_ref<unsigned char>(*ended).store(1, std::memory_order_release);
}

struct PlayJob {
    std::unique_ptr<AudioSink> sink;
    Decoder* decoder = nullptr;
    bool seekable = false;
    long long startSample = 0;
    long long endSample = kNoEnd;
    unsigned char* ended = nullptr;
    std::vector<unsigned char> buffer;
};

// Waits while paused; takes a pending seek. False when asked to stop.
bool CheckControl(AudioSink& sink, long long* seekTo) {
    std::unique_lock lock(g_lib.control);
    if (g_lib.pauseRequested && !g_lib.stopRequested) {
        sink.Pause();
        g_lib.wake.wait(lock, [] { return !g_lib.pauseRequested || g_lib.stopRequested; });
        if (!g_lib.stopRequested) sink.Resume();
    }
    if (g_lib.stopRequested) return false;
    *seekTo = g_lib.pendingSeek;
    g_lib.pendingSeek = kNoSeek;
    return true;
}

// The playing thread: decodes from the start position to the end position into the sink.
void PlayThread(PlayJob job) {
    pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    g_lib.workerTid.store(tid);
    ApplyPriority(tid, g_lib.priority.load());

    Decoder& decoder = *job.decoder;
    AudioSink& sink = *job.sink;
    StreamFormat format = decoder.Format();
    int error = MPEGDLL_OK;
    bool stopped = false;
    long long position = 0;     // sample offset of the next sample from the decoder
    long long skipSamples = 0;  // decoded samples to drop to reach the start
    if (job.startSample > 0) {
        long long reached = decoder.SeekTo(job.startSample);
        if (reached >= 0) {
            position = reached;
        } else if (job.seekable) {
            error = MPEGDLL_INPUT;
        } else {
            skipSamples = job.startSample;  // decode our way there
        }
    } else if (job.seekable && decoder.SeekTo(0) < 0) {
        error = MPEGDLL_INPUT;
    }
    g_lib.position.store(job.startSample);

    std::vector<unsigned char>& buffer = job.buffer;
    while (error == MPEGDLL_OK) {
        long long seekTo = kNoSeek;
        if (!CheckControl(sink, &seekTo)) {
            stopped = true;
            break;
        }
        if (seekTo != kNoSeek) {
            long long reached = decoder.SeekTo(seekTo);
            if (reached < 0) {
                error = MPEGDLL_INPUT;
                break;
            }
            sink.Discard();
            position = reached;
            skipSamples = 0;
            g_lib.position.store(position);
        }
        if (position + skipSamples >= job.endSample) break;

        size_t got = 0;
        Decoder::Status status = decoder.Read(buffer.data(), buffer.size(), &got);
        if (status == Decoder::Status::Done) break;
        if (status == Decoder::Status::InputError) {
            error = MPEGDLL_INPUT;
            break;
        }
        if (status == Decoder::Status::InternalError) {
            error = MPEGDLL_INTERNAL;
            break;
        }
        if (status == Decoder::Status::NewFormat) {
            format = decoder.Format();
            g_lib.rate.store(format.rate);
            if (!sink.Start(format.rate, format.channels)) {
                error = MPEGDLL_OUTPUT;
                break;
            }
        }
        size_t frameBytes = static_cast<size_t>(format.channels) * 2;
        long long samples = static_cast<long long>(got / frameBytes);
        unsigned char* data = buffer.data();
        if (skipSamples > 0) {
            long long skip = std::min(skipSamples, samples);
            skipSamples -= skip;
            samples -= skip;
            data += skip * frameBytes;
            position += skip;
        }
        samples = std::min(samples, job.endSample - position);
        if (samples <= 0) continue;
        if (!sink.Write(data, static_cast<size_t>(samples) * frameBytes)) {
            error = MPEGDLL_OUTPUT;
            break;
        }
        position += samples;
        g_lib.position.store(position);
        g_lib.bitrate.store(decoder.CurrentBitrate());
    }

    if (stopped) {
        sink.Discard();
        job.sink.reset();
    } else {
        if (!sink.Finish() && error == MPEGDLL_OK) error = MPEGDLL_OUTPUT;
        job.sink.reset();
        std::lock_guard lock(g_lib.control);
        if (!g_lib.stopRequested) {
            if (error != MPEGDLL_OK) g_lib.lastError.store(error);
            g_lib.mode.store(kEnded);
            SignalEnded(job.ended);
        }
    }
    g_lib.workerTid.store(0);
    g_lib.finished.store(true, std::memory_order_release);
}

std::unique_ptr<AudioSink> MakeSink(const OutputChoice& output) {
    if (output.device == MPEGDLL_DEVICE_PCMFILE) return MakePcmFileSink(output.fileName);
    return MakeSoundDeviceSink();
}

// Starts the worker (the api lock held, no worker running).
int StartPlaying(int start, int end, unsigned char* ended, const OutputChoice& output) {
    long rate = g_lib.format.rate;
    start = std::max(start, 0);
    if (g_lib.lengthMs > 0 && start > g_lib.lengthMs) start = static_cast<int>(g_lib.lengthMs);
    end = std::max(end, 0);

    // A non-seekable stream that was read before has to be started over by its owner.
    if (!g_lib.seekable && g_lib.consumed) {
        if (!g_lib.source || !g_lib.source->Rewind()) return MPEGDLL_NOT_SEEKABLE;
        if (!g_lib.decoder->Reopen()) return MPEGDLL_INPUT;
        g_lib.consumed = false;
        g_lib.format = g_lib.decoder->Format();
        rate = g_lib.format.rate;
    }

    if (g_lib.source) g_lib.source->TakeReadFailure();  // from an earlier play

    std::unique_ptr<AudioSink> sink = MakeSink(output);
    if (!sink->Start(rate, g_lib.format.channels)) return MPEGDLL_OUTPUT;

    PlayJob job;
    job.buffer.resize(g_lib.decoder->BlockSize());
    job.sink = std::move(sink);
    job.decoder = g_lib.decoder.get();
    job.seekable = g_lib.seekable;
    job.startSample = MsToSamples(start, rate);
    job.endSample = end > 0 ? MsToSamples(end, rate) : kNoEnd;
    job.ended = ended;
    {
        std::lock_guard lock(g_lib.control);
        g_lib.stopRequested = false;
        g_lib.pauseRequested = false;
        g_lib.pendingSeek = kNoSeek;
    }
    g_lib.rate.store(rate);
    g_lib.position.store(job.startSample);
    g_lib.mode.store(kPlaying);
    g_lib.finished.store(false);
    // Reset before the thread starts: an error it runs into must not be overwritten.
    g_lib.lastError.store(MPEGDLL_OK);
    try {
        g_lib.worker = std::thread(PlayThread, std::move(job));
    } catch (const std::system_error&) {
        g_lib.finished.store(true);
        g_lib.mode.store(kOpened);
        return MPEGDLL_INTERNAL;
    }
    if (!g_lib.seekable) g_lib.consumed = true;
    g_lib.last = LastPlay{true, start, end, ended, output};
    return MPEGDLL_OK;
}

bool IsOpen() {
    return g_lib.ready && g_lib.decoder != nullptr;
}

// Runs a query of the open stream: 0 and "incorrect mode" when there is none.
template <class Get>
int Query(Get get) {
    std::lock_guard lock(g_lib.api);
    if (!IsOpen()) {
        Result(MPEGDLL_BAD_MODE);
        return 0;
    }
    Result(MPEGDLL_OK);
    return get();
}

// Allocation failures end up here rather than unwinding into the caller's C code.
template <class Call>
int Guarded(Call call) {
    try {
        return call();
    } catch (const std::exception&) {
        return Result(MPEGDLL_INTERNAL);
    }
}

// Only regular files: a FIFO or device could block or never end.
bool IsRegularFile(const char* name) {
    struct stat st {};
    return name != nullptr && stat(name, &st) == 0 && S_ISREG(st.st_mode);
}

bool IsPlaying() {
    int mode = g_lib.mode.load();
    return mode == kPlaying || mode == kPaused;
}

}  // namespace
}  // namespace mpegdll

using mpegdll::g_lib;
using mpegdll::Result;

MPEGDLL_EXPORT int init(void) {
    std::lock_guard lock(g_lib.api);
    mpegdll::Reap();
    if (!g_lib.ready) {
        // A no-op on current libmpg123, needed by older ones; safe to call more than once.
        if (mpg123_init() != MPG123_OK) {
            Result(MPEGDLL_INTERNAL);
            return 0;
        }
        g_lib.ready = true;
    }
    Result(MPEGDLL_OK);
    return 1;
}

MPEGDLL_EXPORT int deinit(void) {
    std::lock_guard lock(g_lib.api);
    mpegdll::Shutdown();
    Result(MPEGDLL_OK);
    return 1;
}

MPEGDLL_EXPORT int Open(const char* name, int mode, MPEGDLL_OPEN_CB open, MPEGDLL_CLOSE_CB close,
                        MPEGDLL_RESTART_CB restart, MPEGDLL_READ_CB read, MPEGDLL_SEEK_CB seek,
                        MPEGDLL_SIZE_CB size, void* self) {
    return mpegdll::Guarded([&] {
        std::lock_guard lock(g_lib.api);
        mpegdll::Reap();
        if (!g_lib.ready || (mode != MPEGDLL_MODE_FILE && mode != MPEGDLL_MODE_STREAM))
            return Result(MPEGDLL_BAD_MODE);
        mpegdll::CloseStream();

        auto decoder = std::make_unique<mpegdll::Decoder>();
        std::unique_ptr<mpegdll::CallbackSource> source;
        bool opened;
        if (mode == MPEGDLL_MODE_FILE) {
            opened = mpegdll::IsRegularFile(name) && decoder->OpenFile(name);
        } else {
            source = std::make_unique<mpegdll::CallbackSource>(
                mpegdll::StreamCallbacks{open, close, restart, read, seek, size, self});
            opened = source->Open() && decoder->OpenSource(source.get());
        }
        if (!opened) {
            decoder.reset();  // before the source it reads from
            source.reset();   // calls the close callback if open was called
            return Result(MPEGDLL_INPUT);
        }

        g_lib.format = decoder->Format();
        g_lib.seekable = decoder->Seekable();
        long long length = decoder->LengthSamples();
        g_lib.lengthMs = length > 0 ? length * 1000 / g_lib.format.rate : 0;
        g_lib.decoder = std::move(decoder);
        g_lib.source = std::move(source);
        g_lib.consumed = false;
        g_lib.position.store(0);
        g_lib.rate.store(g_lib.format.rate);
        g_lib.bitrate.store(g_lib.format.bitrate);
        g_lib.mode.store(mpegdll::kOpened);
        return Result(MPEGDLL_OK);
    });
}

MPEGDLL_EXPORT int Close(void) {
    std::lock_guard lock(g_lib.api);
    mpegdll::Reap();
    if (!mpegdll::IsOpen()) return Result(MPEGDLL_BAD_MODE);
    mpegdll::CloseStream();
    return Result(MPEGDLL_OK);
}

MPEGDLL_EXPORT int Play(int startPos, int endPos, unsigned char* ended) {
    return mpegdll::Guarded([&] {
        std::lock_guard lock(g_lib.api);
        mpegdll::Reap();
        if (!mpegdll::IsOpen() || g_lib.worker.joinable()) return Result(MPEGDLL_BAD_MODE);
        int result = mpegdll::StartPlaying(startPos, endPos, ended, g_lib.output);
        return result == MPEGDLL_OK ? result : Result(result);
    });
}

MPEGDLL_EXPORT int Restart(void) {
    return mpegdll::Guarded([&] {
        std::lock_guard lock(g_lib.api);
        mpegdll::Reap();
        if (!mpegdll::IsOpen() || !g_lib.last.valid) return Result(MPEGDLL_BAD_MODE);
        mpegdll::StopWorker();
        mpegdll::LastPlay last = g_lib.last;
        int result = mpegdll::StartPlaying(last.start, last.end, last.ended, last.output);
        return result == MPEGDLL_OK ? result : Result(result);
    });
}

MPEGDLL_EXPORT int Stop(void) {
    std::lock_guard lock(g_lib.api);
    mpegdll::Reap();
    if (!mpegdll::IsOpen()) return Result(MPEGDLL_BAD_MODE);
    return Result(mpegdll::StopWorker() ? MPEGDLL_OK : MPEGDLL_BAD_MODE);
}

MPEGDLL_EXPORT int Pause(int resume) {
    std::lock_guard lock(g_lib.api);
    mpegdll::Reap();
    if (!mpegdll::IsOpen() || (resume != 0 && resume != 1)) return Result(MPEGDLL_BAD_MODE);
    {
        std::lock_guard control(g_lib.control);
        // Checked under `control`: the worker marks the end under it too.
        if (!mpegdll::IsPlaying()) return Result(MPEGDLL_BAD_MODE);
        g_lib.pauseRequested = resume == 0;
        g_lib.mode.store(resume == 0 ? mpegdll::kPaused : mpegdll::kPlaying);
    }
    g_lib.wake.notify_all();
    return Result(MPEGDLL_OK);
}

MPEGDLL_EXPORT int Seek(int position) {
    std::lock_guard lock(g_lib.api);
    mpegdll::Reap();
    if (!mpegdll::IsOpen()) return Result(MPEGDLL_BAD_MODE);
    if (!g_lib.seekable) return Result(MPEGDLL_NOT_SEEKABLE);
    long long ms = std::max(position, 0);
    if (g_lib.lengthMs > 0) ms = std::min(ms, g_lib.lengthMs);
    long long sample = mpegdll::MsToSamples(ms, g_lib.rate.load());
    {
        std::lock_guard control(g_lib.control);
        if (mpegdll::IsPlaying()) g_lib.pendingSeek = sample;
        g_lib.position.store(sample);
    }
    g_lib.wake.notify_all();
    return Result(MPEGDLL_OK);
}

MPEGDLL_EXPORT int SetPriority(int priority) {
    std::lock_guard lock(g_lib.api);
    if (!g_lib.ready || priority < -15 || priority > 15) return Result(MPEGDLL_BAD_MODE);
    g_lib.priority.store(priority);
    mpegdll::ApplyPriority(g_lib.workerTid.load(), priority);
    return Result(MPEGDLL_OK);
}

MPEGDLL_EXPORT int SetOutputDevice(int device, const char* fileName) {
    return mpegdll::Guarded([&] {
        std::lock_guard lock(g_lib.api);
        if (!g_lib.ready) return Result(MPEGDLL_BAD_MODE);
        if (device == MPEGDLL_DEVICE_DEFAULT) {
            g_lib.output = mpegdll::OutputChoice{};
        } else if (device == MPEGDLL_DEVICE_PCMFILE && fileName != nullptr && fileName[0] != '\0') {
            g_lib.output = mpegdll::OutputChoice{device, fileName};
        } else {
            return Result(MPEGDLL_OUTPUT);
        }
        return Result(MPEGDLL_OK);
    });
}

MPEGDLL_EXPORT int GetFrequency(void) {
    return mpegdll::Query([] { return static_cast<int>(g_lib.rate.load()); });
}

MPEGDLL_EXPORT int GetBitrate(void) {
    return mpegdll::Query([] { return g_lib.bitrate.load(); });
}

MPEGDLL_EXPORT int GetLayer(void) {
    return mpegdll::Query([] { return g_lib.format.layer; });
}

MPEGDLL_EXPORT int GetPlayerMode(void) {
    std::lock_guard lock(g_lib.api);
    mpegdll::Reap();
    Result(MPEGDLL_OK);
    return g_lib.mode.load();
}

MPEGDLL_EXPORT int GetCurrentPos(void) {
    return mpegdll::Query([] {
        long rate = g_lib.rate.load();
        long long ms = rate > 0 ? g_lib.position.load() * 1000 / rate : 0;
        return static_cast<int>(std::min<long long>(ms, INT_MAX));
    });
}

MPEGDLL_EXPORT int GetLength(void) {
    return mpegdll::Query(
        [] { return static_cast<int>(std::min<long long>(g_lib.lengthMs, INT_MAX)); });
}

MPEGDLL_EXPORT int ResetPlayerMode(void) {
    std::lock_guard lock(g_lib.api);
    mpegdll::Reap();
    if (!mpegdll::IsOpen() || g_lib.worker.joinable()) return Result(MPEGDLL_BAD_MODE);
    g_lib.mode.store(mpegdll::kOpened);  // from "ended"; "opened" stays as it is
    return Result(MPEGDLL_OK);
}

MPEGDLL_EXPORT int LastError(void) {
    return g_lib.lastError.load();
}
