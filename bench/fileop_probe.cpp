// Copies SOURCE (a folder) into DESTINATION with the file manager's file operation, as the
// Copy button does, and prints the seconds it took.
//   fileop_probe SOURCE DESTINATION
#include <chrono>
#include <cstdio>

#include "platform/fileop/FileOperation.h"

namespace {

// Answers every question with yes: the probe runs unattended.
class Unattended : public tavrin::UserQuestions {
  public:
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    bool AskOkCancel(const std::string&, const std::string&) override { return true; }
    tavrin::OverwriteAnswer AskOverwrite(const std::string&, const std::string&) override {
        return tavrin::OverwriteAnswer::YesToAll;
    }
    void ShowError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void ShowMessage(const std::string&, const std::string& text, tavrin::BoxIcon) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    std::optional<std::string> ChooseSaveFileName(const tavrin::SaveFileRequest&) override {
        return {};
    }
    std::optional<tavrin::FontChoice> ChooseFont(const tavrin::FontChoice&, int, int) override {
        return {};
    }
};

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
    Unattended questions;
    CountingProgress progress;
    tavrin::FileOperation operation(questions, &progress);
    auto start = std::chrono::steady_clock::now();
    tavrin::FileOpResult result = operation.Run(tavrin::FileOpKind::Copy, {argv[1]}, {argv[2]});
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f s, %d failures\n", seconds, result.failures);
    return result.failures ? 1 : 0;
}
