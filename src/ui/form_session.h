#pragma once
// The session window: a night at the telescope. The user picks the folder a capture program writes
// into; the frames are paired as they land and analysed on the session's worker, and the window shows
// the pairs with their status, the running mean with its uncertainty per term, the trend of the RMS,
// astigmatism, coma and spherical, and the collimation of the latest pair.
//
// The folder is looked at on a thread of the window's own, every 200 ms and at once when it changes
// (reading a new frame whole takes time the window must not wait for); a file is taken only once
// whole (the live session's rule). What the pairing cannot decide is asked through the platform,
// on the window thread, the looking thread waiting for the answer.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QWidget>

#include "analysis/live_session.h"

class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace frontlys::ui {

class Platform;

class TFormSession final : public QWidget {
    Q_OBJECT
public:
    // prefsFolder: where prefs.txt lies, read by each analysis.
    TFormSession(Platform& platform, const QString& prefsFolder, QWidget* parent = nullptr);
    ~TFormSession() override;

    // Asks for the folder and starts watching it; false when cancelled or refused (the window as it
    // was). Starting again drops the pairs shown.
    bool ChooseFolder();
    bool Start(const QString& folder);
    void Stop();
    bool running() const { return m_session != nullptr; }

    // What the window shows: the pairs in landing order and the mean over those kept.
    const std::vector<LivePair>& pairs() const { return m_pairs; }
    const PairAverage& average() const { return m_average; }
    // Seconds from the second file of each pair found whole to the pair shown, the analysis aside.
    const std::vector<double>& showLatencies() const { return m_latencies; }

private:
    void BuildLayout();
    void Looking();  // the looking thread
    void Looked(const Status& status, const QStringList& waiting, const QStringList& unpaired);
    void PairsDone();
    void FillPairs();
    void FillMean();
    void FillTrend();
    std::optional<bool> AskSides(const std::filesystem::path& first, const std::filesystem::path& second);
    QString CollimationText(const Collimation& c) const;
    TelescopeDesign design() const;

    Platform& m_platform;
    QString m_prefsFolder;
    std::unique_ptr<LiveSession> m_session;
    std::thread m_looker;
    std::mutex m_lookMutex;
    std::condition_variable m_lookWake;
    bool m_stopLooking = false, m_lookNow = false;  // under m_lookMutex
    std::optional<std::optional<bool>> m_answer;    // the user's answer, under m_lookMutex
    std::vector<LivePair> m_pairs;
    PairAverage m_average;
    std::vector<double> m_latencies;

    QFileSystemWatcher* m_watcher = nullptr;
    QLineEdit* m_folder = nullptr;
    QComboBox* m_design = nullptr;
    QPushButton* m_choose = nullptr;
    QPushButton* m_stop = nullptr;
    QLabel* m_state = nullptr;
    QTableWidget* m_pairTable = nullptr;
    QTableWidget* m_meanTable = nullptr;
    QLabel* m_meanLine = nullptr;
    QLabel* m_trend = nullptr;
    QLabel* m_collimation = nullptr;
    QLabel* m_collimationTrend = nullptr;  // the misalignment angle pair after pair
};

}  // namespace frontlys::ui
