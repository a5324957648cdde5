#pragma once
// A night at the telescope: the frames a capture program writes into a folder are paired as they
// land, each pair is analysed in the background, and the session keeps the running mean of the
// coefficients with its uncertainty (the rejection rule of several pairs), the pairs set aside with
// their reason, and the collimation of each pair.
//
// A file is taken only when its size and time have not changed over `stablePolls` polls and it reads
// as a whole FITS image: a file still being written is waited for, never read in part. Files are
// paired in the order they became ready, two by two. Which of a pair is intra-focal comes from, in
// turn: the focuser position keywords FOCUSPOS or FOCPOS when both files carry different values (the
// lower position is intra-focal unless told otherwise), "intra" and "extra" in the file names, the
// data, the user, or the order (the first is intra-focal unless told otherwise, with a warning);
// each pair says which rule decided.
//
// The data: a frame on the same side of focus as another shows the same light pattern as taken (the
// pupil seen the same way up, the same bright rim or centre), one across focus does not. Once a pair's
// sides are known, each new frame is compared with its two frames; a frame closer to the earlier
// intra-focal one by a clear factor is intra-focal, and a frame waits for a partner of the other side
// (two intra-focal frames in a row are not paired together). A perfect optic seen through a centred
// pupil looks the same on both sides: the data then cannot tell and the user is asked.
//
// Memory stays flat over a night: a pair keeps only its numbers, never its images.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "analysis/data_checks.h"
#include "analysis/pair_average.h"
#include "analysis/run_analysis.h"
#include "analysis/test_session.h"
#include "engine/collimation.h"

namespace frontlys {

enum class PairingRule { FocuserPosition, FileName, Data, Asked, Order };

struct LiveOptions {
    AnalysisOptions analysis;  // intra and extra unused
    DesignOptics design;       // diameter, focal length and obstruction come from each analysis
    int stablePolls = 2;
    bool lowerPositionIsIntra = true;
    bool firstIsIntra = true;
    // Asked on the polling thread when no rule before it decides: true when `first` is intra-focal,
    // false when `second` is, nothing to set the pair aside. Unset: the order decides, with a warning.
    std::function<std::optional<bool>(const std::filesystem::path& first,
                                      const std::filesystem::path& second)>
        askFirstIsIntra;
};

struct LivePair {
    int number = 0;  // 1, 2, ... in landing order
    std::filesystem::path intra, extra;
    PairingRule pairing = PairingRule::Order;
    double readyAt = 0;  // seconds since the session began: the second file found whole
    double shownAt = 0;  // the result recorded
    double analysisSeconds = 0;
    bool analysed = false;  // false: refused, `reason` says why
    bool setAside = false;  // refused, or far from the others (the rejection rule)
    Note reason;            // why it was set aside: code "refused", "outlier" or "undecided"
    double rmsNm = 0, strehl = 0;
    std::vector<double> zernikeRmsNm;    // terms 1..npoly
    std::vector<double> zernikeSigmaNm;  // their 1-sigma from the pair's noise; empty: none
    std::vector<Note> warnings;
    Collimation collimation;
};

// Astigmatism and coma as magnitudes of their pairs of terms, spherical signed (nm RMS).
double AstigmatismNm(const std::vector<double>& rms);
double ComaNm(const std::vector<double>& rms);
double SphericalNm(const std::vector<double>& rms);

// The trend's axis: minutes since the session began, or the pair's number when the pairs came all at
// once (a folder taken as it was), where a time axis of a few milliseconds would say nothing.
bool TrendByTime(const std::vector<LivePair>& pairs);
double TrendX(const LivePair& pair, bool byTime);
// The misalignment angle a pair's coma implies, arc minutes; NaN without one (no measurable coma, a
// design with no field coma, or a pair set aside).
double CollimationArcmin(const LivePair& pair);

// The FOCUSPOS or FOCPOS value of a FITS header, when either is there and numeric.
std::optional<double> FocuserPosition(const std::filesystem::path& file);

class LiveSession {
public:
    // Called on the worker thread after each pair, with the session's lock released.
    using PairDone = std::function<void(const LivePair& pair)>;

    LiveSession(std::filesystem::path folder, LiveOptions options, PairDone done = {});
    ~LiveSession();  // finishes the pair under way, drops the queue
    LiveSession(const LiveSession&) = delete;
    LiveSession& operator=(const LiveSession&) = delete;

    // One look at the folder: files that became whole are paired and queued for the worker. Returns
    // the number of pairs queued. Refused when the folder cannot be read.
    Result<int> Poll();
    // Blocks until the queue is empty and no pair is under way.
    void WaitIdle();
    // Seconds since the session began, the clock of readyAt and shownAt.
    double Now() const;

    // Copies taken under the lock: the pairs so far (kept or not) and the mean over those kept.
    std::vector<LivePair> Pairs() const;
    PairAverage Average() const;
    // Polling thread: files found whole and waiting for a partner, and files not yet whole (being
    // written, or not a whole FITS image).
    std::vector<std::filesystem::path> Unpaired() const;
    std::vector<std::filesystem::path> Waiting() const;

private:
    // A whole frame waiting for a partner, with its light pattern (empty when no star was found).
    struct Ready {
        std::filesystem::path path;
        FrameFacts pattern;  // its cells only
    };
    struct Seen {
        std::uintmax_t size = 0;
        std::filesystem::file_time_type time;
        int stable = 0;
        bool taken = false;   // whole and paired or waiting for a partner
        bool broken = false;  // stable but not a whole FITS: read again only when it changes
    };
    void Work();
    void Record(LivePair pair);
    LivePair Analyse(LivePair pair) const;
    std::optional<LivePair> TakePair();
    std::optional<bool> SideFromData(const Ready& frame) const;
    // Which of a and b is intra-focal: true for a. Nothing when the user declined to say.
    std::optional<bool> FirstIsIntra(const Ready& a, const Ready& b, PairingRule& rule) const;

    std::filesystem::path m_folder;
    LiveOptions m_options;
    PairDone m_done;
    std::chrono::steady_clock::time_point m_start;

    std::map<std::filesystem::path, Seen> m_seen;   // polling thread only
    std::vector<Ready> m_ready;                     // whole, waiting for a partner
    std::optional<Ready> m_lastIntra, m_lastExtra;  // the frames of the last pair whose sides are known

    mutable std::mutex m_mutex;
    std::condition_variable m_wake, m_idle;
    std::deque<LivePair> m_queue;
    std::vector<LivePair> m_pairs;
    PairAverage m_average;
    bool m_busy = false, m_stop = false;
    int m_count = 0;
    std::thread m_worker;
};

}  // namespace frontlys
