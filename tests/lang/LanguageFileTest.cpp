// The language file reader: profile-file rules, code pages, defaults, and the shipped files.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "lang/LanguageKeys.h"
#include "tests/support/TestSupport.h"

namespace tavrin::test {

namespace {

std::string TextOf(std::string_view file, LangText id) {
    return LanguageFile::FromBytes(file).Text(id);
}

}  // namespace

TEST(LanguageKeysTest, ElevenSectionsOfDistinctKeys) {
    std::set<std::string> sections, keys;
    for (const LanguageKey& k : LanguageKeys()) {
        sections.insert(k.section);
        EXPECT_TRUE(keys.insert(std::string(k.section) + "/" + k.key).second) << k.key;
    }
    EXPECT_EQ(LanguageKeys().size(), 99u);
    EXPECT_EQ(sections.size(), 11u);
    // The loader's order interleaves [Menu] and [Tabs]: File and Exit, the mode buttons, Mode.
    auto at = [](std::size_t i) {
        return std::string(LanguageKeys()[i].section) + "/" + LanguageKeys()[i].key;
    };
    EXPECT_EQ(at(8), "Menu/0");
    EXPECT_EQ(at(9), "Menu/00");
    EXPECT_EQ(at(12), "Tabs/Fil");
    EXPECT_EQ(at(13), "Menu/3");
    EXPECT_EQ(at(97), "Dialogs/File");
    EXPECT_EQ(at(98), "Menu/15");  // keys added later follow the first 98
}

TEST(LanguageFileTest, MissingFileOrKeyGivesTheDefault) {
    LanguageFile missing = LanguageFile::Open("/nonexistent/ITALIAN.TVK");
    for (const LanguageKey& k : LanguageKeys()) EXPECT_EQ(missing.Text(k.id), k.defaultText);
    EXPECT_EQ(TextOf("[Tabs]\nZip=Packer\n", LangText::TabZip), "Packer");
    EXPECT_EQ(TextOf("[Tabs]\nZip=Packer\n", LangText::TabDiz), "Info ZIP files");
    EXPECT_EQ(TextOf("[Tabs]\nZip=Packer\n", LangText::Extract), "Extract...");
    // A folder is no language file either.
    TempDir folder;
    EXPECT_EQ(LanguageFile::Open(folder.Path()).Text(LangText::View), "View");
}

TEST(LanguageFileTest, ProfileRulesForNamesAndValues) {
    // Section and key names without regard to case; blanks and one pair of quotes removed.
    EXPECT_EQ(TextOf("[packer]\nldrop=Here\n", LangText::PackerDrop), "Here");
    EXPECT_EQ(TextOf("[BUTTONS]\n  SAVE INFO  =  \"Store\"  \n", LangText::SaveInfo), "Store");
    // An empty value blanks the text instead of giving the default.
    EXPECT_EQ(TextOf("[Buttons]\nview=\n", LangText::View), "");
    // Only the first "=" separates; the rest belongs to the value.
    EXPECT_EQ(TextOf("[Dialogs]\nFile=a=b\n", LangText::FilesWord), "a=b");
    // Keys of another section do not count; CR LF lines read the same.
    EXPECT_EQ(TextOf("[Menu]\r\nview=X\r\n[Buttons]\r\nauto=Auto\r\n", LangText::View), "View");
    EXPECT_EQ(TextOf("[Menu]\r\nview=X\r\n[Buttons]\r\nauto=Auto\r\n", LangText::AutoHint), "Auto");
    // "\n" in a value is no escape: the text stays one line as written.
    EXPECT_EQ(TextOf("[Custom files]\nLabelUp=a\\nb\n", LangText::CustomLabelUp), "a\\nb");
}

TEST(LanguageFileTest, LongValuesAreCutTo2047Characters) {
    std::string value(3000, 'x');
    EXPECT_EQ(TextOf("[Buttons]\nview=" + value + "\n", LangText::View), value.substr(0, 2047));
    // In a UTF-8 file the 2047 are characters, not bytes: 2,000 "é" stay whole, and a longer
    // text keeps its first 2047 characters whole.
    std::string e2000;
    for (int i = 0; i < 2000; ++i) e2000 += "\xC3\xA9";
    EXPECT_EQ(TextOf("[Buttons]\nview=" + e2000 + "\n", LangText::View), e2000);
    std::string accented = std::string(2046, 'a') + "\xC3\xA9" + "tail";
    EXPECT_EQ(TextOf("[Buttons]\nview=" + accented + "\n", LangText::View),
              std::string(2046, 'a') + "\xC3\xA9");
    std::string russian;
    for (int i = 0; i < 3000; ++i) russian += "\xD0\x96";  // Ж
    EXPECT_EQ(TextOf("[Buttons]\nview=" + russian + "\n", LangText::View),
              russian.substr(0, 2 * 2047));
    // A Windows-1252 file counts bytes, each one character.
    EXPECT_EQ(TextOf("[Buttons]\nview=" + std::string(3000, '\xE9') + "\n", LangText::View).size(),
              2 * 2047u);
}

TEST(LanguageFileTest, Utf8OrWindows1252) {
    // Valid UTF-8 (with or without a byte-order mark) is taken as it is.
    EXPECT_EQ(TextOf("[Menu]\n0=Fichier \xC3\xA9t\xC3\xA9\n", LangText::MenuFile),
              "Fichier \xC3\xA9t\xC3\xA9");
    EXPECT_EQ(TextOf("\xEF\xBB\xBF[Menu]\n0=Datei\n", LangText::MenuFile), "Datei");
    // Anything else is Windows-1252: é, the euro sign, œ.
    EXPECT_EQ(TextOf("[Menu]\n0=\xE9t\x80\x9C\n", LangText::MenuFile),
              "\xC3\xA9t\xE2\x82\xAC\xC5\x93");
}

// Every shipped language names every key; ENGLISH.TVK holds the defaults, for translators.
TEST(LanguageFileTest, ShippedLanguagesAreComplete) {
    for (const char* name :
         {"ENGLISH.TVK", "ITALIAN.TVK", "GERMAN.TVK", "FRENCH.TVK", "SPANISH.TVK"}) {
        std::string bytes = ReadFile(std::string(TAVRIN_BIN_DIR) + "/" + name);
        ASSERT_FALSE(bytes.empty()) << name;
        ProfileFile profile = ProfileFile::FromText(bytes);
        LanguageFile file = LanguageFile::FromBytes(bytes);
        for (const LanguageKey& k : LanguageKeys()) {
            EXPECT_TRUE(profile.HasKey(k.section, k.key))
                << name << " [" << k.section << "] " << k.key;
            EXPECT_FALSE(file.Text(k.id).empty()) << name << " " << k.key;
            if (std::string(name) == "ENGLISH.TVK") {
                std::string expected = k.defaultText;
                std::replace(expected.begin(), expected.end(), '\n', ' ');  // one line each
                EXPECT_EQ(file.Text(k.id), expected) << k.key;
            }
        }
    }
}

}  // namespace tavrin::test
