// Answers every question of the program without a dialog, for probes that run unattended:
// yes to questions, messages to standard error.
#pragma once

#include <cstdio>

#include "platform/UserQuestions.h"

namespace bench {

class Unattended : public tavrin::UserQuestions {
  public:
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    bool AskOkCancel(const std::string&, const std::string&) override { return true; }
    tavrin::OverwriteAnswer AskOverwrite(const std::string&, const std::string&) override {
        return tavrin::OverwriteAnswer::YesToAll;
    }
    tavrin::SkipAnswer AskSkip(const std::string&, const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
        return tavrin::SkipAnswer::Skip;
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

}  // namespace bench
