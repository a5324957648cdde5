#include "analysis/live_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/donut_pair.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

namespace fs = std::filesystem;
using testing::DonutPixels;
using testing::DonutSpec;
using testing::FitsBuilder;

constexpr int kPadded = 128;

// One frame as a camera writes it; the extra-focal disc where the program's turn maps it.
std::string Frame(const DonutSpec& s, bool intra, std::optional<double> focuser = {})
{
    const double cx = intra ? s.centreX : kPadded + 1 - s.centreX;
    const double cy = intra ? s.centreY : kPadded + 1 - s.centreY;
    auto b = FitsBuilder::Image(16, s.width, s.height).Real("BZERO", 32768).Real("BSCALE", 1);
    b.Real("FOCLEN", s.focalMm / 1000)
        .Real("DIAMETER", s.diameterMm)
        .Real("XPIXELSZ", s.pixelUm)
        .Real("YPIXELSZ", s.pixelUm);
    if (focuser) b.Real("FOCUSPOS", *focuser);
    return b.Pixels(DonutPixels(s, intra ? +1 : -1, cx, cy)).Bytes();
}

void Write(const fs::path& file, const std::string& bytes)
{
    ASSERT_TRUE(FitsBuilder::WriteBytes(file, bytes));
}

LiveOptions Options()
{
    LiveOptions o;
    o.analysis.defocusMm = 5;
    o.analysis.analytic = false;
    return o;
}

// Polls until the worker has nothing left: two looks make a file stable.
void Settle(LiveSession& session, int looks = 2)
{
    for (int i = 0; i < looks; ++i) ASSERT_TRUE(session.Poll().ok());
    session.WaitIdle();
}

// The focuser keyword decides which frame is intra-focal whatever the names and order; names decide
// without it; else the images, compared with the frames of the pairs before; each pair says which
// rule it followed. The sign of the spherical
// term shows the frames were not swapped (a swap reverses the wavefront).
TEST(LiveSession, PairsByFocuserPositionThenNamesThenImages)
{
    TempDir dir;
    const DonutSpec spec;
    Write(dir.path() / "a1.fits", Frame(spec, false, 2100));  // extra first, higher position
    Write(dir.path() / "a2.fits", Frame(spec, true, 1900));
    Write(dir.path() / "b_extra.fits", Frame(spec, false));
    Write(dir.path() / "b_intra.fits", Frame(spec, true));
    LiveSession session(dir.path(), Options());
    Settle(session);
    // Two more frames, written later: told apart by the images.
    Write(dir.path() / "c1.fits", Frame(spec, true));
    Write(dir.path() / "c2.fits", Frame(spec, false));
    Settle(session);
    const auto pairs = session.Pairs();
    ASSERT_EQ(pairs.size(), 3u);
    std::map<std::string, LivePair> byIntra;
    for (const LivePair& p : pairs) byIntra[p.intra.filename().string()] = p;
    ASSERT_EQ(byIntra.count("a2.fits"), 1u);
    EXPECT_EQ(byIntra["a2.fits"].pairing, PairingRule::FocuserPosition);
    ASSERT_EQ(byIntra.count("b_intra.fits"), 1u);
    EXPECT_EQ(byIntra["b_intra.fits"].pairing, PairingRule::FileName);
    ASSERT_EQ(byIntra.count("c1.fits"), 1u);
    EXPECT_EQ(byIntra["c1.fits"].pairing, PairingRule::Data);
    for (const LivePair& p : pairs) {
        ASSERT_TRUE(p.analysed) << p.reason.en;
        EXPECT_GT(SphericalNm(p.zernikeRmsNm), 0) << p.intra;
        EXPECT_GE(p.shownAt, p.readyAt);
    }
    EXPECT_EQ(session.Average().kept, 3);
    EXPECT_TRUE(session.Unpaired().empty());
}

// A frame still being written (its data cut short) is never read; once whole and unchanged over two
// looks it is taken. A frame that grows between two looks waits for one more.
TEST(LiveSession, WaitsForAFrameToBeWhole)
{
    TempDir dir;
    const DonutSpec spec;
    const std::string intra = Frame(spec, true), extra = Frame(spec, false);
    Write(dir.path() / "1.fits", intra);
    Write(dir.path() / "2.fits", extra.substr(0, extra.size() / 2));
    LiveSession session(dir.path(), Options());
    Settle(session, 3);
    EXPECT_TRUE(session.Pairs().empty());
    ASSERT_EQ(session.Waiting().size(), 1u);
    EXPECT_EQ(session.Waiting()[0].filename(), "2.fits");
    EXPECT_EQ(session.Unpaired().size(), 1u);

    Write(dir.path() / "2.fits", extra);  // the capture program finishes the file
    ASSERT_TRUE(session.Poll().ok());     // a change: not yet stable
    session.WaitIdle();
    EXPECT_TRUE(session.Pairs().empty());
    Settle(session, 1);
    ASSERT_EQ(session.Pairs().size(), 1u);
    EXPECT_TRUE(session.Pairs()[0].analysed);
    EXPECT_TRUE(session.Waiting().empty());
}

