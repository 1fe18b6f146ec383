// diz and diz-set: the description lookup and "Save info" from the command line.
#include <iostream>
#include <iterator>
#include <map>

#include "cli/CliCommon.h"
#include "description/Cp437.h"
#include "description/CustomNames.h"
#include "description/DescriptionCap.h"
#include "description/DescriptionEmbed.h"
#include "description/DescriptionLookup.h"
#include "description/Sauce.h"
#include "engine/Engine.h"
#include "engine/EngineCallbacks.h"
#include "packer/ArchiveJobs.h"
#include "platform/text/TextCodec.h"

namespace tavrin::cli {

namespace {

inline constexpr const char* kAllCustomLabel = "all custom files";

// Receives the lookup's text under the description cap. It keeps what fits in a small
// buffer; a longer description is printed as it arrives when it is read again.
class Collector : public EngineOutput, public DescriptionTarget {
  public:
    static constexpr std::size_t kKept = 1 << 16;
    // `keepAll`: the whole description is kept (up to the cap), for a caller that needs its
    // end (the SAUCE record) or prints it inside other text.
    explicit Collector(bool keepAll = false) : kept_(keepAll ? kMaxDescriptionBytes : kKept) {
        SetEngineOutput(this);
    }
    ~Collector() override { SetEngineOutput(nullptr); }
    bool AppendDescription(const std::string& piece) override {
        bool more = true;
        std::size_t fit = cap_.Fit(piece.size(), &more);
        if (streaming) {
            std::cout.write(piece.data(), std::streamsize(fit));
        } else if (!overflow && text.size() + fit <= kept_) {
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
    std::size_t kept_;
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

// Splits arguments into options with values, flags and plain arguments.
bool Split(const Args& args, std::map<std::string, std::string>& options, Args& plain,
           std::initializer_list<const char*> valued,
           std::initializer_list<const char*> flags = {}) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        bool known = false;
        for (const char* name : valued) {
            if (args[i] == name) {
                if (i + 1 >= args.size()) return false;
                options[name] = args[++i];
                known = true;
            }
        }
        for (const char* name : flags) {
            if (args[i] == name) {
                options[name] = "yes";
                known = true;
            }
        }
        if (known) continue;
        if (args[i].rfind("--", 0) == 0) return false;
        plain.push_back(args[i]);
    }
    return true;
}

// A JSON string of UTF-8 text.
void AppendJson(std::string& out, const std::string& utf8) {
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (char ch : utf8) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    out += '"';
}

// A name as JSON text: UTF-8 as it is, other bytes as Windows-1252 (as contents are shown).
std::string NameUtf8(const std::string& bytes) {
    return IsValidUtf8(bytes) ? bytes : Windows1252ToUtf8(bytes);
}

// The record's fields as `Key: value` lines, escaped so each stays on its line.
void AppendSauceLines(std::string& out, const std::optional<SauceRecord>& record) {
    out += record ? "sauce: yes\n" : "sauce: no\n";
    if (!record) return;
    auto line = [&out](const char* key, const std::string& value) {
        out += key;
        AppendEscaped(out, value);
        out += '\n';
    };
    line("title: ", record->title);
    line("author: ", record->author);
    line("group: ", record->group);
    line("date: ", record->date);
    for (const std::string& comment : record->comments) line("comment: ", comment);
}

void AppendSauceJson(std::string& out, const std::optional<SauceRecord>& record) {
    out += ",\"sauce\":";
    if (!record) {
        out += "null";
        return;
    }
    auto field = [&out](const char* key, const std::string& value, bool first = false) {
        out += first ? "{\"" : ",\"";
        out += key;
        out += "\":";
        AppendJson(out, Cp437ToUtf8(value));
    };
    field("title", record->title, true);
    field("author", record->author);
    field("group", record->group);
    field("date", record->date);
    out += ",\"comments\":[";
    for (std::size_t i = 0; i < record->comments.size(); ++i) {
        if (i) out += ',';
        AppendJson(out, Cp437ToUtf8(record->comments[i]));
    }
    out += "]}";
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

namespace {

// diz --json: one object per archive, in the order given.
int PrintJson(const Engine& engine, const Args& archives, const LookupChoice& choice,
              const std::vector<std::string>& customs, bool sauce) {
    bool allFound = true;
    std::cout << "[\n";
    for (std::size_t i = 0; i < archives.size(); ++i) {
        Collector collector(true);
        LookupResult result = ViewInfo(engine.unzip, archives[i], choice, customs, collector);
        allFound = allFound && result.found;
        std::string out = "{\"archive\":";
        AppendJson(out, NameUtf8(archives[i]));
        out += ",\"name\":";
        AppendJson(out, NameUtf8(result.cornice));
        out += result.found ? ",\"found\":true" : ",\"found\":false";
        SauceSplit split;
        if (sauce)
            split = SplitSauce(collector.text);
        else
            split.text = std::move(collector.text);
        out += ",\"text\":";
        AppendJson(out, Cp437ToUtf8(split.text));
        if (sauce) AppendSauceJson(out, split.record);
        if (collector.Cut()) out += ",\"cut\":true";
        out += i + 1 < archives.size() ? "},\n" : "}\n";
        std::cout << out;
    }
    std::cout << "]\n";
    std::cout.flush();
    return allFound ? kExitOk : kExitFailed;
}

}  // namespace

int CmdDiz(const Args& args) {
    std::map<std::string, std::string> options;
    Args plain;
    if (!Split(args, options, plain, {"--choice", "--custom-names"}, {"--sauce", "--json"}) ||
        plain.empty())
        return Usage("diz");
    const bool json = options.count("--json"), sauce = options.count("--sauce");
    if (!json && plain.size() != 1) return Usage("diz");
    LookupChoice choice;
    if (!ParseChoice(options.count("--choice") ? options["--choice"] : "auto", choice)) {
        Error("unknown choice " + options["--choice"]);
        return Usage("diz");
    }
    std::vector<std::string> customs;
    if (options.count("--custom-names")) customs = ReadCustoms(options["--custom-names"]);
    Engine engine;
    if (!LoadEngine(engine)) return kExitFailed;
    if (json) return PrintJson(engine, plain, choice, customs, sauce);

    // With --sauce the whole text is kept: the record lies at its end.
    Collector collector(sauce);
    LookupResult result = ViewInfo(engine.unzip, plain[0], choice, customs, collector);
    std::string head =
        "name: " + result.cornice + "\nfound: " + (result.found ? "yes" : "no") + "\n";
    if (sauce) {
        SauceSplit split = SplitSauce(collector.text);
        AppendSauceLines(head, split.record);
        collector.text = std::move(split.text);
    }
    std::cout << head << "--\n";
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
    if (!Split(args, options, plain, {"--name", "--level"}) || plain.empty())
        return Usage("diz-set");
    Engine engine;
    if (!LoadEngine(engine)) return kExitFailed;
    // Read once, stored into every archive.
    const std::string text = WithCrLf(
        std::string((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>()));
    const std::string level = options.count("--level") ? options["--level"] : "6";
    int failed = 0;
    EmbedBatch batch(engine.zip, text, level);
    for (const std::string& archive : plain) {
        std::string name = options["--name"];
        if (name.empty()) {
            // The caption the automatic lookup leaves: the name found, or file_id.diz. Only
            // the names are asked for; the old text is not read.
            name = FindDescription(engine.unzip, archive,
                                   {LookupMode::Automatic, kAllCustomLabel, true}, {})
                       .cornice;
        }
        // The engine writes the archive whole or not at all: a failed one stays as it was.
        EmbedOutcome outcome = batch.Store(archive, name);
        switch (outcome.kind) {
            case EmbedOutcome::kStored:
                std::cout << archive << ": stored as " << name << '\n' << std::flush;
                continue;
            case EmbedOutcome::kOptionsRefused:
                Error(archive + ": Error setting Zip Options");
                break;
            case EmbedOutcome::kTempFailed:
                Error(archive + ": " + outcome.error);
                break;
            case EmbedOutcome::kArchiveFailed:
                std::cerr << outcome.engineMessages;  // as zip prints them
                Error("cannot write the description into " + archive + ": " +
                      ZipResultText(outcome.engineResult));
                break;
        }
        ++failed;
    }
    return failed ? kExitFailed : kExitOk;
}

}  // namespace tavrin::cli
