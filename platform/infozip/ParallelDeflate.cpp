#include "ParallelDeflate.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

namespace izcommon {

namespace {

constexpr size_t kPiece = 1 << 20;    // the input of one piece
constexpr size_t kWindow = 32 << 10;  // deflate's window: the dictionary of the next piece
// Small files travel to the workers together, so a job of thousands of them does not pay a
// hand-over per file.
constexpr size_t kBatchInput = 1 << 20;
constexpr size_t kBatchPieces = 256;

struct Piece {
    size_t file = 0;
    bool first = false;               // starts the file's stream
    bool last = false;                // ends it
    bool abandoned = false;           // the file could not be read to its end: nothing to deflate
    std::vector<uint8_t> dictionary;  // up to 32 KiB of the file before `input`
    std::vector<uint8_t> input;
    std::vector<uint8_t> output;
    uint32_t crc = 0;
};

struct Batch {
    std::vector<Piece> pieces;
    size_t input = 0;
    bool done = false;
    bool failed = false;  // a worker ran out of memory on it
};

// Deflates one piece with a stream set up for the job's level.
void Deflate(z_stream& zs, Piece& piece) {
    piece.crc = static_cast<uint32_t>(crc32(0, piece.input.data(), uInt(piece.input.size())));
    if (deflateReset(&zs) != Z_OK) throw std::bad_alloc();
    if (!piece.dictionary.empty() &&
        deflateSetDictionary(&zs, piece.dictionary.data(), uInt(piece.dictionary.size())) != Z_OK)
        throw std::bad_alloc();
    piece.output.resize(deflateBound(&zs, uLong(piece.input.size())) + 16);
    zs.next_in = piece.input.data();
    zs.avail_in = uInt(piece.input.size());
    // A sync flush ends the piece on a byte boundary without ending the stream.
    const int flush = piece.last ? Z_FINISH : Z_SYNC_FLUSH;
    size_t have = 0;
    for (;;) {
        zs.next_out = piece.output.data() + have;
        zs.avail_out = uInt(piece.output.size() - have);
        int result = deflate(&zs, flush);
        have = piece.output.size() - zs.avail_out;
        if (result == Z_STREAM_ERROR) throw std::bad_alloc();
        if (piece.last ? result == Z_STREAM_END : zs.avail_out != 0) break;
        piece.output.resize(piece.output.size() * 2);
    }
    piece.output.resize(have);
}

// Worker threads taking batches in the order they were given; the results are taken back in
// that order.
class DeflatePool {
  public:
    DeflatePool(int level, unsigned workers) : level_(level) {
        for (unsigned i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
    }
    ~DeflatePool() {
        if (inline_) deflateEnd(&*inline_);
        {
            std::lock_guard<std::mutex> guard(lock_);
            stopping_ = true;
        }
        work_.notify_all();
        for (std::thread& t : threads_) t.join();
    }
    DeflatePool(const DeflatePool&) = delete;
    DeflatePool& operator=(const DeflatePool&) = delete;

    size_t InFlight() const { return order_.size(); }

    void Submit(std::unique_ptr<Batch> batch) {
        if (threads_.empty()) {
            DeflateHere(*batch);
            order_.push_back(std::move(batch));
            return;
        }
        {
            std::lock_guard<std::mutex> guard(lock_);
            queue_.push_back(batch.get());
            order_.push_back(std::move(batch));
        }
        work_.notify_one();
    }

    // Waits for the oldest batch given and hands it back; nullptr when none is left.
    std::unique_ptr<Batch> TakeOldest() {
        std::unique_lock<std::mutex> guard(lock_);
        if (order_.empty()) return nullptr;
        done_.wait(guard, [this] { return order_.front()->done; });
        std::unique_ptr<Batch> batch = std::move(order_.front());
        order_.pop_front();
        return batch;
    }

  private:
    // Without workers: the batch is deflated at once, on the calling thread.
    void DeflateHere(Batch& batch) {
        if (!inline_) {
            inline_.emplace();
            if (deflateInit2(&*inline_, level_, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) !=
                Z_OK) {
                inline_.reset();
                throw std::bad_alloc();
            }
        }
        for (Piece& piece : batch.pieces)
            if (!piece.abandoned) Deflate(*inline_, piece);
        batch.done = true;
    }

    void Work() {
        z_stream zs{};
        // The window and memory zip's deflate uses at these levels; memLevel 9 packs a little
        // tighter than zlib's default.
        const bool ready =
            deflateInit2(&zs, level_, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) == Z_OK;
        for (;;) {
            Batch* batch;
            {
                std::unique_lock<std::mutex> guard(lock_);
                work_.wait(guard, [this] { return stopping_ || !queue_.empty(); });
                if (stopping_) break;
                batch = queue_.front();
                queue_.pop_front();
            }
            bool failed = !ready;
            try {
                for (Piece& piece : batch->pieces)
                    if (!failed && !piece.abandoned) Deflate(zs, piece);
            } catch (const std::bad_alloc&) {
                failed = true;
            }
            {
                std::lock_guard<std::mutex> guard(lock_);
                batch->failed = failed;
                batch->done = true;
            }
            done_.notify_all();
        }
        if (ready) deflateEnd(&zs);
    }

    const int level_;
    std::mutex lock_;
    std::condition_variable work_, done_;
    std::deque<Batch*> queue_;                  // waiting for a worker
    std::deque<std::unique_ptr<Batch>> order_;  // given and not yet taken back, oldest first
    bool stopping_ = false;
    std::vector<std::thread> threads_;
    std::optional<z_stream> inline_;  // the calling thread's stream when there are no workers
};

// Reads up to `limit` bytes into `to`; `end` tells whether the end of the file was met.
bool ReadPiece(int fd, uint8_t* scratch, size_t limit, std::vector<uint8_t>* to, bool* end) {
    size_t have = 0;
    *end = false;
    while (have < limit) {
        ssize_t n = read(fd, scratch + have, limit - have);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            *end = true;
            break;
        }
        have += static_cast<size_t>(n);
    }
    to->assign(scratch, scratch + have);
    return true;
}

// Puts the deflated pieces into the spool in order and completes each file's result.
class Assembler {
  public:
    Assembler(Spool& spool, std::vector<PrepareResult>& results, int level)
        : spool_(spool),
          results_(results),
          speedFlags_(level <= 2   ? 4
                      : level >= 8 ? 2
                                   : 0) {}

