// Drives the archive engine exactly as the program does, for the side-by-side benchmarks:
//   engine_probe print ARCHIVE NAME   the description lookup's call: NAME to memory
//   engine_probe list ARCHIVE         the unzip dialog's listing call
// Prints what the engine delivered (the bytes, or the listing lines) on standard output.
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/Engine.h"
#include "engine/EngineCallbacks.h"
#include "packer/ArchiveJobs.h"

namespace {

class StdoutOutput : public tavrin::EngineOutput {
  public:
    bool AppendDescription(const std::string& text) override {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return true;
    }
    void AddListingLine(const std::string& line, const std::string&) override {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }
};

}  // namespace

int main(int argc, char** argv) {
    using namespace tavrin;
    if (argc < 3) {
        std::fprintf(stderr, "usage: engine_probe print ARCHIVE NAME | list ARCHIVE\n");
        return 2;
    }
    Engine engine;
    try {
        LoadCheckedEngine(engine);
    } catch (const EngineCheckError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    StdoutOutput output;
    SetEngineOutput(&output);
    USERFUNCTIONS table{};
    InitUnzipCallbacks(table);
    std::string archive = argv[2];
    if (std::strcmp(argv[1], "list") == 0)
        return Get_Contents(engine.unzip, table, archive) == 0 ? 0 : 1;
    if (std::strcmp(argv[1], "print") != 0 || argc < 4) return 2;
    // The record of the description lookup: one name, to memory, names compared without case.
    DCL dcl{};
    dcl.fQuiet = 2;
    dcl.ncflag = 1;
    dcl.nfflag = 1;
    dcl.C_flag = 1;
    dcl.fPrivilege = 1;
    dcl.lpszZipFN = archive.data();
    char empty[] = "";
    dcl.lpszExtractDir = empty;
    char* names[] = {argv[3]};
    CaptureDescription = true;
    int result = engine.unzip.Wiz_SingleEntryUnzip(1, names, 0, nullptr, &dcl, &table);
    CaptureDescription = false;
    return result == 0 ? 0 : 1;
}
