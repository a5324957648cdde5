#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/donut_pair.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class WatchCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* cli = std::getenv("FRONTLYS_CLI");
        if (!cli) GTEST_SKIP() << "FRONTLYS_CLI is not set";
        m_cli = cli;
    }
    // Status, with stdout and stderr in out and err.
    int Run(const std::string& args)
    {
        const auto o = dir.path() / "stdout.txt", e = dir.path() / "stderr.txt";
        const std::string line =
            "'" + m_cli + "' --lang en " + args + " >'" + o.string() + "' 2>'" + e.string() + "' </dev/null";
        const int raw = std::system(line.c_str());
        out = ReadAll(o), err = ReadAll(e);
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    TempDir dir;
    std::string out, err;

private:
    std::string m_cli;
};

// Two whole pairs and a frame cut short: the pairs are analysed and followed, the cut frame left
// alone and named; the trend files hold one row per pair.
TEST_F(WatchCommandTest, WatchOnceAnalysesTheWholePairsAndLeavesAHalfWrittenFrame)
{
    const fs::path night = dir.path() / "night";
    fs::create_directories(night);
    for (int i = 0; i < 2; ++i) {
        testing::DonutSpec spec;
        spec.eps = 0.03 + 0.01 * i;
        const fs::path sub = dir.path() / std::to_string(i);
        fs::create_directories(sub);
        const auto f = testing::WriteDonutPair(sub, spec, 128);
        fs::copy_file(f.intra, night / ("p" + std::to_string(i) + "_intra.fits"));
        fs::copy_file(f.extra, night / ("p" + std::to_string(i) + "_extra.fits"));
    }
    const std::string whole = ReadAll(night / "p0_intra.fits");
    std::ofstream(night / "p9_intra.fits", std::ios::binary) << whole.substr(0, whole.size() / 2);
    const fs::path results = dir.path() / "results";
    ASSERT_EQ(Run("watch '" + night.string() +
                  "' --once --report --interval 0.1 --defocus 5 --correction numeric --out '" +
                  results.string() + "'"),
              0)
        << err;
    std::size_t pairLines = 0;
    for (std::size_t at = out.find("Pair "); at != std::string::npos; at = out.find("\nPair ", at + 1))
        ++pairLines;
    EXPECT_EQ(pairLines, 2u) << out;
    EXPECT_NE(out.find("p0_intra.fits / p0_extra.fits, file names): RMS"), std::string::npos) << out;
    EXPECT_NE(out.find("Mean over 2 pair(s)"), std::string::npos) << out;
    EXPECT_NE(err.find("not yet whole, left alone: p9_intra.fits"), std::string::npos) << err;
    const std::string csv = ReadAll(results / "trend.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << csv;
    const auto json = nlohmann::json::parse(ReadAll(results / "trend.json"));
    EXPECT_EQ(json["kept"], 2);
    EXPECT_EQ(json["pairs"].size(), 2u);
    EXPECT_TRUE(json["pairs"][0].contains("collimation"));
    EXPECT_EQ(ReadAll(results / "trend.png").substr(1, 3), "PNG");
    EXPECT_EQ(ReadAll(results / "collimation.png").substr(1, 3), "PNG");
    // The session's report gives the mean of each term with the error of the mean.
    const std::string html = ReadAll(results / "report.html");
    EXPECT_NE(html.find("&plusmn;"), std::string::npos);
    EXPECT_EQ(ReadAll(results / "report.pdf").substr(0, 5), "%PDF-");
}

TEST_F(WatchCommandTest, WatchRefusesAMissingFolder)
{
    EXPECT_EQ(Run("watch '" + (dir.path() / "none").string() + "' --once"), 2);
    EXPECT_NE(err.find("not a folder"), std::string::npos) << err;
}

}  // namespace
}  // namespace frontlys
