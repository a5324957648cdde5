#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "support/donut_pair.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

using testing::DonutSpec;

std::string ReadAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct CliRun {
    int status = -1;
    std::string out, err;
};

class AnalyseCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* cli = std::getenv("FRONTLYS_CLI");
        if (!cli) GTEST_SKIP() << "FRONTLYS_CLI is not set";
        m_cli = cli;
        files = testing::WriteDonutPair(dir.path(), donut, 128);
    }

    CliRun Analyse(const std::string& args) { return Command("'" + m_cli + "' --lang fr analyse " + args); }

    // A shell command line, its status and both outputs.
    CliRun Command(const std::string& line)
    {
        const auto out = dir.path() / "stdout.txt", err = dir.path() / "stderr.txt";
        const std::string command = line + " >'" + out.string() + "' 2>'" + err.string() + "' </dev/null";
        CliRun run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = ReadAll(out);
        run.err = ReadAll(err);
        return run;
    }

    const std::string& Cli() const { return m_cli; }
    std::string Pair() const { return "'" + files.intra.string() + "' '" + files.extra.string() + "'"; }

    TempDir dir;
    DonutSpec donut;
    testing::DonutFiles files;

private:
    std::string m_cli;
};

// The pair holds spherical aberration balanced by defocus: the fit must find eps K / 48 nm of Z11
// (peak normalisation), K = R^2 l / (F (F - l)), and little of any other term.
TEST_F(AnalyseCommandTest, RecoversTheSphericalAberrationOfASyntheticPair)
{
    // The numeric correction: the defocus from the radii as the parameters dialog computes it.
    const CliRun run = Analyse(Pair() + " --json --correction numeric");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto j = nlohmann::json::parse(run.out);
    for (const char* key : {"zernike_rms_nm",
                            "zernike_nm",
                            "ptv_nm",
                            "rms_nm",
                            "strehl",
                            "defocus_mm",
                            "radius_intra_px",
                            "radius_extra_px",
                            "centre_intra",
                            "centre_extra",
                            "obstruction",
                            "seconds"})
        EXPECT_TRUE(j.contains(key)) << key;
    ASSERT_EQ(j["zernike_rms_nm"].size(), 22u);
    ASSERT_EQ(j["zernike_nm"].size(), 28u);
    EXPECT_NEAR(j["radius_intra_px"].get<double>(), donut.radiusPx, 0.5);
    EXPECT_NEAR(j["radius_extra_px"].get<double>(), donut.radiusPx, 0.5);
    EXPECT_NEAR(j["centre_intra"][0].get<double>(), donut.centreX, 0.2);
    EXPECT_NEAR(j["centre_intra"][1].get<double>(), donut.centreY, 0.2);
    // The extra file holds its donut where half a turn of the 128 frame brings it onto the intra
    // one; its centre is given in that file's own pixels.
    EXPECT_NEAR(j["centre_extra"][0].get<double>(), 129 - donut.centreX, 0.2);
    EXPECT_NEAR(j["centre_extra"][1].get<double>(), 129 - donut.centreY, 0.2);

    // Defocus from the radii: the marginal ray's slope tan u with sin u = R / F = 0.1, so
    // 12 500 nm / tan u = 125 000 x sqrt(0.99) nm per pixel.
    const double radius = (j["radius_intra_px"].get<double>() + j["radius_extra_px"].get<double>()) / 2;
    const double l = j["defocus_mm"].get<double>() * 1e6;
    EXPECT_NEAR(l, radius * 125000 * std::sqrt(0.99), 1);
    const double F = donut.focalMm * 1e6, R = donut.diameterMm * 5e5;
    const double expected = donut.eps * R * R * l / (F * (F - l)) / 48;
    const double spherical = j["zernike_nm"][10].get<double>();
    EXPECT_NEAR(spherical, expected, 0.15 * expected);
    EXPECT_NEAR(j["zernike_rms_nm"][10].get<double>(), spherical / std::sqrt(5.0), 1e-9);
    for (int k = 5; k <= 22; ++k) {
        if (k == 11) continue;
        EXPECT_LT(std::abs(j["zernike_rms_nm"][k - 1].get<double>()), 0.1 * expected) << k;
    }
    // The displayed wavefront is the spherical term alone: RMS of c / sqrt(5).
    EXPECT_NEAR(j["rms_nm"].get<double>(), expected / std::sqrt(5.0), 0.2 * expected);
    EXPECT_GT(j["strehl"].get<double>(), 0.9);
    EXPECT_NE(run.err.find("Reconstruction"), std::string::npos) << "progress goes to stderr";
}

