#include "analysis/live_session.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "core/numbers.h"
#include "files/fits_crop_load.h"

namespace frontlys {
namespace {

constexpr std::size_t kCard = 80, kBlock = 2880, kMaxHeaderBlocks = 64;
// A frame is on the side of the earlier frame its pattern is this many times closer to; nearer
// than that, the seeing and the noise could have made the difference.
constexpr double kSideRatio = 3;

bool IsFitsName(const std::filesystem::path& p)
{
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return (ext == ".fits" || ext == ".fit" || ext == ".fts") && !p.filename().string().starts_with(".");
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

bool SaysWord(const std::filesystem::path& p, const char* word)
{
    return Lower(p.filename().string()).find(word) != std::string::npos;
}

double Magnitude(const std::vector<double>& rms, int k1, int k2)
{
    if (static_cast<int>(rms.size()) < k2) return std::nan("");
    return std::hypot(rms[k1 - 1], rms[k2 - 1]);
}

}  // namespace

double AstigmatismNm(const std::vector<double>& rms) { return Magnitude(rms, 5, 6); }
double ComaNm(const std::vector<double>& rms) { return Magnitude(rms, 7, 8); }
double SphericalNm(const std::vector<double>& rms) { return rms.size() >= 11 ? rms[10] : std::nan(""); }

bool TrendByTime(const std::vector<LivePair>& pairs)
{
    if (pairs.size() < 2) return false;
    return pairs.back().readyAt - pairs.front().readyAt >= 30;
}

double TrendX(const LivePair& pair, bool byTime) { return byTime ? pair.readyAt / 60 : pair.number; }

double CollimationArcmin(const LivePair& p)
{
    if (!p.analysed || p.setAside || !p.collimation.valid || !std::isfinite(p.collimation.fieldAngleRad))
        return std::nan("");
    return p.collimation.fieldAngleRad / kArcmin;
}

std::optional<double> FocuserPosition(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string card(kCard, ' ');
    for (std::size_t n = 0; n < kMaxHeaderBlocks * kBlock / kCard && in.read(card.data(), kCard); ++n) {
        std::string key = card.substr(0, 8);
        key.erase(key.find_last_not_of(' ') + 1);
        if (key == "END") break;
        if ((key != "FOCUSPOS" && key != "FOCPOS") || card.substr(8, 2) != "= ") continue;
        std::string value = card.substr(10);
        value = value.substr(0, value.find('/'));
        const auto first = value.find_first_not_of(' ');
        if (first == std::string::npos) continue;
        value = value.substr(first, value.find_last_not_of(' ') - first + 1);
        if (auto v = ParseNumber(value); v && std::isfinite(*v)) return v;
    }
    return std::nullopt;
}

LiveSession::LiveSession(std::filesystem::path folder, LiveOptions options, PairDone done)
    : m_folder(std::move(folder)),
      m_options(std::move(options)),
      m_done(std::move(done)),
      m_start(std::chrono::steady_clock::now()),
      m_worker([this] { Work(); })
{
}

LiveSession::~LiveSession()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    m_worker.join();
}

double LiveSession::Now() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

Result<int> LiveSession::Poll()
{
    std::error_code ec;
    std::vector<std::pair<std::filesystem::file_time_type, Ready>> whole;
    std::filesystem::directory_iterator it(m_folder, ec), end;
    if (ec)
        return Status::Fail(
            StatusCode::NotFound, "Dossier illisible", m_folder.string() + ": " + ec.message());
    for (; it != end; it.increment(ec)) {
        if (ec)
            return Status::Fail(
                StatusCode::IoError, "Dossier illisible", m_folder.string() + ": " + ec.message());
        const std::filesystem::path path = it->path();
        if (!IsFitsName(path) || !it->is_regular_file(ec)) continue;
        const std::uintmax_t size = it->file_size(ec);
        const auto time = it->last_write_time(ec);
        if (ec) continue;  // gone between the listing and the look: next poll
        Seen& seen = m_seen[path];
        if (seen.taken) continue;
        if (seen.size != size || seen.time != time || size == 0) {
            seen = {size, time, 0, false, false};
            continue;
        }
        if (++seen.stable < m_options.stablePolls - 1 || seen.broken) continue;
        auto frame = ReadFitsFrame(path);
        if (!frame.ok()) {
            seen.broken = true;
            continue;
        }
        seen.taken = true;
        const FitsFrame& f = frame.value();
        FrameFacts facts = MeasureFrame(f.Pixels, f.Width, f.Height, f.FormatMax);
        Ready ready{path, {}};
        ready.pattern.cells = std::move(facts.cells);
        ready.pattern.cellVariance = std::move(facts.cellVariance);
        whole.emplace_back(time, std::move(ready));
    }
    std::sort(whole.begin(), whole.end(), [](const auto& a, const auto& b) {
        return std::tie(a.first, a.second.path) < std::tie(b.first, b.second.path);
    });
    for (auto& [time, ready] : whole) m_ready.push_back(std::move(ready));
    int queued = 0;
    while (auto pair = TakePair()) {
        pair->readyAt = Now();
        {
            std::lock_guard lock(m_mutex);
            pair->number = ++m_count;
            m_queue.push_back(std::move(*pair));
        }
        ++queued;
    }
    if (queued) m_wake.notify_one();
    return queued;
}

std::optional<bool> LiveSession::SideFromData(const Ready& frame) const
{
    if (!m_lastIntra || !m_lastExtra) return std::nullopt;
    const double toIntra = PatternDistance(m_lastIntra->pattern, frame.pattern, false);
    const double toExtra = PatternDistance(m_lastExtra->pattern, frame.pattern, false);
    if (toIntra < 0 || toExtra < 0) return std::nullopt;
    if (kSideRatio * toIntra < toExtra) return true;
    if (kSideRatio * toExtra < toIntra) return false;
    return std::nullopt;
}

std::optional<LivePair> LiveSession::TakePair()
{
    if (m_ready.size() < 2) return std::nullopt;
    // Without keywords or names, the first frame's partner is the next frame the data does not put
    // on its side: a run of frames on one side waits for the other side.
    std::size_t partner = 1;
    const Ready& first = m_ready[0];
    const bool told =
        FocuserPosition(first.path) || SaysWord(first.path, "intra") || SaysWord(first.path, "extra");
    if (const auto side = told ? std::nullopt : SideFromData(first)) {
        while (partner < m_ready.size() && SideFromData(m_ready[partner]) == side) ++partner;
        if (partner == m_ready.size()) return std::nullopt;
    }
    Ready a = std::move(m_ready[0]), b = std::move(m_ready[partner]);
    m_ready.erase(m_ready.begin() + static_cast<std::ptrdiff_t>(partner));
    m_ready.erase(m_ready.begin());

    LivePair pair;
    const std::optional<bool> aIsIntra = FirstIsIntra(a, b, pair.pairing);
    if (!aIsIntra) {
        pair.intra = a.path;
        pair.extra = b.path;
        pair.setAside = true;
        pair.reason = {"undecided",
                       "ni le focuser, ni les noms, ni les images ne disent laquelle est intra-focale",
                       "neither the focuser, the names nor the images tell which one is intra-focal"};
        return pair;
    }
    if (!*aIsIntra) std::swap(a, b);
    pair.intra = a.path;
    pair.extra = b.path;
    if (pair.pairing == PairingRule::Order)
        pair.warnings.push_back(
            {"order_decides",
             "Rien ne dit laquelle des deux images est intra-focale : l'ordre d'arrivée en décide.",
             "Nothing tells which of the two images is intra-focal: their arrival order decides."});
    else if (!a.pattern.cells.empty() && !b.pattern.cells.empty()) {
        m_lastIntra = std::move(a);
        m_lastExtra = std::move(b);
    }
    return pair;
}

std::optional<bool> LiveSession::FirstIsIntra(const Ready& a, const Ready& b, PairingRule& rule) const
{
    const auto pa = FocuserPosition(a.path), pb = FocuserPosition(b.path);
    if (pa && pb && *pa != *pb) {
        rule = PairingRule::FocuserPosition;
        return (*pa < *pb) == m_options.lowerPositionIsIntra;
    }
    const auto says = [](const Ready& r, const char* word) { return SaysWord(r.path, word); };
    if (says(a, "intra") != says(b, "intra") && says(a, "extra") != says(b, "extra")) {
        rule = PairingRule::FileName;
        return says(a, "intra");
    }
    const auto sa = SideFromData(a), sb = SideFromData(b);
    if (sa || sb) {
        const bool aIntra = sa ? *sa : !*sb;
        if (!(sa && sb && *sa == *sb)) {  // both on one side: the data contradicts the pairing
            rule = PairingRule::Data;
            return aIntra;
        }
    }
    if (m_options.askFirstIsIntra) {
        rule = PairingRule::Asked;
        return m_options.askFirstIsIntra(a.path, b.path);
    }
    rule = PairingRule::Order;
    return m_options.firstIsIntra;
}

void LiveSession::Work()
{
    for (;;) {
        LivePair pair;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop) return;
            pair = std::move(m_queue.front());
            m_queue.pop_front();
            m_busy = true;
        }
        // A pair set aside before the analysis (no side known) is only recorded.
        Record(pair.reason.code.empty() ? Analyse(std::move(pair)) : std::move(pair));
    }
}

