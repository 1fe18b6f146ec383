// The zip library's deflate stage on every core. The calling thread reads the files of a job
// in order, in pieces of at most 1 MiB, and hands them to a pool of worker threads; each
// piece is deflated on its own, primed with the 32 KiB of the file before it and ended on a
// byte boundary, so that the pieces of one file, put one after the other, form one deflate
// stream. The calling thread puts the results into the spool in file order, with each file's
// CRC combined from its pieces'. How a file is cut depends only on the file, never on the
// number of workers, so every run of a job writes the same bytes.
#pragma once

#include <string>
#include <vector>

#include "ZipPrepare.h"

namespace izcommon {

// What became of one file of the job.
struct PrepareResult {
    PrepareStatus status = PrepareStatus::kOk;
    PreparedFile file;
    std::string error;  // why the file could not be read
};

// Deflates the files at `paths` at `level` (1..9) into `spool` on `workers` threads (none: on
// the calling thread, for a job too small to gain from more). Returns
// kSpoolFailed, with `error` saying why, when the spool cannot take the data; otherwise kOk,
// with the result of each file at its index in `results`. At most a few pieces per worker
// are held in memory at any time, whatever the sizes of the files.
PrepareStatus PrepareFiles(const std::vector<std::string>& paths, int level, unsigned workers,
                           Spool& spool, std::vector<PrepareResult>* results, std::string* error);

// One per core, or as many as TAVRIN_ZIP_THREADS says (1..64), for measuring.
unsigned DeflateWorkers();

}  // namespace izcommon
