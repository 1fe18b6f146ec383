// diz and diz-set: the description lookup and "Save info" from the command line.
#include <iostream>
#include <iterator>
#include <map>

#include "cli/CliCommon.h"
#include "description/CustomNames.h"
#include "description/DescriptionCap.h"
#include "description/DescriptionEmbed.h"
#include "description/DescriptionLookup.h"
#include "engine/Engine.h"
#include "engine/EngineCallbacks.h"
#include "packer/ArchiveJobs.h"

namespace tavrin::cli {

namespace {

inline constexpr const char* kAllCustomLabel = "all custom files";

// Receives the lookup's text under the description cap. It keeps what fits in a small
// buffer; a longer description is printed as it arrives when it is read again.
class Collector : public EngineOutput, public DescriptionTarget {
  public:
    static constexpr std::size_t kKept = 1 << 16;
    Collector() { SetEngineOutput(this); }
    ~Collector() override { SetEngineOutput(nullptr); }
    bool AppendDescription(const std::string& piece) override {
        bool more = true;
        std::size_t fit = cap_.Fit(piece.size(), &more);
        if (streaming) {
            std::cout.write(piece.data(), std::streamsize(fit));
        } else if (!overflow && text.size() + fit <= kKept) {
            text.append(piece, 0, fit);
        } else {
            overflow = true;  // read again while printing
        }
        return more;
    }
    void AddListingLine(const std::string&, const std::string&) override {}
    void ClearDescription() override {
        text.clear();
        overflow = false;
        cap_.Reset();
    }
    void SetCornice(const Candidate&) override {}
    bool Cut() const { return cap_.Cut(); }
    std::string text;
    bool overflow = false;
    bool streaming = false;

  private:
    DescriptionCap cap_;
};

bool ParseChoice(const std::string& value, LookupChoice& choice) {
    choice.customCaption = kAllCustomLabel;
    choice.allCustom = true;
    if (value == "auto")
        choice.mode = LookupMode::Automatic;
    else if (value == "file_id")
        choice.mode = LookupMode::FileId;
    else if (value == "readme")
        choice.mode = LookupMode::Readme;
    else if (value == "filename")
        choice.mode = LookupMode::FileName;
    else if (value == "all-custom")
        choice.mode = LookupMode::Custom;
    else if (value.rfind("custom=", 0) == 0 && value.size() > 7) {
        choice.mode = LookupMode::Custom;
        choice.customCaption = value.substr(7);
        choice.allCustom = false;
    } else {
        return false;
    }
    return true;
}

bool LoadEngine(Engine& engine) {
    try {
        LoadCheckedEngine(engine);
        return true;
    } catch (const EngineCheckError& e) {
        std::cerr << e.what() << '\n';
        return false;
    }
}

// Splits arguments into options with values and plain arguments.
bool Split(const Args& args, std::map<std::string, std::string>& options, Args& plain,
           std::initializer_list<const char*> valued) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        bool known = false;
        for (const char* name : valued) {
            if (args[i] == name) {
                if (i + 1 >= args.size()) return false;
                options[name] = args[++i];
                known = true;
            }
        }
        if (known) continue;
        if (args[i].rfind("--", 0) == 0) return false;
        plain.push_back(args[i]);
    }
    return true;
}

// Line breaks of any kind become CR LF, as the editor stores them.
std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

int CmdDiz(const Args& args) {
    std::map<std::string, std::string> options;
    Args plain;
    if (!Split(args, options, plain, {"--choice", "--custom-names"}) || plain.size() != 1)
        return Usage("diz");
    LookupChoice choice;
    if (!ParseChoice(options.count("--choice") ? options["--choice"] : "auto", choice)) {
        Error("unknown choice " + options["--choice"]);
        return Usage("diz");
    }
    std::vector<std::string> customs;
    if (options.count("--custom-names")) customs = ReadCustoms(options["--custom-names"]);
    Engine engine;
    if (!LoadEngine(engine)) return kExitFailed;
    Collector collector;
    LookupResult result = ViewInfo(engine.unzip, plain[0], choice, customs, collector);
    std::cout << "name: " << result.cornice << "\nfound: " << (result.found ? "yes" : "no")
              << "\n--\n";
    if (collector.overflow) {
        // Too long to keep: the found entry is read once more, straight to the output.
        collector.ClearDescription();
        collector.streaming = true;
        std::cout.flush();
        if (!ReadDescription(engine.unzip, plain[0], result.cornice, collector)) {
            std::cout.flush();
            Error("the description of " + plain[0] + " could not be read again");
            return kExitFailed;
        }
    } else {
        std::cout.write(collector.text.data(), std::streamsize(collector.text.size()));
    }
    std::cout.flush();
    if (collector.Cut())
        Error("the description is longer than " + std::to_string(kMaxDescriptionBytes >> 20) +
              " MB; only its start was printed");
    return result.found ? kExitOk : kExitFailed;
}

int CmdDizSet(const Args& args) {
    std::map<std::string, std::string> options;
    Args plain;
    if (!Split(args, options, plain, {"--name", "--level"}) || plain.size() != 1)
        return Usage("diz-set");
    Engine engine;
    if (!LoadEngine(engine)) return kExitFailed;
    std::string text((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    std::string name = options["--name"];
    if (name.empty()) {
        // The caption the automatic lookup leaves: the name found, or file_id.diz. Only the
        // names are asked for; the old text is not read.
        name = FindDescription(engine.unzip, plain[0],
                               {LookupMode::Automatic, kAllCustomLabel, true}, {})
                   .cornice;
    }
    EmbedOutcome outcome = Embed(engine.zip, plain[0], name, WithCrLf(text),
                                 options.count("--level") ? options["--level"] : "6");
    switch (outcome.kind) {
        case EmbedOutcome::kStored:
            return kExitOk;
        case EmbedOutcome::kOptionsRefused:
            Error("Error setting Zip Options");
            return kExitFailed;
        case EmbedOutcome::kTempFailed:
            Error(outcome.error);
            return kExitFailed;
        case EmbedOutcome::kArchiveFailed:
            std::cerr << outcome.engineMessages;  // as zip prints them
            Error("cannot write the description into " + plain[0] + ": " +
                  ZipResultText(outcome.engineResult));
            return kExitFailed;
    }
    return kExitFailed;
}

}  // namespace tavrin::cli
