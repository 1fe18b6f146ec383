// Deflating on many threads: the pieces of each file form one valid stream whatever the number
// of workers, files that change, vanish or cannot be read while a job runs are handled, and a
// spool that fails stops the job cleanly, leaving the old archive whole.
#include <sys/resource.h>
#include <zlib.h>

#include <atomic>
#include <thread>

#include "InfozipTestSupport.h"
#include "platform/infozip/ParallelDeflate.h"

using namespace iztest;
using izcommon::PrepareResult;
using izcommon::PrepareStatus;

namespace {

constexpr size_t kMiB = 1 << 20;

// Text with some repetition, so deflating has back references across piece boundaries.
std::string Mixed(size_t size, unsigned seed) {
    static const char* words[] = {"archive ", "description ", "zip ", "\r\n", "the ", "tavrin "};
    std::string out;
    out.reserve(size + 16);
    while (out.size() < size) {
        seed = seed * 1103515245u + 12345u;
        if ((seed >> 28) == 0) {
            for (int i = 0; i < 64; ++i) out += static_cast<char>((seed >> (i % 24)) & 0xff);
        } else {
            out += words[(seed >> 16) % 6];
        }
    }
    out.resize(size);
    return out;
}

std::string Noise(size_t size, unsigned seed) {
    std::string out(size, '\0');
    for (char& c : out) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return out;
}

std::string SpoolBytes(const izcommon::Spool& spool, uint64_t offset, uint64_t length) {
    std::string out(length, '\0');
    EXPECT_TRUE(spool.Read(offset, reinterpret_cast<uint8_t*>(out.data()), out.size()));
    return out;
}

// Inflates a raw deflate stream; fails the test unless it ends exactly where the data ends.
std::string Inflate(const std::string& packed) {
    z_stream zs{};
    EXPECT_EQ(inflateInit2(&zs, -MAX_WBITS), Z_OK);
    std::string out, buffer(1 << 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    zs.avail_in = static_cast<uInt>(packed.size());
    int result = Z_OK;
    while (result == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef*>(buffer.data());
        zs.avail_out = static_cast<uInt>(buffer.size());
        result = inflate(&zs, Z_NO_FLUSH);
        out.append(buffer.data(), buffer.size() - zs.avail_out);
        if (result == Z_BUF_ERROR && zs.avail_in == 0) break;
    }
    EXPECT_EQ(result, Z_STREAM_END);
    EXPECT_EQ(zs.avail_in, 0u) << "bytes after the end of the stream";
    inflateEnd(&zs);
    return out;
}

uint32_t Crc(const std::string& data) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

struct Job {
    std::vector<PrepareResult> results;
    std::string spooled;  // everything the spool holds, in order
    PrepareStatus status;
};

Job Prepare(const std::vector<std::string>& paths, unsigned workers, int level = 6,
            const std::string& spoolFolder = "/tmp", size_t budget = 4 * kMiB) {
    izcommon::Spool spool(spoolFolder, budget);
    Job job;
    std::string error;
    job.status = izcommon::PrepareFiles(paths, level, workers, spool, &job.results, &error);
    if (job.status == PrepareStatus::kOk) job.spooled = SpoolBytes(spool, 0, spool.Size());
    return job;
}

// The deflated bytes of one prepared file, taken from the whole spool.
std::string Packed(const Job& job, size_t i) {
    const izcommon::PreparedFile& f = job.results[i].file;
    return job.spooled.substr(f.spoolOffset, f.compSize);
}

}  // namespace

// Every boundary a piece can end on, small files batched together, a stored file between
// deflated ones: each file's bytes inflate back to the file, its CRC and size are the file's,
// and one, two and five workers (or none, the calling thread) put the very same bytes into
// the spool.
TEST(ParallelDeflate, StreamsAreWholeAndTheSameOnAnyNumberOfWorkers) {
    TempDir dir;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"empty", ""},
        {"one", "x"},
        {"piece", Mixed(kMiB, 1)},
        {"piece+1", Mixed(kMiB + 1, 2)},
        {"piece-1", Mixed(kMiB - 1, 3)},
        {"noise", Noise(kMiB + 5000, 4)},
        {"three-and-a-half", Mixed(7 * kMiB / 2, 5)},
        {"two-pieces", Mixed(2 * kMiB, 6)},
    };
    std::vector<std::string> paths;
    std::vector<std::string> contents;
    for (const auto& [name, content] : files) {
        WriteFile(dir / name, content);
        paths.push_back(dir / name);
        contents.push_back(content);
    }
    for (int i = 0; i < 300; ++i) {
        contents.push_back(Mixed(100 + i * 37, 100 + i));
        paths.push_back(dir / ("small" + std::to_string(i)));
        WriteFile(paths.back(), contents.back());
    }

    Job one = Prepare(paths, 1);
    ASSERT_EQ(one.status, PrepareStatus::kOk);
    for (size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i]);
        const izcommon::PreparedFile& f = one.results[i].file;
        ASSERT_EQ(one.results[i].status, PrepareStatus::kOk);
        EXPECT_EQ(f.size, contents[i].size());
        EXPECT_EQ(f.crc, Crc(contents[i]));
        EXPECT_EQ(f.speedFlags, 0);
        const bool stored = i < 2 || paths[i] == dir / "noise";
        EXPECT_EQ(f.stored, stored);
        if (!stored) {
            EXPECT_EQ(Inflate(Packed(one, i)), contents[i]);
        }
    }
    for (unsigned workers : {0u, 2u, 5u}) {
        Job many = Prepare(paths, workers);
        ASSERT_EQ(many.status, PrepareStatus::kOk);
        EXPECT_EQ(many.spooled, one.spooled) << workers << " workers";
        for (size_t i = 0; i < paths.size(); ++i) {
            EXPECT_EQ(many.results[i].file.spoolOffset, one.results[i].file.spoolOffset);
            EXPECT_EQ(many.results[i].file.crc, one.results[i].file.crc);
        }
    }
    // A large file packs within a hair of one unbroken stream.
    const std::string& big = contents[6];
    uLongf bound = compressBound(big.size());
    std::string whole(bound, '\0');
    z_stream zs{};
    ASSERT_EQ(deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY), Z_OK);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(big.data()));
    zs.avail_in = static_cast<uInt>(big.size());
    zs.next_out = reinterpret_cast<Bytef*>(whole.data());
    zs.avail_out = static_cast<uInt>(whole.size());
    ASSERT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    const double unbroken = static_cast<double>(zs.total_out);
    deflateEnd(&zs);
    EXPECT_LT(static_cast<double>(one.results[6].file.compSize), unbroken * 1.005);
}

