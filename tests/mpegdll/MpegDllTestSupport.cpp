#include "tests/mpegdll/MpegDllTestSupport.h"

#include <dlfcn.h>

#include <cstring>

namespace tavrin::test::mpegdll {

bool LoadLibrary(void** handle, Api* api) {
    std::string path = std::string(TAVRIN_BIN_DIR) + "/libmpegdll.so";
    *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (*handle == nullptr) {
        ADD_FAILURE() << dlerror();
        return false;
    }
    bool ok = true;
#define MPEGDLL_RESOLVE(name)                                                 \
    api->name = reinterpret_cast<decltype(api->name)>(dlsym(*handle, #name)); \
    if (api->name == nullptr) {                                               \
        ADD_FAILURE() << "missing " #name;                                    \
        ok = false;                                                           \
    }
    MPEGDLL_ENTRY_POINTS(MPEGDLL_RESOLVE)
#undef MPEGDLL_RESOLVE
    return ok;
}

const TestFiles& Files() {
    static TempDir dir;
    // 64 kbit/s is the least that leaves room for the Info frame in a mono 22.05 kHz frame.
    static const TestFiles files{MakeToneMp3(dir, "stereo44", "-b 128", 1, 44100, 2),
                                 MakeToneMp3(dir, "mono22", "-b 64 -m m", 1, 22050, 1)};
    return files;
}

bool IsSet(unsigned char& ended) {
    return std::atomic_ref<unsigned char>(ended).load(std::memory_order_acquire) != 0;
}

std::vector<int16_t> ReadPcm(const std::string& path) {
    std::string bytes = ReadFile(path);
    std::vector<int16_t> samples(bytes.size() / 2);
    if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

int ZeroCrossings(const std::vector<int16_t>& samples, int channels, int channel) {
    int crossings = 0;
    for (size_t i = static_cast<size_t>(channel + channels); i < samples.size();
         i += static_cast<size_t>(channels))
        crossings += (samples[i] < 0) != (samples[i - static_cast<size_t>(channels)] < 0);
    return crossings;
}

namespace {

MemoryStream* Stream(void* self) {
    return static_cast<MemoryStream*>(self);
}

void OnOpen(void* self, int* nonseekable, void** context) {
    ++Stream(self)->opens;
    *nonseekable = Stream(self)->nonseekable ? 1 : 0;
    *context = self;
}

void OnClose(void* self, void* context) {
    ++Stream(self)->closes;
    Stream(self)->contextSeenByClose = context;
}

void OnRestart(void* self, void*, int* res) {
    ++Stream(self)->restarts;
    Stream(self)->offset = 0;
    *res = 0;
}

void OnRead(void* self, void*, void* buffer, int bytesToRead, int* bytesRead, int* res) {
    MemoryStream* s = Stream(self);
    if (s->readDelayMs > 0) SleepMs(s->readDelayMs);
    ++s->reads;
    if (s->failAt >= 0 && static_cast<long long>(s->offset) >= s->failAt) {
        *bytesRead = 0;
        *res = -1;
        return;
    }
    size_t n = std::min(static_cast<size_t>(bytesToRead), s->data.size() - s->offset);
    std::memcpy(buffer, s->data.data() + s->offset, n);
    s->offset += n;
    s->bytesRead += static_cast<long long>(n);
    *bytesRead = static_cast<int>(n);
    *res = 0;
}

void OnSeek(void* self, void*, int offset, int moveMethod, int* res) {
    MemoryStream* s = Stream(self);
    ++s->seeks;
    long long base = moveMethod == 0   ? 0
                     : moveMethod == 1 ? static_cast<long long>(s->offset)
                                       : static_cast<long long>(s->data.size());
    long long target = base + offset;
    if (s->nonseekable || target < 0 || target > static_cast<long long>(s->data.size())) {
        *res = -1;
        return;
    }
    s->offset = static_cast<size_t>(target);
    *res = static_cast<int>(target);
}

void OnSize(void* self, void*, int* res) {
    *res = static_cast<int>(Stream(self)->data.size());
}

}  // namespace

int OpenMemoryStream(const Api& api, MemoryStream* stream, bool withRestart) {
    return api.Open("memory", MPEGDLL_MODE_STREAM, OnOpen, OnClose,
                    withRestart ? OnRestart : nullptr, OnRead, OnSeek, OnSize, stream);
}

void MpegDllTest::SetUp() {
    ASSERT_FALSE(Files().stereo.empty());
    ASSERT_FALSE(Files().mono.empty());
    ASSERT_TRUE(LoadLibrary(&handle_, &api_));
    ASSERT_NE(api_.init(), 0);
    ASSERT_EQ(api_.LastError(), MPEGDLL_OK);
}

void MpegDllTest::TearDown() {
    if (handle_ == nullptr) return;
    if (api_.deinit != nullptr) api_.deinit();
    EXPECT_EQ(dlclose(handle_), 0);
}

std::string MpegDllTest::UsePcmFile(const std::string& name) {
    std::string path = dir_ / name;
    EXPECT_EQ(api_.SetOutputDevice(MPEGDLL_DEVICE_PCMFILE, path.c_str()), 0);
    return path;
}

MemoryStream& MpegDllTest::OpenSlowStream(int delayMs) {
    MemoryStream& stream = NewStream();
    stream.data = ReadFile(Files().stereo);
    EXPECT_EQ(OpenMemoryStream(api_, &stream), 0);
    stream.readDelayMs = delayMs;  // after Open, whose length scan reads everything
    return stream;
}

}  // namespace tavrin::test::mpegdll
