// Copies SOURCE (a folder) into DESTINATION with the file manager's file operation, as the
// Copy button does, and prints the seconds it took.
//   fileop_probe SOURCE DESTINATION
#include <chrono>
#include <cstdio>

#include "bench/Unattended.h"
#include "platform/fileop/FileOperation.h"

namespace {

// Counts like the progress window does, without showing anything.
class CountingProgress : public tavrin::FileOpProgress {
  public:
    void Begin(const std::string&, std::uint64_t) override {}
    bool Update(std::uint64_t, const std::string&) override { return true; }
    void End() override {}
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: fileop_probe SOURCE DESTINATION\n");
        return 2;
    }
    bench::Unattended questions;
    CountingProgress progress;
    tavrin::FileOperation operation(questions, &progress);
    auto start = std::chrono::steady_clock::now();
    tavrin::FileOpResult result = operation.Run(tavrin::FileOpKind::Copy, {argv[1]}, {argv[2]});
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f s, %d failures\n", seconds, result.failures);
    return result.failures ? 1 : 0;
}