TEST_F(AnalyseCommandTest, WritesTheResultFilesAndPictures)
{
    const auto out = dir.path() / "results";
    const CliRun run = Analyse(Pair() + " --niter 2 --npoly 10 --out '" + out.string() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    // The result files are written with their own separators; the summary after them keeps ".".
    EXPECT_NE(run.out.find("Rapport de Strehl : 0."), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Z10 = "), std::string::npos) << run.out;
    const std::string coefs = ReadAll(out / "coefficients.txt");
    EXPECT_EQ(coefs.rfind("Fichier =", 0), 0u);
    EXPECT_NE(coefs.find("\r\nZernike,Nom,RMS nm\r\n"), std::string::npos);
    int lines = 0;
    for (std::size_t p = coefs.find("\r\n"); p != std::string::npos; p = coefs.find("\r\n", p + 1)) ++lines;
    EXPECT_EQ(lines, 2 + 10);
    const std::string opd = ReadAll(out / "wavefront.opd");
    EXPECT_EQ(opd.rfind("560,", 0), 0u);
    for (const char* name : {"intra.png", "extra.png", "signal.png", "wavefront.png", "residual.png"}) {
        const std::string png = ReadAll(out / name);
        ASSERT_GT(png.size(), 8u) << name;
        EXPECT_EQ(png.substr(1, 3), "PNG") << name;
    }
}

// The residual picture is written when the analysis has one, as the window shows it: the analytic
// correction always leaves its zonal map; a single numeric pass leaves none.
TEST_F(AnalyseCommandTest, ResidualPictureWhenTheAnalysisHasOne)
{
    const auto analytic = dir.path() / "analytic";
    const CliRun run = Analyse(Pair() + " --json --out '" + analytic.string() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadAll(analytic / "residual.png").substr(1, 3), "PNG");
    const auto files = nlohmann::json::parse(run.out)["files"];
    EXPECT_NE(std::find(files.begin(), files.end(), (analytic / "residual.png").string()), files.end())
        << files;

    const auto one = dir.path() / "one";
    ASSERT_EQ(Analyse(Pair() + " --correction numeric --out '" + one.string() + "'").status, 0);
    EXPECT_TRUE(std::filesystem::exists(one / "wavefront.png"));
    EXPECT_FALSE(std::filesystem::exists(one / "residual.png"));
}

TEST_F(AnalyseCommandTest, GivenDefocusAndOpticsOverrideTheHeader)
{
    // These optics do not match the images' scale: the run says so, and keeps the defocus only
    // when told to.
    const CliRun run = Analyse(Pair() + " --json --defocus 4,5 --focal 1200 --diameter 250 --trust-defocus");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto j = nlohmann::json::parse(run.out);
    EXPECT_DOUBLE_EQ(j["defocus_mm"].get<double>(), 4.5);
    EXPECT_EQ(j["scale"]["used"], "given");
    bool warned = false;
    for (const auto& w : j["warnings"]) warned = warned || w["code"] == "geometry_mismatch";
    EXPECT_TRUE(warned) << run.out;
}

TEST_F(AnalyseCommandTest, BadInputIsRefusedWithStatusTwo)
{
    const std::string missing = "'" + (dir.path() / "none.fits").string() + "'";
    CliRun run = Analyse(missing + " '" + files.extra.string() + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("L'image est introuvable"), std::string::npos) << run.err;

    EXPECT_EQ(Analyse(Pair() + " --defocus 0").status, 2);
    EXPECT_EQ(Analyse(Pair() + " --defocus abc").status, 2);
    EXPECT_EQ(Analyse(Pair() + " --niter 0").status, 2);
    EXPECT_EQ(Analyse(Pair() + " --npoly 29").status, 2);

    // Different padded sizes.
    DonutSpec big = donut;
    big.width = big.height = 200;
    const auto bigFile = dir.path() / "big.fits";
    testing::WriteDonut(bigFile, big, -1, 100, 100);
    run = Analyse("'" + files.intra.string() + "' '" + bigFile.string() + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Les deux images n'ont pas les mêmes dimensions"), std::string::npos) << run.err;

    // A frame without a star (its one lit pixel is a hot pixel): no star.
    DonutSpec empty = donut;
    empty.radiusPx = 0.1;
    const auto flat = dir.path() / "flat.fits";
    testing::WriteDonut(flat, empty, 1, 60, 60);
    run = Analyse("'" + flat.string() + "' '" + files.extra.string() + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Aucune étoile défocalisée"), std::string::npos) << run.err;
}

// The spider vanes reach the analysis as parameters of the test, or are measured when asked; each
// image's own distance from focus comes beside the defocus; vanes beyond the limits are refused.
TEST_F(AnalyseCommandTest, SpiderVanesAndPerSideDistances)
{
    const CliRun run =
        Analyse(Pair() + " --json --refine 0 --vanes 4 --vane-width 3 --vane-angle 45 --out '" +
                (dir.path() / "vanes").string() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto j = nlohmann::json::parse(run.out);
    EXPECT_EQ(j["parameters"]["vanes"]["value"], 4);
    EXPECT_EQ(j["parameters"]["vanes"]["source"], "option");
    EXPECT_EQ(j["parameters"]["vane_width_mm"]["value"], 3.0);
    const double intra = j["defocus_intra_mm"].get<double>(), extra = j["defocus_extra_mm"].get<double>();
    EXPECT_NEAR(0.5 * (intra + extra), j["defocus_mm"].get<double>(), 1e-3 * j["defocus_mm"].get<double>());
    EXPECT_EQ(Analyse(Pair() + " --vanes 17 --vane-width 3").status, 2);
    EXPECT_EQ(Analyse(Pair() + " --vanes four").status, 2);

    // Asked to measure them, the analysis says what the images showed: this pair has none.
    const CliRun measured = Analyse(Pair() + " --json --refine 0 --vanes auto");
    ASSERT_EQ(measured.status, 0) << measured.err;
    const auto m = nlohmann::json::parse(measured.out);
    EXPECT_EQ(m["parameters"]["vanes"]["value"], "auto");
    EXPECT_EQ(m["vanes_measured"]["count"], 0);
    EXPECT_EQ(m["vanes_measured"]["method"], "rings");  // without the refinement, no image fit
    EXPECT_TRUE(m["vanes_measured"]["width_mm"].is_null());
    EXPECT_FALSE(m["vanes_measured"]["reason"].get<std::string>().empty());
    EXPECT_FALSE(m["vanes_measured"].contains("second_bar"));
}

TEST_F(AnalyseCommandTest, MissingOpticsAreRefusedUnlessGiven)
{
    DonutSpec bare = donut;
    bare.writeOptics = false;
    const auto bareDir = dir.path() / "bare";
    std::filesystem::create_directory(bareDir);
    const auto pair = testing::WriteDonutPair(bareDir, bare, 128);
    const std::string files2 = "'" + pair.intra.string() + "' '" + pair.extra.string() + "'";
    CliRun run = Analyse(files2);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Tous les paramètres n'ont pas été saisis."), std::string::npos) << run.err;
    EXPECT_EQ(Analyse(files2 + " --focal 1000 --diameter 200").status, 2);  // no pixel size for auto
    run = Analyse(files2 + " --focal 1000 --diameter 200 --pixel 12.5 --json");
    ASSERT_EQ(run.status, 0) << run.err;
}

TEST_F(AnalyseCommandTest, StartsFromAGivenPreferencesFile)
{
    const auto prefs = dir.path() / "prefs.txt";
    std::ofstream(prefs) << "NIter=2\r\nNPolyZern=10\r\nLambdaRef=632.8\r\n";
    CliRun run = Analyse(Pair() + " --json --prefs '" + prefs.string() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    auto j = nlohmann::json::parse(run.out);
    EXPECT_EQ(j["zernike_rms_nm"].size(), 10u);
    // An option wins over the file.
    run = Analyse(Pair() + " --json --npoly 15 --prefs '" + prefs.string() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    j = nlohmann::json::parse(run.out);
    EXPECT_EQ(j["zernike_rms_nm"].size(), 15u);
    EXPECT_EQ(Analyse(Pair() + " --prefs '" + (dir.path() / "none.txt").string() + "'").status, 2);
}

TEST_F(AnalyseCommandTest, ResizeBringsBothPupilsToOneRadius)
{
    DonutSpec unequal = donut;
    const auto sub = dir.path() / "unequal";
    std::filesystem::create_directory(sub);
    auto pair = testing::WriteDonutPair(sub, unequal, 128);
    unequal.radiusPx = 44;
    testing::WriteDonut(pair.extra, unequal, -1, 129 - donut.centreX, 129 - donut.centreY);
    const std::string files2 = "'" + pair.intra.string() + "' '" + pair.extra.string() + "'";
    CliRun run = Analyse(files2 + " --json");
    ASSERT_EQ(run.status, 0) << run.err;
    auto j = nlohmann::json::parse(run.out);
    EXPECT_NEAR(j["radius_extra_px"].get<double>() - j["radius_intra_px"].get<double>(), 4, 0.5);
    run = Analyse(files2 + " --json --resize");
    ASSERT_EQ(run.status, 0) << run.err;
    j = nlohmann::json::parse(run.out);
    EXPECT_NEAR(j["radius_extra_px"].get<double>(), j["radius_intra_px"].get<double>(), 0.5);
}

// The tests below check the tool, not the method: they run the quicker numeric correction.

// Another program reads the JSON and the CSV without knowing this tool: the JSON says what every
// number is, and both agree with each other and with the files on disk.
TEST_F(AnalyseCommandTest, JsonAndCsvDescribeTheResultsForOtherPrograms)
{
    const auto out = dir.path() / "described";
    const CliRun run =
        Analyse(Pair() + " --correction numeric --json --npoly 15 --out '" + out.string() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto j = nlohmann::json::parse(run.out);
    EXPECT_EQ(j, nlohmann::json::parse(ReadAll(out / "results.json")));
    using T = nlohmann::json::value_t;
    const std::pair<const char*, T> schema[] = {{"tool", T::object},
                                                {"inputs", T::object},
                                                {"parameters", T::object},
                                                {"wavelength_nm", T::number_float},
                                                {"units", T::object},
                                                {"zernike", T::object},
                                                {"sign_convention", T::string},
                                                {"wavefront_error_excludes_terms", T::array},
                                                {"warnings", T::array},
                                                {"notes", T::array},
                                                {"files", T::array}};
    for (const auto& [key, type] : schema) {
        ASSERT_TRUE(j.contains(key)) << key;
        EXPECT_EQ(j[key].type(), type) << key;
    }
    EXPECT_TRUE(j["tool"]["version"].is_string());
    EXPECT_EQ(j["inputs"]["intra"], files.intra.string());
    EXPECT_EQ(j["parameters"]["focal_mm"]["source"], "header FOCLEN");
    EXPECT_EQ(j["parameters"]["diameter_mm"]["source"], "header DIAMETER");
    EXPECT_EQ(j["parameters"]["npoly"]["source"], "option");
    EXPECT_EQ(j["parameters"]["defocus_mm"]["source"], "computed from the pupil radii");
    EXPECT_EQ(j["wavefront_error_excludes_terms"], nlohmann::json::parse("[1, 2, 3, 4]"));
    const auto& terms = j["zernike"]["terms"];
    ASSERT_EQ(terms.size(), 15u);
    EXPECT_EQ(terms[10]["noll"], 11);
    EXPECT_EQ(terms[4]["noll"], 6);  // astigmatism cos: even Noll index
    EXPECT_EQ(terms[10]["rms_nm"], j["zernike_rms_nm"][10]);
    for (const auto& f : j["files"]) EXPECT_TRUE(std::filesystem::exists(f.get<std::string>())) << f;
    EXPECT_EQ(j["files"].size(), 13u);  // two text files, CSV, JSON, OPD and nine pictures (no residual)

    std::istringstream csv(ReadAll(out / "coefficients.csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "index,name,n,m,type,noll,rms_nm,peak_nm,sigma_nm");
    int rows = 0;
    while (std::getline(csv, line)) {
        if (++rows != 11) continue;
        EXPECT_EQ(line.rfind("11,Spheric.,4,0,,11,", 0), 0u) << line;
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string f; std::getline(split, f, ',');) fields.push_back(f);
        ASSERT_GE(fields.size(), 8u) << line;
        EXPECT_NEAR(std::stod(fields[6]), j["zernike_rms_nm"][10].get<double>(), 1e-9);
        if (!j["zernike_sigma_nm"].is_null()) {
            ASSERT_EQ(fields.size(), 9u) << line;
            EXPECT_NEAR(std::stod(fields[8]), j["zernike_sigma_nm"][10].get<double>(), 1e-9);
        }
    }
    EXPECT_EQ(rows, 15);
}

// A failed run leaves the previous set as it was, with no stray file; a good one leaves nothing of
// an older run; an unusable folder is refused before the computation.
TEST_F(AnalyseCommandTest, OutputSetIsWholeOrUntouched)
{
    const auto out = dir.path() / "set";
    ASSERT_EQ(Analyse(Pair() + " --correction numeric --niter 2 --out '" + out.string() + "'").status, 0);
    ASSERT_TRUE(std::filesystem::exists(out / "residual.png"));
    const std::string before = ReadAll(out / "coefficients.txt");

    // 20 kB files at most: the OPD file cannot be written.
    CliRun run = Command("ulimit -f 40; '" + Cli() + "' --lang fr analyse " + Pair() +
                         " --correction numeric --npoly 10 --out '" + out.string() + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Erreur d'écriture du fichier"), std::string::npos) << run.err;
    EXPECT_EQ(ReadAll(out / "coefficients.txt"), before);
    EXPECT_TRUE(std::filesystem::exists(out / "residual.png"));
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(out)) names.insert(e.path().filename().string());
    EXPECT_EQ(names.size(), 14u) << "no temporary file or folder beside the set";

    // A run killed outright leaves its staging folder: the next run removes it, not a live run's.
    const auto killed = out / ".frontlys-new-999999999-abcdef",
               live = out / (".frontlys-new-" + std::to_string(::getpid()) + "-abcdef");
    std::filesystem::create_directories(killed);
    std::filesystem::create_directories(live);
    ASSERT_EQ(Analyse(Pair() + " --correction numeric --out '" + out.string() + "'").status, 0);
    EXPECT_FALSE(std::filesystem::exists(out / "residual.png"));
    EXPECT_FALSE(std::filesystem::exists(killed));
    EXPECT_TRUE(std::filesystem::exists(live));
    std::filesystem::remove_all(live);

    run = Analyse(Pair() + " --correction numeric --out '" + files.intra.string() + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Dossier de sortie inutilisable"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Ouverture des images"), std::string::npos) << "refused before computing";
}

TEST_F(AnalyseCommandTest, EveryLineInTheRunsLanguage)
{
    CliRun run = Command("LC_ALL= LC_MESSAGES= LANG=fr_FR.UTF-8 '" + Cli() +
                         "' analyse --correction numeric " + Pair());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Rapport de Strehl : "), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("Reconstruction du front d'onde..."), std::string::npos) << run.err;
    run = Command("LANG=fr_FR.UTF-8 '" + Cli() + "' analyse " + Pair() + " --correction numeric --lang en");
    EXPECT_NE(run.out.find("Strehl ratio: "), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("Reconstructing the wavefront..."), std::string::npos) << run.err;

    const std::string en = "'" + Cli() + "' --lang en analyse ";
    run = Command(en + "'" + (dir.path() / "none.fits").string() + "' '" + files.extra.string() + "'");
    EXPECT_NE(run.err.find("image not found"), std::string::npos) << run.err;
    const auto cut = dir.path() / "cut.fits";
    std::ofstream(cut, std::ios::binary) << ReadAll(files.intra).substr(0, 2880 + 1000);
    run = Command(en + "'" + cut.string() + "' '" + files.extra.string() + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("unreadable FITS image ("), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("truncated: the data end early"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("not found"), std::string::npos) << run.err;
    run = Command(en + Pair() + " --correction numeric --diameter -200");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--diameter is negative"), std::string::npos) << run.err;

    // No line of Qt's, no progress: a script sees only what it asked for.
    run = Command("env -u XDG_RUNTIME_DIR -u QT_QPA_PLATFORM '" + Cli() +
                  "' analyse --quiet --correction numeric " + Pair() + " --out '" +
                  (dir.path() / "quiet").string() + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
}

TEST_F(AnalyseCommandTest, InputChecks)
{
    CliRun run = Analyse(Pair() + " --correction numeric --prefs '" + dir.path().string() + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Fichier de préférences illisible"), std::string::npos) << run.err;
    EXPECT_EQ(Analyse(Pair() + " --correction numeric --software-binning 9").status, 2);
    EXPECT_EQ(Analyse(Pair() + " --correction numeric --software-binning 0").status, 2);

    const auto prefs = dir.path() / "prefs.txt";
    std::ofstream(prefs) << "NIter=257\r\nNPolyZern=10\r\n";
    run = Analyse(Pair() + " --correction numeric --json --prefs '" + prefs.string() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("NIter"), std::string::npos) << "the rejected key is reported: " << run.err;
    const auto j = nlohmann::json::parse(run.out);
    EXPECT_EQ(j["parameters"]["niter"]["value"], 1);
    EXPECT_EQ(j["zernike_rms_nm"].size(), 10u);

    // A 3 x 3 patch of bad pixels in the intra frame's first corner, as a bad-pixel mask writes it.
    std::vector<double> v = testing::DonutPixels(donut, +1, donut.centreX, donut.centreY);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) v[static_cast<std::size_t>(r) * donut.width + c] = std::nan("");
    for (double& p : v) p += 32768;
    const auto masked = dir.path() / "masked.fits";
    testing::FitsBuilder::Image(-32, donut.width, donut.height)
        .Real("FOCLEN", donut.focalMm / 1000)
        .Real("DIAMETER", donut.diameterMm)
        .Real("XPIXELSZ", donut.pixelUm)
        .Pixels(v)
        .WriteTo(masked);
    run = Analyse("'" + masked.string() + "' '" + files.extra.string() + "' --json --correction numeric");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NEAR(nlohmann::json::parse(run.out)["radius_intra_px"].get<double>(), donut.radiusPx, 0.5);
}

}  // namespace
TEST_F(AnalyseCommandTest, OptionsTheCorrectionDoesNotUseAreSaid)
{
    CliRun run = Analyse(Pair() + " --defocus 5 --correction numeric --refine 2 --max-passes 3");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("--refine est sans effet avec la correction numérique"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("--max-passes est sans effet"), std::string::npos) << run.err;
    run = Analyse(Pair() + " --defocus 5 --refine 0 --niter 2");
    EXPECT_NE(run.err.find("--niter est sans effet avec la correction analytique"), std::string::npos)
        << run.err;
}

}  // namespace frontlys