// A file that cannot be opened or read is reported and takes nothing from the spool; the files
// around it are whole.
TEST(ParallelDeflate, UnreadableFilesAreReportedAndLeaveNoTrace) {
    TempDir dir;
    WriteFile(dir / "a", Mixed(3 * kMiB, 7));
    WriteFile(dir / "c", Mixed(5000, 8));
    fs::create_directories(dir / "folder");  // opens, but reading fails
    std::vector<std::string> paths = {dir / "a", dir / "missing", dir / "folder", dir / "c"};
    Job job = Prepare(paths, 2);
    ASSERT_EQ(job.status, PrepareStatus::kOk);
    EXPECT_EQ(job.results[1].status, PrepareStatus::kUnreadable);
    EXPECT_EQ(job.results[1].error, "could not open for reading: " + paths[1]);
    EXPECT_EQ(job.results[2].status, PrepareStatus::kUnreadable);
    EXPECT_EQ(job.results[2].error.rfind("read error on " + paths[2] + ": ", 0), 0u);
    EXPECT_EQ(Inflate(Packed(job, 0)), ReadFile(paths[0]));
    EXPECT_EQ(Inflate(Packed(job, 3)), ReadFile(paths[3]));
    const izcommon::PreparedFile& a = job.results[0].file;
    EXPECT_EQ(job.results[3].file.spoolOffset, a.spoolOffset + a.compSize);
    EXPECT_EQ(job.spooled.size(), a.compSize + job.results[3].file.compSize);
}

