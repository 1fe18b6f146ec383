// Shared pieces of the companion tool's subcommands.
#pragma once

#include <string>
#include <vector>

namespace tavrin::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

using Args = std::vector<std::string>;

// Prints "tavrin-cli: " and the text on standard error.
void Error(const std::string& text);
// Prints the usage of one subcommand (or all) on standard error and returns kExitUsage.
int Usage(const std::string& subcommand = {});
// Appends `text` with bytes below 0x20 and the backslash written as escapes (\n, \r, \t,
// \xHH, \\); all other bytes unchanged, so that a value stays on one line.
void AppendEscaped(std::string& out, const std::string& text);

int CmdList(const Args& args);
int CmdZip(const Args& args);
int CmdUnzip(const Args& args);
int CmdDiz(const Args& args);
int CmdDizSet(const Args& args);
int CmdMp3(const Args& args);
int CmdTag(const Args& args);
int CmdLang(const Args& args);

}  // namespace tavrin::cli
