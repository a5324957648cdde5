// Every warning code the program can give is explained on the help page of the checks, in both
// languages: the codes are read from the sources that make the warnings.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace frontlys {
namespace {

const std::filesystem::path kRoot = std::filesystem::path(FRONTLYS_TEST_DATA) / ".." / "..";

std::string Text(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A code is a lower-case literal opening a warning: after "{" or "(", followed by a comma and the
// quoted French sentence (a capital first).
std::set<std::string> CodesIn(const std::string& source)
{
    std::set<std::string> codes;
    for (std::size_t q = source.find('"'); q != std::string::npos; q = source.find('"', q + 1)) {
        std::size_t before = q;
        while (before > 0 && std::isspace(static_cast<unsigned char>(source[before - 1]))) --before;
        if (before == 0 || (source[before - 1] != '{' && source[before - 1] != '(')) continue;
        std::size_t end = q + 1;
        while (end < source.size() &&
               (std::islower(static_cast<unsigned char>(source[end])) || source[end] == '_'))
            ++end;
        if (end == q + 1 || source.compare(end, 2, "\",") != 0) continue;
        std::size_t next = end + 2;
        while (next < source.size() && std::isspace(static_cast<unsigned char>(source[next]))) ++next;
        if (next + 1 < source.size() && source[next] == '"' &&
            std::isupper(static_cast<unsigned char>(source[next + 1])))
            codes.insert(source.substr(q + 1, end - q - 1));
    }
    return codes;
}

TEST(WarningCodes, EveryCodeIsOnTheHelpPageOfTheChecks)
{
    std::set<std::string> codes{"ignored"};  // result_json's own, for what RunAnalysis set aside
    for (const char* file : {"src/analysis/data_checks.cpp",
                             "src/analysis/analysis_warnings.cpp",
                             "src/cli/analyse_pairs.cpp"}) {
        const std::string source = Text(kRoot / file);
        ASSERT_FALSE(source.empty()) << file;
        codes.merge(CodesIn(source));
    }
    ASSERT_GT(codes.size(), 15u);  // the reader still finds them
    for (const char* page : {"help/planificateur.htm", "help/en/planificateur.htm"}) {
        const std::string help = Text(kRoot / page);
        for (const std::string& code : codes)
            EXPECT_NE(help.find("<code>" + code + "</code>"), std::string::npos)
                << code << " missing from " << page;
    }
}

}  // namespace
}  // namespace frontlys
