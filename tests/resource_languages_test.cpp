// Every dialog and string of the resources in each language, with the same
// ids, styles and controls in the same order; texts, fonts and places aside.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <string>

namespace {

TEST(ResourceLanguages, EveryDialogAndStringInEachLanguage) {
    static const std::regex header(R"(^(\w+ DIALOG(EX)? |STRINGTABLE))");
    static const std::regex textOrNumber(R"("[^"]*"|\b\d+\b|\s+)");
    std::ifstream script(VARDIX_RESOURCE_SCRIPT);
    // Each language's dialogs and string tables without texts and numbers.
    std::map<std::string, std::string> languages;
    std::string language;
    bool inside = false;
    for (std::string line; std::getline(script, line);) {
        if (line.rfind("LANGUAGE ", 0) == 0) language = line;
        inside = inside || std::regex_search(line, header);
        const bool comment = line.find_first_not_of(' ') == line.find("//");
        if (inside && !comment) languages[language] += std::regex_replace(line, textOrNumber, " ") + "\n";
        inside = inside && line != "END";
    }
    ASSERT_EQ(languages.size(), 2u);
    EXPECT_EQ(languages.begin()->second, languages.rbegin()->second) << "Chinese against English";
}

}  // namespace