    bool Take(Batch& batch) {
        if (batch.failed) throw std::bad_alloc();
        for (Piece& piece : batch.pieces) {
            if (piece.first) {
                offset_ = spool_.Size();
                crc_ = crc32(0, nullptr, 0);
                size_ = 0;
            }
            if (!piece.abandoned) {
                if (!spool_.Append(piece.output.data(), piece.output.size())) return false;
                crc_ = crc32_combine(crc_, piece.crc, z_off_t(piece.input.size()));
                size_ += piece.input.size();
            }
            if (piece.last) Complete(piece);
        }
        return true;
    }

  private:
    void Complete(const Piece& piece) {
        PrepareResult& result = results_[piece.file];
        if (piece.abandoned) {
            spool_.Truncate(offset_);
            result.status = PrepareStatus::kUnreadable;
            return;
        }
        PreparedFile& file = result.file;
        file.size = size_;
        file.crc = static_cast<uint32_t>(crc_);
        file.spoolOffset = offset_;
        file.compSize = spool_.Size() - offset_;
        file.speedFlags = speedFlags_;
        if (file.compSize >= file.size) {
            // Deflating did not help: the file is stored, and its deflated bytes are dropped.
            spool_.Truncate(offset_);
            file.stored = true;
            file.compSize = 0;
        }
    }

    Spool& spool_;
    std::vector<PrepareResult>& results_;
    const uint16_t speedFlags_;
    uint64_t offset_ = 0, size_ = 0;
    uLong crc_ = 0;
};

}  // namespace

PrepareStatus PrepareFiles(const std::vector<std::string>& paths, int level, unsigned workers,
                           Spool& spool, std::vector<PrepareResult>* results, std::string* error) {
    results->assign(paths.size(), PrepareResult{});
    Assembler assembler(spool, *results, level);
    DeflatePool pool(level, workers);
    const size_t inFlight = 2 * workers + 1;
    auto batch = std::make_unique<Batch>();
    // Hands the batch being filled to the workers; waits for the oldest while too many are out.
    auto send = [&]() {
        if (batch->pieces.empty()) return true;
        pool.Submit(std::move(batch));
        batch = std::make_unique<Batch>();
        while (pool.InFlight() > inFlight)
            if (!assembler.Take(*pool.TakeOldest())) return false;
        return true;
    };
    auto add = [&](Piece&& piece) {
        batch->input += piece.input.size();
        batch->pieces.push_back(std::move(piece));
        return (batch->input < kBatchInput && batch->pieces.size() < kBatchPieces) || send();
    };
    std::unique_ptr<uint8_t[]> scratch(new uint8_t[kPiece]);
    bool spoolOk = true;
    for (size_t i = 0; i < paths.size() && spoolOk; ++i) {
        const std::string& path = paths[i];
        int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            (*results)[i].status = PrepareStatus::kUnreadable;
            (*results)[i].error = "could not open for reading: " + path;
            continue;
        }
        // Read to the end of the file as it is now: a file that grows or shrinks while it is
        // read goes in as it was read, its size and CRC those of the bytes read.
        std::vector<uint8_t> before;  // the end of the previous piece
        for (bool first = true, end = false; !end && spoolOk; first = false) {
            Piece piece;
            piece.file = i;
            piece.first = first;
            piece.dictionary = std::move(before);
            if (!ReadPiece(fd, scratch.get(), kPiece, &piece.input, &end)) {
                (*results)[i].error = "read error on " + path + ": " + strerror(errno);
                piece.input.clear();
                piece.dictionary.clear();
                piece.abandoned = end = true;
            }
            piece.last = end;
            if (!end) {
                size_t keep = std::min(kWindow, piece.input.size());
                before.assign(piece.input.end() - static_cast<std::ptrdiff_t>(keep),
                              piece.input.end());
            }
            spoolOk = add(std::move(piece));
        }
        close(fd);
    }
    if (spoolOk) spoolOk = send();
    while (spoolOk) {
        std::unique_ptr<Batch> done = pool.TakeOldest();
        if (!done) break;
        spoolOk = assembler.Take(*done);
    }
    if (!spoolOk) {
        *error = spool.Error();
        return PrepareStatus::kSpoolFailed;
    }
    return PrepareStatus::kOk;
}

unsigned DeflateWorkers() {
    if (const char* given = std::getenv("TAVRIN_ZIP_THREADS")) {
        long n = std::strtol(given, nullptr, 10);
        if (n >= 1 && n <= 64) return static_cast<unsigned>(n);
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace izcommon