LivePair LiveSession::Analyse(LivePair pair) const
{
    AnalysisOptions options = m_options.analysis;
    options.intra = pair.intra;
    options.extra = pair.extra;
    options.derivedImages = false;
    options.progress = nullptr;
    const auto begin = std::chrono::steady_clock::now();
    auto result = RunAnalysis(options);
    pair.analysisSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    if (!result.ok()) {
        const Status& s = result.status();
        pair.setAside = true;
        pair.reason = {"refused", s.message + " : " + s.reason, s.message + ": " + s.reason};
        return pair;
    }
    const AnalysisReport& r = result.value();
    pair.analysed = true;
    pair.rmsNm = r.rmsNm;
    pair.strehl = r.strehl;
    pair.zernikeRmsNm = r.zernikeRmsNm;
    pair.zernikeSigmaNm = r.zernikeSigmaNm;
    if (r.session)
        pair.warnings.insert(pair.warnings.end(), r.session->Warnings.begin(), r.session->Warnings.end());
    DesignOptics design = m_options.design;
    design.diameterMm = r.diameterMm;
    design.focalMm = r.focalMm;
    design.obstruction = r.obstruction;
    if (pair.zernikeRmsNm.size() >= 8)
        pair.collimation = CollimationFromComa(pair.zernikeRmsNm[6], pair.zernikeRmsNm[7], design);
    return pair;  // the report and its images end here
}

