#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
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

class ReportTest : public ::testing::Test {
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

// The report: HTML holding its pictures as data URIs (nothing to fetch), a one-page PDF, the MTF and
// encircled energy pictures beside the others.
TEST_F(ReportTest, AnalyseReportWritesASelfContainedHtmlAndAOnePagePdf)
{
    const auto f = testing::WriteDonutPair(dir.path(), testing::DonutSpec{}, 128);
    const fs::path results = dir.path() / "results";
    ASSERT_EQ(Run("analyse '" + f.intra.string() + "' '" + f.extra.string() +
                  "' --defocus 5 --correction numeric --report --design newtonian --out '" +
                  results.string() + "'"),
              0)
        << err;
    const std::string html = ReadAll(results / "report.html");
    EXPECT_GE(std::count(html.begin(), html.end(), '\n'), 5);
    std::size_t images = 0;
    for (std::size_t at = html.find("<img src=\""); at != std::string::npos;
         at = html.find("<img src=\"", at + 1)) {
        ++images;
        EXPECT_EQ(html.compare(at + 10, 22, "data:image/png;base64,"), 0);
    }
    EXPECT_GE(images, 5u);
    EXPECT_NE(html.find("Collimation"), std::string::npos);
    EXPECT_NE(html.find("Z11"), std::string::npos);
    const std::string pdf = ReadAll(results / "report.pdf");
    ASSERT_EQ(pdf.substr(0, 5), "%PDF-");
    EXPECT_NE(pdf.find("/Count 1"), std::string::npos);  // one page
    EXPECT_EQ(ReadAll(results / "mtf.png").substr(1, 3), "PNG");
    EXPECT_EQ(ReadAll(results / "encircled_energy.png").substr(1, 3), "PNG");
    EXPECT_NE(Run("analyse '" + f.intra.string() + "' '" + f.extra.string() + "' --report"), 0);  // no --out
}

}  // namespace
}  // namespace frontlys
