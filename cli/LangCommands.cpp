// lang: the texts a language file gives, in the order the program applies them.
#include <iostream>

#include "cli/CliCommon.h"
#include "lang/LanguageKeys.h"

namespace tavrin::cli {

int CmdLang(const Args& args) {
    if (args.size() != 1 || args[0].starts_with("--")) return Usage("lang");
    // A missing file is no error: every key then shows its default, as in the program.
    LanguageFile file = LanguageFile::Open(args[0]);
    std::string out;
    for (const LanguageKey& key : LanguageKeys()) {
        out += '[';
        out += key.section;
        out += "] ";
        out += key.key;
        out += " = ";
        AppendEscaped(out, file.Text(key.id));
        out += '\n';
    }
    std::cout << out;
    return kExitOk;
}

}  // namespace tavrin::cli
