#include "cli/watch_command.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <thread>

#include "cli/language.h"
#include "cli/output_set.h"
#include "cli/pictures.h"
#include "cli/watch_outputs.h"
#include "core/numbers.h"

namespace frontlys::cli {
namespace {

// The worker tells the main thread a pair is done; the main thread prints and writes (Qt stays there).
struct Mailbox {
    std::mutex mutex;
    std::condition_variable ready;
    int done = 0;
};

int Refuse(std::ostream& err, const Status& s)
{
    PrintRefusal(err, "watch", s);
    return 2;
}

class Shower {
public:
    Shower(const WatchRequest& r, LiveSession& s, std::ostream& out, std::ostream& err)
        : m_request(r), m_session(s), m_out(out), m_err(err)
    {
    }
    // Prints the pairs done since the last call and rewrites the trend files; false on a write failure.
    bool Show()
    {
        const auto pairs = m_session.Pairs();
        if (pairs.size() == m_shown) return true;
        const PairAverage average = m_session.Average();
        for (std::size_t i = m_shown; i < pairs.size(); ++i) {
            m_out << PairLine(pairs[i], m_request.live.design.design) << "\n";
            for (const Note& n : pairs[i].warnings)
                m_err << "frontlys-cli: " << Tr("attention : ", "warning: ")
                      << (CurrentLanguage() == Lang::Fr ? n.fr : n.en) << "\n";
        }
        m_out << MeanLine(average) << std::endl;
        m_shown = pairs.size();
        Status s = WriteTrend(*m_request.outDir, pairs, average);
        if (s.ok() && m_request.report) {
            const ReportContent report =
                SessionReport(m_request.folder, pairs, average, m_request.live.design.design);
            s = WriteReportHtml(report, *m_request.outDir / "report.html");
            if (s.ok()) s = WriteReportPdf(report, *m_request.outDir / "report.pdf");
        }
        if (!s.ok()) PrintRefusal(m_err, "watch", s);
        return s.ok();
    }

private:
    const WatchRequest& m_request;
    LiveSession& m_session;
    std::ostream& m_out;
    std::ostream& m_err;
    std::size_t m_shown = 0;
};

void ReportWaiting(const LiveSession& session, std::ostream& err)
{
    for (const auto& p : session.Waiting())
        err << "frontlys-cli: "
            << Tr("pas encore lisible en entier, laissé : ", "not yet whole, left alone: ")
            << p.filename().string() << "\n";
    for (const auto& p : session.Unpaired())
        err << "frontlys-cli: " << Tr("sans partenaire : ", "no partner yet: ") << p.filename().string()
            << "\n";
}

}  // namespace

int RunWatch(const WatchRequest& given, std::ostream& out, std::ostream& err)
{
    WatchRequest request = given;
    std::error_code ec;
    if (!std::filesystem::is_directory(request.folder, ec))
        return Refuse(
            err,
            Status::Fail(
                StatusCode::NotFound, "Dossier illisible", request.folder.string() + ": not a folder"));
    if (!(request.intervalS > 0) || request.intervalS > 3600)
        return Refuse(err,
                      Status::Fail(StatusCode::OutOfRange, "Paramètre invalide", "--interval: 0 to 3600 s"));
    if (!request.outDir) request.outDir = request.folder / "frontlys-session";
    if (Status s = CheckOutputFolder(*request.outDir); !s.ok()) return Refuse(err, s);
    EnsureGuiApplication();

    Mailbox mailbox;
    LiveSession session(request.folder, request.live, [&mailbox](const LivePair&) {
        std::lock_guard lock(mailbox.mutex);
        ++mailbox.done;
        mailbox.ready.notify_one();
    });
    Shower shower(request, session, out, err);
    const auto interval = std::chrono::duration<double>(request.intervalS);
    if (!Quiet())
        err << "frontlys-cli: " << Tr("surveillance de ", "watching ") << request.folder.string()
            << Tr(", résultats dans ", ", results in ") << request.outDir->string() << "\n";
    // The looks keep their interval whatever wakes the loop: two looks define a stable size.
    using Clock = std::chrono::steady_clock;
    auto nextLook = Clock::now();
    int seenDone = 0;
    for (int look = 0;;) {
        if (Clock::now() >= nextLook) {
            auto queued = session.Poll();
            if (!queued.ok()) return Refuse(err, queued.status());
            nextLook = Clock::now() + std::chrono::duration_cast<Clock::duration>(interval);
            if (request.once && ++look >= request.live.stablePolls) break;
        }
        {
            std::unique_lock lock(mailbox.mutex);
            mailbox.ready.wait_until(lock, nextLook, [&] { return mailbox.done != seenDone; });
            seenDone = mailbox.done;
        }
        if (!shower.Show()) return 2;
    }
    session.WaitIdle();
    if (!shower.Show()) return 2;
    ReportWaiting(session, err);
    return 0;
}

void AddWatchCommand(CLI::App& app, int* exitCode)
{
    auto request = std::make_shared<WatchRequest>();
    auto design = std::make_shared<std::string>("newtonian");
    auto focuser = std::make_shared<std::string>("lower");
    auto first = std::make_shared<std::string>("intra");
    auto defocus = std::make_shared<std::string>("auto");
    auto fieldComa = std::make_shared<std::optional<double>>();
    auto* cmd =
        app.add_subcommand("watch", "Watch a folder: pair, analyse and follow the frames as they land");
    AnalysisOptions& o = request->live.analysis;
    DesignOptics& d = request->live.design;
    cmd->add_option("FOLDER", request->folder, "Folder the capture program writes into")->required();
    cmd->add_option("--out",
                    request->outDir,
                    "Folder of trend.csv, trend.json, trend.png (default FOLDER/frontlys-session)");
    cmd->add_option(
        "--interval", request->intervalS, "Seconds between two looks at the folder (default 0.4)");
    cmd->add_flag("--once", request->once, "Take the files that are there, analyse them and stop");
    cmd->add_flag("--report", request->report, "Keep report.html and report.pdf of the session in --out");
    cmd->add_option("--design", *design, "newtonian, cassegrain, sct or refractor (default newtonian)")
        ->check(CLI::IsMember({"newtonian", "cassegrain", "sct", "refractor"}));
    cmd->add_option("--magnification", d.magnification, "Secondary magnification F / f1 (cassegrain, sct)");
    cmd->add_option(
        "--back-focus", d.backFocusMm, "Final focus behind the primary, mm (cassegrain, sct; default 0)");
    cmd->add_option(
        "--field-coma",
        *fieldComa,
        "Field coma over a paraboloid's of the same focal ratio (default 1; refractor 0: aplanatic)");
    cmd->add_option("--focuser-intra",
                    *focuser,
                    "Which FOCUSPOS/FOCPOS reading is intra-focal: lower (default) or higher")
        ->check(CLI::IsMember({"lower", "higher"}));
    cmd->add_option(
           "--first",
           *first,
           "When neither focuser keywords, names nor the images tell: the first file of a pair is intra "
           "(default) or extra")
        ->check(CLI::IsMember({"intra", "extra"}));
    cmd->add_option("--diameter", o.diameterMm, "Aperture diameter, mm (overrides the header)");
    cmd->add_option("--focal", o.focalMm, "Focal length, mm (overrides the header)");
    cmd->add_option("--pixel", o.pixelUm, "Pixel size, micrometres (default: the intra header)");
    cmd->add_option("--binning", o.binning, "Acquisition binning (default: the intra header)");
    cmd->add_option("--defocus", *defocus, "Defocus distance, mm, or auto (from the two pupil radii)");
    cmd->add_option("--npoly", o.npoly, "Zernike terms fitted, 0 to 28 (default 22)");
    cmd->add_option("--lambda", o.lambdaNm, "Reference wavelength, nm (default 555)");
    cmd->add_option("--obstruction", o.obstruction, "Known central obstruction, fraction of the radius");
    cmd->add_option("--prefs", o.prefsFile, "A prefs.txt to start from");
    cmd->add_option_function<std::string>(
           "--correction",
           [request](const std::string& v) { request->live.analysis.analytic = v == "analytic"; },
           "analytic or numeric (default: preference, analytic)")
        ->check(CLI::IsMember({"analytic", "numeric"}));
    cmd->callback([request, design, focuser, first, defocus, fieldComa, exitCode] {
        WatchRequest& r = *request;
        r.live.design.design = DesignNamed(*design);
        r.live.design.fieldComaFactor =
            fieldComa->value_or(r.live.design.design == TelescopeDesign::Refractor ? 0 : 1);
        r.live.lowerPositionIsIntra = *focuser == "lower";
        r.live.firstIsIntra = *first == "intra";
        if (*defocus != "auto") {
            const auto v = ParseNumber(*defocus);
            if (!v || !(*v > 0)) {
                *exitCode = Refuse(
                    std::cerr,
                    Status::Fail(StatusCode::OutOfRange, "Paramètre invalide", "--defocus: mm or auto"));
                return;
            }
            r.live.analysis.defocusMm = v;
        }
        *exitCode = RunWatch(r, std::cout, std::cerr);
    });
}

}  // namespace frontlys::cli