// A file that grows or shrinks while it is read goes in as it was read: the stream, the size
// and the CRC agree with each other, and the bytes are the file's.
TEST(ParallelDeflate, AFileThatChangesWhileItIsReadGoesInAsRead) {
    TempDir dir;
    const std::string path = dir / "log";
    const std::string start = Mixed(24 * kMiB, 9);
    for (bool grow : {true, false}) {
        SCOPED_TRACE(grow ? "growing" : "shrinking");
        WriteFile(path, start);
        std::atomic<bool> done{false};
        std::string added = Mixed(kMiB / 4, 10);
        std::thread changer([&] {
            int fd = open(path.c_str(), O_WRONLY | O_APPEND);
            off_t size = static_cast<off_t>(start.size());
            for (int step = 0; !done && step < 40 && size > 0; ++step) {
                if (grow) {
                    EXPECT_EQ(write(fd, added.data(), added.size()), ssize_t(added.size()));
                } else {
                    size -= static_cast<off_t>(kMiB) / 2;
                    EXPECT_EQ(ftruncate(fd, std::max<off_t>(size, 0)), 0);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            close(fd);
        });
        Job job = Prepare({path}, 2);
        done = true;
        changer.join();
        ASSERT_EQ(job.status, PrepareStatus::kOk);
        const izcommon::PreparedFile& f = job.results[0].file;
        ASSERT_FALSE(f.stored);
        std::string back = Inflate(Packed(job, 0));
        EXPECT_EQ(back.size(), f.size);
        EXPECT_EQ(Crc(back), f.crc);
        std::string now = ReadFile(path);
        const std::string& reference = grow ? now : start;
        ASSERT_LE(back.size(), reference.size());
        EXPECT_TRUE(back == reference.substr(0, back.size()));
    }
}

// The spool cannot take the data (its unnamed file cannot be made): the job stops with the
// reason, while the workers still have pieces; nothing hangs.
TEST(ParallelDeflate, SpoolFailureStopsTheJob) {
    TempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 6; ++i) {
        paths.push_back(dir / ("f" + std::to_string(i)));
        WriteFile(paths.back(), Noise(2 * kMiB, 20 + i) + Mixed(2 * kMiB, 30 + i));
    }
    izcommon::Spool spool(dir / "no-such-folder", kMiB);
    std::vector<PrepareResult> results;
    std::string error;
    EXPECT_EQ(izcommon::PrepareFiles(paths, 6, 3, spool, &results, &error),
              PrepareStatus::kSpoolFailed);
    EXPECT_NE(error.find("no-such-folder"), std::string::npos) << error;
}

// Through the engine: the temporary file taking the deflated data beyond the memory budget
// cannot grow (a file size limit), so the job fails while the workers deflate; the old
// archive stays byte for byte, the sources stay, nothing is left behind.
TEST(ParallelDeflate, FailureWhileDeflatingLeavesTheOldArchiveWhole) {
    TempDir dir;
    TempDir temp;
    WriteFile(dir / "small.txt", "small");
    // Hex digits: deflated to about half, so 150 MB spill well past the 64 MiB kept in memory.
    std::string hex = Noise(150 * kMiB, 40);
    for (char& c : hex) c = "0123456789abcdef"[static_cast<unsigned char>(c) & 15];
    WriteFile(dir / "big.txt", hex);
    hex.clear();
    hex.shrink_to_fit();
    ZipDriver zip;
    zip.options.fJunkDir = TRUE;
    ASSERT_EQ(zip.Run(dir / "a.zip", {dir / "small.txt"}), ZE_OK);
    const std::string before = ReadFile(dir / "a.zip");
    std::string tempPath = temp.Path();
    zip.options.szTempDir = tempPath.data();
    zip.options.fMove = TRUE;
    zip.options.fLevel = '1';
    ZipLib();  // loaded before the fork
    EXPECT_EQ(
        RunWithFileSizeLimit(4 << 20, [&] { return zip.Run(dir / "a.zip", {dir / "big.txt"}); }),
        ZE_TEMP);
    EXPECT_EQ(ReadFile(dir / "a.zip"), before);
    EXPECT_EQ(Tree(dir.Path()), (std::vector<std::string>{"a.zip", "big.txt", "small.txt"}));
    EXPECT_EQ(Tree(temp.Path()), std::vector<std::string>{});
}