void LiveSession::Record(LivePair pair)
{
    LivePair shown;
    {
        std::lock_guard lock(m_mutex);
        pair.shownAt = Now();
        m_pairs.push_back(std::move(pair));
        std::vector<PairCoefficients> coefficients;
        std::vector<std::size_t> analysed;
        for (std::size_t i = 0; i < m_pairs.size(); ++i)
            if (m_pairs[i].analysed) {
                coefficients.push_back({m_pairs[i].intra.filename().string(),
                                        m_pairs[i].zernikeRmsNm,
                                        m_pairs[i].zernikeSigmaNm});
                analysed.push_back(i);
            }
        m_average = AveragePairs(coefficients);
        // A new pair may move the median: every pair's flag is taken anew.
        for (std::size_t j = 0; j < analysed.size(); ++j) {
            LivePair& p = m_pairs[analysed[j]];
            p.setAside = m_average.rejected[j];
            p.reason = p.setAside ? Note{"outlier",
                                         "loin de la médiane des autres paires (termes 5 à 22)",
                                         "far from the median of the other pairs (terms 5 to 22)"}
                                  : Note{};
        }
        shown = m_pairs.back();
    }
    if (m_done) m_done(shown);
    {
        std::lock_guard lock(m_mutex);
        m_busy = !m_queue.empty();
    }
    m_idle.notify_all();
}

void LiveSession::WaitIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

std::vector<LivePair> LiveSession::Pairs() const
{
    std::lock_guard lock(m_mutex);
    return m_pairs;
}

PairAverage LiveSession::Average() const
{
    std::lock_guard lock(m_mutex);
    return m_average;
}

std::vector<std::filesystem::path> LiveSession::Unpaired() const
{
    std::vector<std::filesystem::path> paths;
    for (const Ready& r : m_ready) paths.push_back(r.path);
    return paths;
}

std::vector<std::filesystem::path> LiveSession::Waiting() const
{
    std::vector<std::filesystem::path> waiting;
    for (const auto& [path, seen] : m_seen)
        if (!seen.taken) waiting.push_back(path);
    return waiting;
}

}  // namespace frontlys
