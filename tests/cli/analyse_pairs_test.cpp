// frontlys-cli analyse on several pairs, given one by one or in a list: each pair's result, the
// average with its spread and error, the CSV table, and the refusals.
#include "cli/analyse_pairs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "core/numbers.h"
#include "support/donut_pair.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

class AnalysePairsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("FRONTLYS_CLI")) GTEST_SKIP() << "FRONTLYS_CLI is not set";
        for (int i = 0; i < 3; ++i) {
            testing::DonutSpec spec;
            spec.eps = 0.03 + 0.01 * i;  // a different aberration on each pair
            std::filesystem::create_directories(dir.path() / std::to_string(i));
            const auto f = testing::WriteDonutPair(dir.path() / std::to_string(i), spec, 128);
            pairs += "--pair '" + f.intra.string() + "' '" + f.extra.string() + "' ";
        }
    }

    // Exit status; stdout in *out.
    int Run(const std::string& args, std::string* out)
    {
        const auto o = dir.path() / "stdout.txt";
        const std::string command = std::string("'") + std::getenv("FRONTLYS_CLI") + "' analyse " + args +
                                    " --defocus 5 --correction numeric >'" + o.string() + "' 2>/dev/null";
        const int raw = std::system(command.c_str());
        std::ostringstream s;
        s << std::ifstream(o).rdbuf();
        *out = s.str();
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    TempDir dir;
    std::string pairs;
};

TEST_F(AnalysePairsTest, PairsGivenOneByOneOrListedGiveTheSameAverage)
{
    std::string out, listed;
    ASSERT_EQ(Run(pairs + "--json --out '" + (dir.path() / "out").string() + "'", &out), 0);
    const auto j = nlohmann::json::parse(out);
    ASSERT_EQ(j["pairs"].size(), 3u);
    const int kept = j["kept"];
    double mean = 0;
    for (const auto& p : j["pairs"])
        if (!p["rejected"]) mean += p["result"]["zernike_rms_nm"][10].get<double>() / kept;
    EXPECT_NEAR(j["mean_rms_nm"][10].get<double>(), mean, 1e-9);
    EXPECT_NEAR(j["sem_rms_nm"][10].get<double>(), j["std_rms_nm"][10].get<double>() / std::sqrt(kept), 1e-9);
    std::ifstream csv(dir.path() / "out/pairs.csv");
    EXPECT_EQ(std::count(std::istreambuf_iterator<char>(csv), {}, '\n'), 4);  // header and a row per pair

    std::ofstream(dir.path() / "list.txt") << "# night of the test\n0/intra.fits 0/extra.fits\n\n"
                                           << "1/intra.fits\t1/extra.fits\n2/intra.fits 2/extra.fits\n";
    ASSERT_EQ(Run("--pairs '" + (dir.path() / "list.txt").string() + "' --json", &listed), 0);
    EXPECT_EQ(nlohmann::json::parse(listed)["mean_rms_nm"], j["mean_rms_nm"]);
}

// The pairs run side by side: every figure but the time taken the same whatever --threads says.
TEST_F(AnalysePairsTest, ResultsDoNotDependOnTheThreadCount)
{
    std::string one, three;
    ASSERT_EQ(Run(pairs + "--json --threads 1", &one), 0);
    ASSERT_EQ(Run("--threads 3 " + pairs + "--json", &three), 0);
    auto figures = [](const std::string& text) {
        auto j = nlohmann::json::parse(text);
        for (auto& p : j["pairs"]) p["result"].erase("seconds");
        return j;
    };
    EXPECT_EQ(figures(one), figures(three));
    EXPECT_EQ(Run(pairs + "--threads -1", &three), 2);
}

TEST_F(AnalysePairsTest, ABadListOrNoImageIsRefused)
{
    std::ofstream(dir.path() / "bad.txt") << "0/intra.fits\n";
    const auto list = cli::ReadPairList(dir.path() / "bad.txt");
    ASSERT_FALSE(list.ok());
    EXPECT_NE(list.status().reason.find("line 1"), std::string::npos);
    std::string out;
    EXPECT_EQ(Run("--pairs '" + (dir.path() / "bad.txt").string() + "'", &out), 2);
    EXPECT_EQ(Run("", &out), 2);
}

// A pair given twice is warned, a missing file refuses its pair and the run's status says so; the
// set's JSON tells its tool and each pair's parameters; the refusal is in the run's language.
TEST_F(AnalysePairsTest, ASetWithARepeatedOrMissingPairIsWarnedAndItsStatusTells)
{
    const std::string zero = "--pair '" + (dir.path() / "0/intra.fits").string() + "' '" +
                             (dir.path() / "0/extra.fits").string() + "' ";
    const std::string missing = "--pair '" + (dir.path() / "none.fits").string() + "' '" +
                                (dir.path() / "0/extra.fits").string() + "' ";
    std::string out;
    ASSERT_EQ(Run(zero + zero + missing + "--json --lang en", &out), cli::kSomePairsRefused);
    const auto j = nlohmann::json::parse(out);
    EXPECT_EQ(j["tool"]["name"], "frontlys-cli");
    EXPECT_EQ(j["warnings"].at(0)["code"], "pair_twice");
    EXPECT_TRUE(j["pairs"][0]["result"].contains("parameters"));
    EXPECT_EQ(j["pairs"][2]["error"], "image not found");
    ASSERT_EQ(Run(zero + pairs + "--lang en", &out), 0);  // 0 given again among the three: warned only

    testing::DonutSpec other;
    other.diameterMm = 150;  // another telescope
    std::filesystem::create_directories(dir.path() / "other");
    const auto f = testing::WriteDonutPair(dir.path() / "other", other, 128);
    ASSERT_EQ(Run(zero + "--pair '" + f.intra.string() + "' '" + f.extra.string() + "' --json", &out), 0);
    EXPECT_EQ(nlohmann::json::parse(out)["warnings"].at(0)["code"], "mixed_setups");
}

// The report of several pairs lists the mean of each term with its error bar, as pairs.json gives
// them, on one PDF page; without --out it is refused.
TEST_F(AnalysePairsTest, TheReportOfSeveralPairsGivesTheMeanWithItsErrorBars)
{
    const auto folder = dir.path() / "report";
    std::string out;
    ASSERT_EQ(Run(pairs + "--json --lang en --report --out '" + folder.string() + "'", &out), 0);
    const auto j = nlohmann::json::parse(out);
    std::ifstream in(folder / "report.html");
    const std::string html((std::istreambuf_iterator<char>(in)), {});
    for (int k : {5, 7, 11}) {
        const std::string row = "<td>Z" + std::to_string(k) + " ";
        const auto at = html.find(row);
        ASSERT_NE(at, std::string::npos) << row;
        const std::string cell = FormatFixed(j["mean_rms_nm"][k - 1].get<double>(), 1) + " &plusmn; " +
                                 FormatFixed(j["mean_sigma_rms_nm"][k - 1].get<double>(), 1) + "</td>";
        EXPECT_NE(html.find(cell, at), std::string::npos) << cell;
        EXPECT_LT(html.find(cell, at), html.find("</tr>", at));  // in the term's own row
    }
    EXPECT_NE(html.find("alt=\"mean coefficients\""), std::string::npos);  // the plot
    std::ifstream pdf(folder / "report.pdf", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(pdf)), {});
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
    EXPECT_NE(bytes.find("/Count 1"), std::string::npos);
    EXPECT_EQ(Run(pairs + "--report", &out), 2);
}

}  // namespace
}  // namespace frontlys
