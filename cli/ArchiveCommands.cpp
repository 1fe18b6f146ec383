// list, zip and unzip: the packer page and the unzip dialog from the command line.
#include <iostream>
#include <map>
#include <set>

#include "cli/CliCommon.h"
#include "engine/EngineCallbacks.h"
#include "packer/ArchiveJobs.h"
#include "packer/ZipOptions.h"

namespace tavrin::cli {

namespace {

// Splits arguments into the known switches (each with its value when it takes one) and the
// plain arguments. False on an unknown switch or a switch without its value.
bool ParseOptions(const Args& args, const std::set<std::string>& flags,
                  const std::set<std::string>& valued, std::map<std::string, std::string>& options,
                  Args& plain) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            plain.insert(plain.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                         args.end());
            return true;
        }
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            if (flags.count(a)) {
                options[a] = "1";
            } else if (valued.count(a) && i + 1 < args.size()) {
                options[a] = args[++i];
            } else {
                Error("unknown or incomplete option " + a);
                return false;
            }
        } else {
            plain.push_back(a);
        }
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

// Collects the listing into lines and names, as the unzip dialog's list and ListedNames.
class ListingCollector : public EngineOutput {
  public:
    // `stream`: the lines go there as the engine lists them and nothing is kept, so that a
    // listing of a million entries needs no memory of its own.
    explicit ListingCollector(std::ostream* stream = nullptr) : stream_(stream) {}
    bool AppendDescription(const std::string&) override { return true; }
    void AddListingLine(const std::string& line, const std::string& name) override {
        if (stream_) {
            *stream_ << line << '\n';
            return;
        }
        lines.push_back(line);
        names.push_back(name);
    }
    std::vector<std::string> lines;
    std::vector<std::string> names;

  private:
    std::ostream* stream_;
};

bool ListArchive(Engine& engine, const std::string& archive, ListingCollector& collector) {
    USERFUNCTIONS table{};
    InitUnzipCallbacks(table);
    EngineOutput* previous = CurrentEngineOutput();
    SetEngineOutput(&collector);
    int result = Get_Contents(engine.unzip, table, archive, [&] {
        collector.lines.clear();
        collector.names.clear();
    });
    SetEngineOutput(previous);
    // An archive without entries lists nothing and is no failure.
    if (result != PK_OK && result != PK_WARN && result != PK_FIND) {
        Error("cannot list " + archive + ": " + UnzipResultText(result));
        return false;
    }
    return true;
}

}  // namespace

int CmdList(const Args& args) {
    std::map<std::string, std::string> options;
    Args plain;
    if (!ParseOptions(args, {}, {}, options, plain) || plain.size() != 1) return Usage("list");
    Engine engine;
    if (!LoadEngine(engine)) return kExitFailed;
    ListingCollector collector(&std::cout);
    if (!ListArchive(engine, plain[0], collector)) return kExitFailed;
    return kExitOk;
}

int CmdZip(const Args& args) {
    std::map<std::string, std::string> o;
    Args plain;
    const std::set<std::string> flags = {
        "--system", "--volume", "--no-junk-paths",  "--recurse", "--latest-time",
        "--grow",   "--move",   "--delete-entries", "--update",  "--freshen"};
    if (!ParseOptions(args, flags, {"--level"}, o, plain) || plain.size() < 2) return Usage("zip");
    ZipOptionBoxes boxes;
    boxes.system = o.count("--system");
    boxes.volume = o.count("--volume");
    boxes.junkDir = !o.count("--no-junk-paths");
    boxes.recurseDir = o.count("--recurse");
    boxes.latestTime = o.count("--latest-time");
    boxes.grow = o.count("--grow");
    boxes.move = o.count("--move");
    boxes.deleteEntries = o.count("--delete-entries");
    boxes.update = o.count("--update");
    boxes.freshen = o.count("--freshen");
    if (o.count("--level")) boxes.levelText = o["--level"];

    Engine engine;
    if (!LoadEngine(engine)) return kExitFailed;
    ZPOPT record = BuildZipOptions(boxes);
    if (!engine.zip.ZpSetOptions(&record)) {
        Error("Error setting Zip Options");
        return kExitFailed;
    }
    std::vector<std::string> names(plain.begin() + 1, plain.end());
    if (IsBlankName(plain[0])) {
        Error("the archive name is blank");
        return kExitUsage;
    }
    std::string messages;
    int result = ZipFileList(engine.zip, plain[0], names, {}, &messages);
    std::cerr << messages;  // the engine's warnings and errors, as zip prints them
    if (result != ZE_OK) {
        Error("packing " + plain[0] + " failed: " + ZipResultText(result));
        return kExitFailed;
    }
    return kExitOk;
}

int CmdUnzip(const Args& args) {
    std::map<std::string, std::string> o;
    Args plain;
    const std::set<std::string> flags = {"--newer", "--only-newer-new", "--overwrite",
                                         "--case-sensitive", "--with-paths"};
    if (!ParseOptions(args, flags, {}, o, plain) || plain.size() < 2) return Usage("unzip");
    Engine engine;
    if (!LoadEngine(engine)) return kExitFailed;

    ExtractionRequest request;
    request.archive = plain[0];
    request.extractDir = plain[1];
    request.boxes.extractOnlyNewer = o.count("--newer");
    request.boxes.newerOrNew = o.count("--only-newer-new");
    request.boxes.overwrite = o.count("--overwrite");
    request.boxes.caseInsensitive = !o.count("--case-sensitive");
    request.boxes.withPath = o.count("--with-paths");

    ListingCollector collector;
    if (!ListArchive(engine, request.archive, collector)) return kExitFailed;
    request.listed = collector.names;
    request.all = plain.size() == 2;
    if (!request.all) {
        std::set<std::string> chosen(plain.begin() + 2, plain.end());
        std::set<std::string> missing = chosen;
        request.selected.assign(request.listed.size(), false);
        for (std::size_t i = 0; i < request.listed.size(); ++i) {
            request.selected[i] = chosen.count(request.listed[i]) > 0;
            missing.erase(request.listed[i]);
        }
        if (!missing.empty()) {
            for (const std::string& name : missing)
                Error("no entry " + name + " in " + request.archive);
            return kExitFailed;
        }
    }
    if (request.listed.empty()) return kExitOk;  // nothing to extract
    USERFUNCTIONS table{};
    std::vector<std::string> extracted;
    int result = UnZip_SelectedFiles(engine.unzip, table, request, extracted);
    if (result != PK_OK) {
        Error("extracting from " + request.archive + " failed: " + UnzipResultText(result));
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace tavrin::cli
