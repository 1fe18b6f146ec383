#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/TestSupport.h"

namespace tavrin {

namespace {

std::string Cli(const std::string& args) {
    return std::string(TAVRIN_BIN_DIR) + "/tavrin-cli " + args;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(CliLang, PrintsEveryKeyAsTheProgramWouldApplyIt) {
    test::TempDir dir;
    test::WriteFile(dir / "X.TVK",
                    "[tabs]\nzip = \"Packer\"\n[Buttons]\nview=\n[Dialogs]\nFile=Datei\\en\n");
    std::string out;
    ASSERT_EQ(test::RunCommand(Cli("lang '" + dir / "X.TVK'"), &out), 0);
    std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), 99u);
    EXPECT_EQ(lines[0], "[Buttons] view = ");
    EXPECT_EQ(lines[11], "[Tabs] Zip = Packer");
    EXPECT_EQ(lines[13], "[Menu] 3 = Mode");
    // A default of several lines stays on one; a backslash is escaped.
    EXPECT_EQ(lines[83].rfind("[Custom files] LabelUp = Insert custom file name in the box to the "
                              "left\\nand press \"Add\" button",
                              0),
              0u);
    EXPECT_EQ(lines[97], "[Dialogs] File = Datei\\\\en");
    EXPECT_EQ(lines[98], "[Menu] 15 = Description guide");

    // A missing file is no error: the defaults.
    ASSERT_EQ(test::RunCommand(Cli("lang '" + dir / "NONE.TVK'"), &out), 0);
    EXPECT_EQ(Lines(out)[0], "[Buttons] view = View");
    EXPECT_EQ(test::RunCommand(Cli("lang"), &out), 2);
}

}  // namespace tavrin
