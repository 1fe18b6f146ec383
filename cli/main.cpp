// tavrin-cli: the program's logic from the command line, for scripting and batch work.
#include <cstring>
#include <iostream>
#include <map>

#include "cli/CliCommon.h"

namespace tavrin::cli {

namespace {

struct Command {
    int (*run)(const Args&);
    const char* usage;
};

const std::map<std::string, Command>& Commands() {
    static const std::map<std::string, Command> commands = {
        {"diz",
         {CmdDiz,
          "diz [--choice auto|file_id|readme|filename|custom=NAME|all-custom]\n"
          "      [--custom-names FILE] [--sauce] ARCHIVE\n"
          "      --sauce: the SAUCE record's fields, the text without it\n"
          "  diz --json [--choice ...] [--custom-names FILE] [--sauce] ARCHIVE...\n"
          "      a JSON array, per archive: archive, name, found, text (every byte as its\n"
          "      code page 437 character)"}},
        {"diz-set",
         {CmdDizSet,
          "diz-set [--name NAME] [--level C] ARCHIVE...   (text on standard input, read once;\n"
          "      one line per archive, exit 1 when any failed)"}},
        {"list", {CmdList, "list ARCHIVE"}},
        {"zip",
         {CmdZip,
          "zip [--level C] [--system] [--volume] [--no-junk-paths] [--recurse] [--latest-time]\n"
          "      [--grow] [--move] [--delete-entries] [--update] [--freshen] ARCHIVE NAME..."}},
        {"unzip",
         {CmdUnzip,
          "unzip [--newer] [--only-newer-new] [--overwrite] [--case-sensitive] [--with-paths]\n"
          "      ARCHIVE DIR [ENTRY...]"}},
        {"lang", {CmdLang, "lang FILE"}},
        {"mp3", {CmdMp3, "mp3 FILE..."}},
        {"tag",
         {CmdTag,
          "tag [--v1] [--v2] [--title T] [--artist A] [--album B] [--year Y] [--genre G]\n"
          "      [--comment C] FILE   (without --v1/--v2: ID3v1 only)"}},
    };
    return commands;
}

}  // namespace

void AppendEscaped(std::string& out, const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
}

void Error(const std::string& text) {
    std::cerr << "tavrin-cli: " << text << '\n';
}

int Usage(const std::string& subcommand) {
    auto it = Commands().find(subcommand);
    if (it != Commands().end()) {
        std::cerr << "usage: tavrin-cli " << it->second.usage << '\n';
    } else {
        std::cerr << "usage: tavrin-cli COMMAND [OPTIONS] ARGUMENTS\ncommands:\n";
        for (const auto& [name, command] : Commands()) std::cerr << "  " << command.usage << '\n';
    }
    return kExitUsage;
}

}  // namespace tavrin::cli

int main(int argc, char** argv) {
    using namespace tavrin::cli;
    if (argc < 2) return Usage();
    std::string name = argv[1];
    if (name == "--help" || name == "-h") {
        Usage();
        return kExitOk;
    }
    auto it = Commands().find(name);
    if (it == Commands().end()) {
        Error("unknown command '" + name + "'");
        return Usage();
    }
    Args args(argv + 2, argv + argc);
    try {
        return it->second.run(args);
    } catch (const std::exception& e) {
        Error(e.what());
        return kExitFailed;
    }
}
