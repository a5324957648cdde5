#include "files/prefs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "core/numbers.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

std::string Slurp(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Tpreferences Parsed(std::string_view text, std::vector<std::string>* rejected = nullptr)
{
    Tpreferences p;
    (void)ParsePrefsText(text, p, rejected);
    return p;
}

TEST(Prefs, FirstRunWritesTheDefaultsInOrder)
{
    TempDir dir;
    ScopedDecimalSeparator sep(',');
    Tpreferences p = DefaultPreferences();
    p.Preferences = dir.path().string() + "/";
    ASSERT_TRUE(WritePrefs(p).ok());
    EXPECT_EQ(
        Slurp(dir.path() / "prefs.txt"),
        "PltSignal=0\r\nPltFront=1\r\nPltPSF=4\r\nPltInterfero=5\r\nFactMultDiff=2\r\nMasqueActif=1\r\n"
        "MemOptim=0\r\nNIter=1\r\nExtractDim=16\r\nExtractSeuil=50\r\nExtractAuto=1\r\nLambdaRef=555\r\n"
        "LambdaInterfero=555\r\nAjustAuto=1\r\nNPolyZern=22\r\nCorrectionAnalytique=1\r\nArretRMSFront=0,"
        "02\r\n"
        "NPassesMax=42\r\nLangue=0\r\nThreads=0\r\nDefocusImpose=0\r\n[Aide]\r\n\r\n[Images]\r\n\r\n"
        "[Preferences]\r\n" +
            p.Preferences + "\r\n");
}

// A file written before the compensated analysis lacks its three keys, and one written before the
// language choice and the thread count lacks "Langue" and "Threads": they keep their defaults (the
// analytic correction, the locale's language, all cores); values out of range are refused one by one.
TEST(Prefs, LaterKeysDefaultWhenMissingAndRefuseBadValues)
{
    const Tpreferences older = Parsed("NIter=3\r\nNPolyZern=22\r\n[Aide]\r\n\r\n");
    EXPECT_EQ(older.NIter, 3);
    EXPECT_EQ(older.CorrectionAnalytique, 1);
    EXPECT_EQ(older.ArretRMSFront, 0.02);
    EXPECT_EQ(older.NPassesMax, 42);
    EXPECT_EQ(older.Langue, 0);
    EXPECT_EQ(older.Threads, 0);
    const Tpreferences numeric =
        Parsed("CorrectionAnalytique=0\r\nArretRMSFront=0.5\r\nNPassesMax=45\r\nLangue=2\r\nThreads=6\r\n");
    EXPECT_EQ(numeric.Threads, 6);
    EXPECT_EQ(older.DefocusImpose, 0);
    EXPECT_EQ(Parsed("DefocusImpose=1\r\n").DefocusImpose, 1);
    EXPECT_EQ(numeric.CorrectionAnalytique, 0);
    EXPECT_EQ(numeric.ArretRMSFront, 0.5);
    EXPECT_EQ(numeric.NPassesMax, 45);
    EXPECT_EQ(numeric.Langue, 2);
    std::vector<std::string> rejected;
    const Tpreferences bad =
        Parsed("CorrectionAnalytique=2\r\nArretRMSFront=-1\r\nNPassesMax=0\r\nLangue=3\r\nThreads=300\r\n",
               &rejected);
    EXPECT_EQ(bad.CorrectionAnalytique, 1);
    EXPECT_EQ(bad.ArretRMSFront, 0.02);
    EXPECT_EQ(bad.NPassesMax, 42);
    EXPECT_EQ(bad.Langue, 0);
    EXPECT_EQ(bad.Threads, 0);
    EXPECT_EQ(rejected,
              (std::vector<std::string>{
                  "CorrectionAnalytique", "ArretRMSFront", "NPassesMax", "Langue", "Threads"}));
}

TEST(Prefs, RoundTripKeepsEveryField)
{
    TempDir dir;
    Tpreferences p;
    p.PltSignal = 3;
    p.FactMultDiff = 8;
    p.NIter = 12;
    p.ExtractDim = 64;
    p.ExtractSeuil = 100;
    p.LambdaRef = 632.8;
    p.LambdaInterfero = 546.07;
    p.NPolyZern = 28;
    p.Langue = 2;
    p.Threads = 3;
    p.Aide = "/opt/help/index.htm";
    p.Images = "/data/nuit du 12";
    p.Preferences = dir.path().string();  // no trailing separator: joined with one
    ASSERT_TRUE(WritePrefs(p).ok());
    EXPECT_NE(Slurp(dir.path() / "prefs.txt").find("LambdaRef=632.8\r\n"), std::string::npos);
    Tpreferences back;
    back.Preferences = p.Preferences;
    ASSERT_TRUE(ReadPrefs(back).ok());
    EXPECT_EQ(back, p);
}

TEST(Prefs, WavelengthWrittenWithCommaReadsBack)
{
    ScopedDecimalSeparator sep(',');
    Tpreferences p;
    p.LambdaRef = 632.8;
    const std::string text = FormatPrefsText(p);
    EXPECT_NE(text.find("LambdaRef=632,8\r\n"), std::string::npos);
    ScopedDecimalSeparator point('.');
    EXPECT_EQ(Parsed(text).LambdaRef, 632.8);
}

TEST(Prefs, LineRules)
{
    EXPECT_EQ(Parsed("NIter=257").NIter, 1);  // out of range: not wrapped to 1 but the default
    EXPECT_EQ(Parsed("NIter=20").NIter, 20);
    EXPECT_EQ(Parsed("niter=5").NIter, 1);                 // names are case sensitive
    EXPECT_EQ(Parsed("NIter=3\r\nNIter=7\r\n").NIter, 3);  // the first line of a name wins
    EXPECT_EQ(Parsed("PltFront=2\nNIter=4\rPltPSF=3").PltPSF, 3);
    EXPECT_EQ(Parsed("=5\r\nNIter").NIter, 1);
    EXPECT_EQ(Parsed("Unknown=x\r\nNIter=6").NIter, 6);  // not a key: not converted
}

TEST(Prefs, ConversionFailureStopsReading)
{
    Tpreferences p;
    const Status s = ParsePrefsText("PltFront=2\r\nNIter=abc\r\nPltPSF=3\r\n[Images]\r\n/x\r\n", p);
    EXPECT_EQ(s.code, StatusCode::BadFormat);
    EXPECT_EQ(p.PltFront, 2);
    EXPECT_EQ(p.NIter, 1);
    EXPECT_EQ(p.PltPSF, 4);
    EXPECT_EQ(p.Images, "");
    EXPECT_FALSE(ParsePrefsText("NIter=1.5", p).ok());  // strict integers
    EXPECT_FALSE(ParsePrefsText("LambdaRef=", p).ok());
}

TEST(Prefs, UnusableValuesKeepTheDefault)
{
    std::vector<std::string> rejected;
    const Tpreferences p = Parsed(
        "PltSignal=6\r\nPltFront=5\r\nFactMultDiff=0\r\nNIter=0\r\nExtractDim=24\r\nExtractSeuil=101\r\n"
        "NPolyZern=29\r\nLambdaRef=0\r\nLambdaInterfero=-3\r\nMemOptim=9\r\nAjustAuto=2\r\n",
        &rejected);
    const Tpreferences d;
    EXPECT_EQ(p.PltSignal, d.PltSignal);
    EXPECT_EQ(p.PltFront, 5);
    EXPECT_EQ(p.FactMultDiff, d.FactMultDiff);
    EXPECT_EQ(p.NIter, d.NIter);
    EXPECT_EQ(p.ExtractDim, d.ExtractDim);
    EXPECT_EQ(p.ExtractSeuil, d.ExtractSeuil);
    EXPECT_EQ(p.NPolyZern, d.NPolyZern);
    EXPECT_EQ(p.LambdaRef, 555);
    EXPECT_EQ(p.LambdaInterfero, 555);
    EXPECT_EQ(p.MemOptim, 9);
    EXPECT_EQ(rejected,
              (std::vector<std::string>{"PltSignal",
                                        "FactMultDiff",
                                        "NIter",
                                        "ExtractDim",
                                        "ExtractSeuil",
                                        "NPolyZern",
                                        "LambdaRef",
                                        "LambdaInterfero",
                                        "AjustAuto"}));
}

TEST(Prefs, SectionLines)
{
    const Tpreferences p = Parsed("[Aide]\r\n/h/index.htm\r\n[Images]\r\n\r\n[Preferences]\r\n/p/\r\n");
    EXPECT_EQ(p.Aide, "/h/index.htm");
    EXPECT_EQ(p.Images, "");
    EXPECT_EQ(p.Preferences, "/p/");
    EXPECT_EQ(Parsed("[Aide]").Aide, "");  // nothing follows
}

TEST(Prefs, MissingFileChangesNothing)
{
    TempDir dir;
    Tpreferences p;
    p.NIter = 9;
    p.Preferences = (dir.path() / "nowhere").string();
    const Tpreferences before = p;
    EXPECT_EQ(ReadPrefs(p).code, StatusCode::NotFound);
    EXPECT_EQ(p, before);
}

TEST(Prefs, WriteErrorIsReturnedAndOldFileKept)
{
    TempDir dir;
    Tpreferences p;
    p.Preferences = dir.path().string();
    ASSERT_TRUE(WritePrefs(p).ok());
    const std::string old = Slurp(dir.path() / "prefs.txt");
    p.Images = "two\nlines";
    EXPECT_FALSE(WritePrefs(p).ok());
    p.Images = "/ok";
    p.Preferences = (dir.path() / "missing" / "folder").string();
    const Status s = WritePrefs(p);
    EXPECT_EQ(s.code, StatusCode::IoError);
    EXPECT_FALSE(s.message.empty());
    if (::geteuid() != 0) {  // root writes anywhere
        ::chmod(dir.path().c_str(), 0500);
        p.Preferences = dir.path().string();
        EXPECT_FALSE(WritePrefs(p).ok());
        ::chmod(dir.path().c_str(), 0700);
    }
    EXPECT_EQ(Slurp(dir.path() / "prefs.txt"), old);
}

}  // namespace
}  // namespace frontlys