// The running mean follows the rejection rule: a pair of another mirror among agreeing ones is set
// aside as an outlier, a pair that cannot be analysed as refused, each with its reason.
TEST(LiveSession, SetsAsideOutliersAndRefusedPairsWithTheirReason)
{
    TempDir dir;
    int n = 0;
    const auto pair = [&](const DonutSpec& s, const DonutSpec& e) {
        char name[32];
        std::snprintf(name, sizeof name, "%02d.fits", ++n);
        Write(dir.path() / name, Frame(s, true));
        std::snprintf(name, sizeof name, "%02d.fits", ++n);
        Write(dir.path() / name, Frame(e, false));
    };
    DonutSpec good;
    for (double eps : {0.040, 0.041, 0.039, 0.0405}) {
        good.eps = eps;
        pair(good, good);
    }
    DonutSpec bad = good;
    bad.eps = 0.12;
    pair(bad, bad);
    pair(good, good);
    // The last extra-focal frame holds no star: that pair cannot be analysed.
    Write(dir.path() / "12.fits",
          FitsBuilder::Image(16, 120, 120).Pixels(std::vector<double>(120 * 120, 200)).Bytes());
    LiveSession session(dir.path(), Options());
    Settle(session);
    const auto pairs = session.Pairs();
    ASSERT_EQ(pairs.size(), 6u);
    int outliers = 0, refused = 0;
    for (const LivePair& p : pairs) {
        outliers += p.reason.code == "outlier";
        refused += p.reason.code == "refused";
        EXPECT_EQ(p.setAside, !p.reason.code.empty());
    }
    EXPECT_EQ(outliers, 1);
    EXPECT_EQ(refused, 1);
    const PairAverage a = session.Average();
    EXPECT_EQ(a.kept, 4);
    ASSERT_GE(a.semRmsNm.size(), 11u);
    EXPECT_GT(a.semRmsNm[10], 0);
}

// Without keywords or telling names the user is asked once; the frames of the pair answered for
// then tell the side of later frames (spherical aberration: a bright rim inside focus, a bright
// centre outside), and a run of two frames on one side waits for its partners instead of being
// paired with itself. Declining to answer sets the pair aside; with no one to ask, the order decides
// and the pair says so.
TEST(LiveSession, WithoutKeywordsTheUserThenTheImagesTellTheSides)
{
    TempDir dir;
    const DonutSpec spec;
    int asked = 0;
    LiveOptions options = Options();
    options.askFirstIsIntra = [&](const fs::path& first, const fs::path&) {
        ++asked;
        EXPECT_EQ(first.filename(), "a1.fits");
        return std::optional<bool>(false);
    };
    LiveSession session(dir.path(), options);
    Write(dir.path() / "a1.fits", Frame(spec, false));
    Write(dir.path() / "a2.fits", Frame(spec, true));
    Settle(session);
    // Extra first, then intra, intra, extra, extra.
    Write(dir.path() / "b1.fits", Frame(spec, false));
    Write(dir.path() / "b2.fits", Frame(spec, true));
    Settle(session);
    for (const char* name : {"c1.fits", "c2.fits", "c3.fits", "c4.fits"}) {
        Write(dir.path() / name, Frame(spec, name[1] <= '2'));
        ASSERT_TRUE(session.Poll().ok());  // one at a time, in this order
    }
    Settle(session);
    EXPECT_EQ(asked, 1);
    const auto pairs = session.Pairs();
    ASSERT_EQ(pairs.size(), 4u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"a2.fits", "a1.fits"}, {"b2.fits", "b1.fits"}, {"c1.fits", "c3.fits"}, {"c2.fits", "c4.fits"}};
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        EXPECT_EQ(pairs[i].intra.filename(), expected[i].first);
        EXPECT_EQ(pairs[i].extra.filename(), expected[i].second);
        EXPECT_EQ(pairs[i].pairing, i == 0 ? PairingRule::Asked : PairingRule::Data);
        ASSERT_TRUE(pairs[i].analysed) << pairs[i].reason.en;
        EXPECT_GT(SphericalNm(pairs[i].zernikeRmsNm), 0);
    }

    TempDir other;
    Write(other.path() / "1.fits", Frame(spec, true));
    Write(other.path() / "2.fits", Frame(spec, false));
    options.askFirstIsIntra = [](const fs::path&, const fs::path&) { return std::optional<bool>(); };
    LiveSession declined(other.path(), options);
    Settle(declined);
    ASSERT_EQ(declined.Pairs().size(), 1u);
    EXPECT_FALSE(declined.Pairs()[0].analysed);
    EXPECT_EQ(declined.Pairs()[0].reason.code, "undecided");
    LiveSession unattended(other.path(), Options());
    Settle(unattended);
    ASSERT_EQ(unattended.Pairs().size(), 1u);
    EXPECT_EQ(unattended.Pairs()[0].pairing, PairingRule::Order);
    ASSERT_FALSE(unattended.Pairs()[0].warnings.empty());
    EXPECT_EQ(unattended.Pairs()[0].warnings[0].code, "order_decides");
}

TEST(LiveSession, ReadsTheFocuserKeywordsAndRefusesAMissingFolder)
{
    TempDir dir;
    const DonutSpec spec;
    Write(dir.path() / "f.fits", Frame(spec, true, 12345.5));
    EXPECT_EQ(FocuserPosition(dir.path() / "f.fits"), 12345.5);
    Write(dir.path() / "g.fits",
          FitsBuilder::Image(16, 4, 4).Real("FOCPOS", 77).Pixels(std::vector<double>(16, 0)).Bytes());
    EXPECT_EQ(FocuserPosition(dir.path() / "g.fits"), 77);
    Write(dir.path() / "h.fits", Frame(spec, true));
    EXPECT_FALSE(FocuserPosition(dir.path() / "h.fits").has_value());
    LiveSession session(dir.path() / "missing", Options());
    EXPECT_FALSE(session.Poll().ok());
}

}  // namespace
}  // namespace frontlys
