// Every dialog and every string of the resources in each language, with the
// same ids, and each dialog with the same styles and controls in the same
// order: only texts, fonts, sizes and places differ. A text added in one
// language alone would leave the other language's users an empty message.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <string>

namespace {

// A line of the script without its texts and numbers: what stays are the
// kinds, the ids and the styles.
std::string Shape(const std::string& line) {
    static const std::regex textOrNumber(R"("[^"]*"|\b\d+\b|\s+)");
    return std::regex_replace(line, textOrNumber, " ");
}

// The dialogs and string tables of each language, a line for each line.
std::map<std::string, std::string> ReadLanguages(const char* path) {
    static const std::regex header(R"(^(\w+ DIALOG(EX)? |STRINGTABLE))");
    std::ifstream script(path);
    std::map<std::string, std::string> languages;
    std::string language;
    bool inside = false;
    for (std::string line; std::getline(script, line);) {
        if (line.rfind("LANGUAGE ", 0) == 0) language = line;
        if (std::regex_search(line, header)) inside = true;
        const bool comment = line.find_first_not_of(' ') == line.find("//");
        if (inside && !comment) languages[language] += Shape(line) + "\n";
        if (line == "END") inside = false;
    }
    return languages;
}

TEST(ResourceLanguages, EveryDialogAndStringInEachLanguage) {
    const auto languages = ReadLanguages(VARDIX_RESOURCE_SCRIPT);
    ASSERT_EQ(languages.size(), 2u);
    EXPECT_EQ(languages.begin()->second, languages.rbegin()->second)
        << languages.begin()->first << " against " << languages.rbegin()->first;
}

}  // namespace
