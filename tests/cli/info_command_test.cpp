#include "cli/info_command.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/fits_builder.h"
#include "support/temp_dir.h"

namespace frontlys::cli {
namespace {

using testing::FitsBuilder;

class InfoCommand : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const FitsBuilder& b)
    {
        const auto path = dir.path() / name;
        EXPECT_TRUE(b.WriteTo(path));
        return path.string();
    }

    // A 3 x 2 image of 1 .. 6 with the fields the command shows.
    std::string Good()
    {
        return Write("good.fits",
                     FitsBuilder::Image(16, 3, 2)
                         .Real("FOCLEN", 1.2)
                         .Real("DIAMETER", 203.2)
                         .Real("XPIXELSZ", 7.4)
                         .Int("BINX", 2)
                         .Text("DATE-OBS", "2024-05-01T22:10:05")
                         .Real("EXPOSURE", 3.4)
                         .Text("TELESCOP", "Newton")
                         .Text("INSTRUME", "CCD")
                         .Text("OBSERVER", "O'Hara")
                         .Pixels({1, 2, 3, 4, 5, 6}));
    }

    int Run(const std::vector<std::string>& files, bool json)
    {
        out.str("");
        err.str("");
        return RunInfo(files, json, out, err);
    }

    TempDir dir;
    std::ostringstream out, err;
};

TEST_F(InfoCommand, JsonHasEveryKeyWithTheLoadedValues)
{
    const std::string file = Good();
    ASSERT_EQ(Run({file}, true), 0) << err.str();
    const auto j = nlohmann::json::parse(out.str());
    EXPECT_EQ(j["file"], file);
    EXPECT_EQ(j["bitpix"], 16);
    EXPECT_EQ(j["naxis1"], 3);
    EXPECT_EQ(j["naxis2"], 2);
    EXPECT_EQ(j["padded"], 128);
    EXPECT_EQ(j["min"], 1.0);
    EXPECT_EQ(j["max"], 6.0);
    // The margin takes the minimum 1: (21 + (128*128 - 6) * 1) / (128*128).
    EXPECT_DOUBLE_EQ(j["mean"].get<double>(), (21.0 + (16384 - 6)) / 16384);
    EXPECT_DOUBLE_EQ(j["focal_mm"].get<double>(), 1200);
    EXPECT_DOUBLE_EQ(j["diameter_mm"].get<double>(), 203.2);
    EXPECT_DOUBLE_EQ(j["pixel_um"].get<double>(), 7.4);
    EXPECT_EQ(j["binx"], 2);
    EXPECT_EQ(j["date_obs"], "2024-05-01T22:10:05");
    EXPECT_EQ(j["exposure_s"], 3);
    EXPECT_EQ(j["telescope"], "Newton");
    EXPECT_EQ(j["instrument"], "CCD");
    EXPECT_EQ(j["observer"], "O'Hara");
    EXPECT_EQ(j.size(), 18u);
    EXPECT_EQ(j["sources"]["focal_mm"], "FOCLEN");
}

TEST_F(InfoCommand, TextShowsSizesAndStatistics)
{
    ASSERT_EQ(Run({Good()}, false), 0);
    const std::string text = out.str();
    EXPECT_NE(text.find("size: 3 x 2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("padded: 128 x 128\n"), std::string::npos);
    EXPECT_NE(text.find("focal_mm: 1200 (FOCLEN)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("max: 6\n"), std::string::npos);
}

TEST_F(InfoCommand, RefusedFileGivesTwoAndTheOthersAreStillRead)
{
    const std::string good = Good();
    const std::string bad = Write("bad.fits", FitsBuilder::Image(16, 3, 2).Pixels({1, 2}).NoDataPadding());
    EXPECT_EQ(Run({bad, good, (dir.path() / "none.fits").string()}, true), 2);
    const std::string o = out.str();
    EXPECT_EQ(std::count(o.begin(), o.end(), '\n'), 1);
    const std::string e = err.str();
    // A file that exists is unreadable, and says why; only a missing one is "not found".
    EXPECT_NE(e.find(bad + ": unreadable FITS image (truncated: the data end early"), std::string::npos) << e;
    EXPECT_NE(e.find("none.fits: image not found"), std::string::npos) << e;
}

TEST_F(InfoCommand, InvalidUtf8AndNanNeverBreakTheJson)
{
    const std::string file = Write(
        "odd.fits", FitsBuilder::Image(-32, 2, 1).Text("OBSERVER", "\xff\xfe").Pixels({std::nan(""), 2}));
    ASSERT_EQ(Run({file}, true), 0) << err.str();
    const auto j = nlohmann::json::parse(out.str());
    EXPECT_TRUE(j["min"].is_null());
    EXPECT_TRUE(j["observer"].is_string());
}

// The built program, when ctest says where it is.
int RunProgram(const std::string& args, std::string* output)
{
    const char* cli = std::getenv("FRONTLYS_CLI");
    if (!cli) return -1;
    const std::string cmd = std::string(cli) + " " + args + " 2>/dev/null";
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (!pipe) return -1;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) output->append(buf, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(InfoCommand, ProgramExitStatuses)
{
    if (!std::getenv("FRONTLYS_CLI")) GTEST_SKIP() << "FRONTLYS_CLI is not set";
    const std::string good = Good();
    const std::string garbage = Write("garbage.fits", FitsBuilder().RawData(std::string(5000, '\x7f')));
    std::string output;
    EXPECT_EQ(RunProgram("info --json '" + good + "'", &output), 0);
    EXPECT_EQ(nlohmann::json::parse(output)["padded"], 128);
    EXPECT_EQ(RunProgram("info '" + good + "' '" + garbage + "'", &output), 2);
    EXPECT_EQ(RunProgram("info '" + dir.path().string() + "'", &output), 2);
    EXPECT_EQ(RunProgram("info", &output), 2);
}

}  // namespace
}  // namespace frontlys::cli
