#include "ui/form_session.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "display/line_plot.h"
#include "display/session_plots.h"
#include "engine/zernike.h"
#include "ui/language.h"
#include "ui/platform.h"

namespace frontlys::ui {
namespace {

// Two looks a file unchanged make it stable: a pair is taken at most two intervals after its second
// file is complete.
constexpr int kLookMs = 200;

QString Nm(double v) { return std::isfinite(v) ? QString::number(v, 'f', 1) : QStringLiteral("-"); }

QTableWidget* NewTable(const QString& name, const QStringList& headers, QWidget* parent)
{
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setAccessibleName(name);
    return table;
}

void SetRow(QTableWidget* table, int row, const QStringList& cells)
{
    for (int c = 0; c < cells.size(); ++c) table->setItem(row, c, new QTableWidgetItem(cells[c]));
}

}  // namespace

TFormSession::TFormSession(Platform& platform, const QString& prefsFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), m_platform(platform), m_prefsFolder(prefsFolder)
{
    setObjectName(QStringLiteral("FormSession"));
    setWindowTitle(tr("Session en direct"));
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        {
            std::lock_guard lock(m_lookMutex);
            m_lookNow = true;
        }
        m_lookWake.notify_all();
    });
    BuildLayout();
    resize(900, 760);
}

// The pair under way is finished before the window goes: its result is then dropped.
TFormSession::~TFormSession() { Stop(); }

void TFormSession::BuildLayout()
{
    auto* top = new QGridLayout;
    auto* folderLabel = new QLabel(tr("Dossier surveillé :"), this);
    m_folder = new QLineEdit(this);
    m_folder->setObjectName(QStringLiteral("EditDossier"));
    m_folder->setReadOnly(true);
    m_folder->setAccessibleName(tr("Dossier surveillé"));
    folderLabel->setBuddy(m_folder);
    m_choose = new QPushButton(tr("Choisir le dossier..."), this);
    m_choose->setObjectName(QStringLiteral("ButtonDossier"));
    connect(m_choose, &QPushButton::clicked, this, &TFormSession::ChooseFolder);
    m_stop = new QPushButton(tr("Arrêter"), this);
    m_stop->setObjectName(QStringLiteral("ButtonArreter"));
    m_stop->setEnabled(false);
    connect(m_stop, &QPushButton::clicked, this, &TFormSession::Stop);
    auto* designLabel = new QLabel(tr("Formule optique :"), this);
    m_design = new QComboBox(this);
    m_design->setObjectName(QStringLiteral("ComboFormule"));
    m_design->addItems({tr("Newton"), tr("Cassegrain"), tr("Schmidt-Cassegrain"), tr("Lunette")});
    m_design->setAccessibleName(tr("Formule optique"));
    designLabel->setBuddy(m_design);
    top->addWidget(folderLabel, 0, 0);
    top->addWidget(m_folder, 0, 1);
    top->addWidget(m_choose, 0, 2);
    top->addWidget(m_stop, 0, 3);
    top->addWidget(designLabel, 1, 0);
    top->addWidget(m_design, 1, 1);
    m_state = new QLabel(tr("Choisissez le dossier où le logiciel d'acquisition écrit les images."), this);
    m_state->setObjectName(QStringLiteral("LabelEtat"));
    m_state->setWordWrap(true);

    m_pairTable = NewTable(tr("Paires"),
                           {tr("N°"),
                            tr("Intra"),
                            tr("Extra"),
                            tr("Appariement"),
                            tr("RMS"),
                            tr("Astig."),
                            tr("Coma"),
                            tr("Sphér."),
                            tr("État")},
                           this);
    m_pairTable->setObjectName(QStringLiteral("TablePaires"));
    m_meanTable =
        NewTable(tr("Moyenne"), {tr("Terme"), tr("Moyenne (nm RMS)"), tr("Incertitude (nm)")}, this);
    m_meanTable->setObjectName(QStringLiteral("TableMoyenne"));
    m_meanLine = new QLabel(this);
    m_meanLine->setObjectName(QStringLiteral("LabelMoyenne"));
    m_meanLine->setWordWrap(true);
    m_trend = new QLabel(this);
    m_trend->setObjectName(QStringLiteral("LabelTendance"));
    m_trend->setAccessibleName(tr("Évolution au fil de la séance"));
    m_trend->setMinimumSize(480, 240);
    m_collimationTrend = new QLabel(this);
    m_collimationTrend->setObjectName(QStringLiteral("LabelTendanceCollimation"));
    m_collimationTrend->setAccessibleName(tr("Collimation : angle entre l'étoile et l'axe"));
    m_collimationTrend->setMinimumSize(480, 180);
    m_collimation = new QLabel(this);
    m_collimation->setObjectName(QStringLiteral("LabelCollimation"));
    m_collimation->setWordWrap(true);
    m_collimation->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* pairsBox = new QGroupBox(tr("Paires"), this);
    (new QVBoxLayout(pairsBox))->addWidget(m_pairTable);
    auto* meanBox = new QGroupBox(tr("Moyenne glissante"), this);
    auto* meanLayout = new QVBoxLayout(meanBox);
    meanLayout->addWidget(m_meanLine);
    meanLayout->addWidget(m_meanTable);
    auto* trendBox = new QGroupBox(tr("Tendance"), this);
    auto* trendLayout = new QVBoxLayout(trendBox);
    trendLayout->addWidget(m_trend);
    trendLayout->addWidget(m_collimationTrend);
    auto* collimationBox = new QGroupBox(tr("Collimation (dernière paire)"), this);
    (new QVBoxLayout(collimationBox))->addWidget(m_collimation);
    auto* middle = new QHBoxLayout;
    middle->addWidget(meanBox, 2);
    middle->addWidget(trendBox, 3);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_state);
    layout->addWidget(pairsBox, 3);
    layout->addLayout(middle, 4);
    layout->addWidget(collimationBox);
    FillTrend();
}

TelescopeDesign TFormSession::design() const
{
    switch (m_design->currentIndex()) {
        case 1:
            return TelescopeDesign::Cassegrain;
        case 2:
            return TelescopeDesign::Sct;
        case 3:
            return TelescopeDesign::Refractor;
        default:
            return TelescopeDesign::Newtonian;
    }
}

bool TFormSession::ChooseFolder()
{
    const auto folder =
        m_platform.browseFolder({tr("Dossier des images de la séance"), {}, m_folder->text(), {}});
    return folder && Start(*folder);
}

bool TFormSession::Start(const QString& folder)
{
    if (!QDir(folder).exists()) {
        m_platform.warn(tr("Le dossier est introuvable : %1").arg(folder));
        return false;
    }
    Stop();
    LiveOptions options;
    const QString prefs = QDir(m_prefsFolder).filePath(QStringLiteral("prefs.txt"));
    if (QFileInfo::exists(prefs)) options.analysis.prefsFile = prefs.toStdString();
    options.design.design = design();
    options.design.fieldComaFactor = options.design.design == TelescopeDesign::Refractor ? 0 : 1;
    options.askFirstIsIntra = [this](const std::filesystem::path& a, const std::filesystem::path& b) {
        return AskSides(a, b);
    };
    m_pairs.clear();
    m_average = {};
    m_latencies.clear();
    QPointer<TFormSession> self(this);
    m_session = std::make_unique<LiveSession>(folder.toStdString(), options, [self](const LivePair&) {
        // The worker's news is read on the window thread.
        QMetaObject::invokeMethod(
            self,
            [self] {
                if (self) self->PairsDone();
            },
            Qt::QueuedConnection);
    });
    m_folder->setText(QDir::toNativeSeparators(folder));
    m_watcher->addPath(folder);
    m_stopLooking = false;
    m_looker = std::thread([this] { Looking(); });
    m_stop->setEnabled(true);
    m_design->setEnabled(false);
    m_state->setText(
        tr("Surveillance en cours : chaque paire d'images est analysée dès qu'elle est complète."));
    FillPairs();
    FillMean();
    FillTrend();
    m_collimation->clear();
    return true;
}

void TFormSession::Stop()
{
    if (!m_session) return;
    {
        std::lock_guard lock(m_lookMutex);
        m_stopLooking = true;  // a question waiting for its answer gets none: its pair is set aside
    }
    m_lookWake.notify_all();
    m_looker.join();
    if (!m_watcher->directories().isEmpty()) m_watcher->removePaths(m_watcher->directories());
    m_session.reset();  // finishes the pair under way; what it brings is no longer shown
    m_stop->setEnabled(false);
    m_design->setEnabled(true);
    m_state->setText(tr("Surveillance arrêtée."));
}

void TFormSession::Looking()
{
    QPointer<TFormSession> self(this);
    for (;;) {
        const auto looked = m_session->Poll();
        QStringList waiting, unpaired;
        for (const auto& p : m_session->Waiting()) waiting << QString::fromStdString(p.filename().string());
        for (const auto& p : m_session->Unpaired()) unpaired << QString::fromStdString(p.filename().string());
        const Status status = looked.ok() ? Status() : looked.status();
        QMetaObject::invokeMethod(
            this,
            [self, status, waiting, unpaired] {
                if (self) self->Looked(status, waiting, unpaired);
            },
            Qt::QueuedConnection);
        std::unique_lock lock(m_lookMutex);
        m_lookWake.wait_for(
            lock, std::chrono::milliseconds(kLookMs), [this] { return m_stopLooking || m_lookNow; });
        if (m_stopLooking || !looked.ok()) return;
        m_lookNow = false;
    }
}

void TFormSession::Looked(const Status& status, const QStringList& waiting, const QStringList& unpaired)
{
    if (!m_session) return;
    if (!status.ok()) {
        Stop();
        m_platform.warn(Displayed(status.message) + " : " + QString::fromStdString(status.reason));
        return;
    }
    QString state = tr("Surveillance en cours.");
    if (!waiting.isEmpty())
        state += ' ' + tr("En cours d'écriture : %1.").arg(waiting.join(QStringLiteral(", ")));
    if (!unpaired.isEmpty())
        state += ' ' + tr("Sans partenaire : %1.").arg(unpaired.join(QStringLiteral(", ")));
    m_state->setText(state);
}

// On the looking thread: the question is put on the window thread and its answer waited for.
std::optional<bool> TFormSession::AskSides(const std::filesystem::path& first,
                                           const std::filesystem::path& second)
{
    const QString a = QString::fromStdString(first.filename().string());
    const QString b = QString::fromStdString(second.filename().string());
    QPointer<TFormSession> self(this);
    {
        std::lock_guard lock(m_lookMutex);
        m_answer.reset();
    }
    QMetaObject::invokeMethod(
        this,
        [self, a, b] {
            if (!self) return;
            {
                std::lock_guard lock(self->m_lookMutex);
                if (self->m_stopLooking) return;
            }
            const int chosen = self->m_platform.ask(
                tr("Ni le focuser, ni les noms des fichiers, ni les images ne disent laquelle de ces deux "
                   "images est intra-focale. Laquelle l'est ?"),
                {a, b, tr("Aucune : écarter la paire")});
            {
                std::lock_guard lock(self->m_lookMutex);
                self->m_answer = chosen == 0   ? std::optional(true)
                                 : chosen == 1 ? std::optional(false)
                                               : std::optional<bool>();
            }
            self->m_lookWake.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_lookMutex);
    m_lookWake.wait(lock, [this] { return m_stopLooking || m_answer.has_value(); });
    return m_answer.value_or(std::nullopt);
}

void TFormSession::PairsDone()
{
    if (!m_session) return;
    const double now = m_session->Now();
    std::vector<LivePair> pairs = m_session->Pairs();
    for (std::size_t i = m_pairs.size(); i < pairs.size(); ++i)
        m_latencies.push_back(now - pairs[i].readyAt - pairs[i].analysisSeconds);
    m_pairs = std::move(pairs);
    m_average = m_session->Average();
    FillPairs();
    FillMean();
    FillTrend();
    const auto last =
        std::find_if(m_pairs.rbegin(), m_pairs.rend(), [](const LivePair& p) { return p.analysed; });
    m_collimation->setText(
        last == m_pairs.rend()
            ? QString()
            : tr("Paire %1 : %2").arg(last->number).arg(CollimationText(last->collimation)));
}

void TFormSession::FillPairs()
{
    m_pairTable->setRowCount(static_cast<int>(m_pairs.size()));
    for (std::size_t i = 0; i < m_pairs.size(); ++i) {
        const LivePair& p = m_pairs[i];
        QString rule;
        switch (p.pairing) {
            case PairingRule::FocuserPosition:
                rule = tr("position du focuser");
                break;
            case PairingRule::FileName:
                rule = tr("noms des fichiers");
                break;
            case PairingRule::Data:
                rule = tr("images");
                break;
            case PairingRule::Asked:
                rule = tr("votre réponse");
                break;
            case PairingRule::Order:
                rule = tr("ordre d'arrivée");
                break;
        }
        const QString state = !p.setAside ? tr("analysée") : tr("écartée : %1").arg(NoteText(p.reason));
        const auto& z = p.zernikeRmsNm;
        const bool shown = p.analysed;
        SetRow(m_pairTable,
               static_cast<int>(i),
               {QString::number(p.number),
                QString::fromStdString(p.intra.filename().string()),
                QString::fromStdString(p.extra.filename().string()),
                rule,
                shown ? Nm(p.rmsNm) : QString(),
                shown ? Nm(AstigmatismNm(z)) : QString(),
                shown ? Nm(ComaNm(z)) : QString(),
                shown ? Nm(SphericalNm(z)) : QString(),
                state});
    }
    m_pairTable->resizeColumnsToContents();
    if (!m_pairs.empty()) m_pairTable->scrollToBottom();
}

// Terms 4 on (piston and tilts are not measured), with the uncertainty of the mean: from the
// pairs' own noise, or from their scatter when that dominates.
void TFormSession::FillMean()
{
    const PairAverage& a = m_average;
    m_meanLine->setText(a.kept == 0 ? tr("Aucune paire gardée.")
                                    : tr("Moyenne sur %n paire(s) gardée(s).", nullptr, a.kept));
    const int terms = static_cast<int>(a.meanRmsNm.size());
    m_meanTable->setRowCount(std::max(0, terms - 3));
    for (int k = 4; k <= terms; ++k) {
        double sigma =
            k <= static_cast<int>(a.meanSigmaRmsNm.size()) ? a.meanSigmaRmsNm[k - 1] : std::nan("");
        if (!std::isfinite(sigma) && k <= static_cast<int>(a.semRmsNm.size())) sigma = a.semRmsNm[k - 1];
        const std::string_view name = ZernikeName(k);
        SetRow(m_meanTable,
               k - 4,
               {QStringLiteral("%1 %2").arg(k).arg(Displayed(std::string(name))),
                Nm(a.meanRmsNm[k - 1]),
                std::isfinite(sigma) ? QStringLiteral("± ") + Nm(sigma) : QStringLiteral("-")});
    }
    m_meanTable->resizeColumnsToContents();
}

void TFormSession::FillTrend()
{
    const bool byTime = TrendByTime(m_pairs);
    std::vector<SessionPoint> points;
    for (const LivePair& p : m_pairs) {
        if (!p.analysed || p.setAside) continue;
        const std::vector<double>& z = p.zernikeRmsNm;
        points.push_back(
            {TrendX(p, byTime), p.rmsNm, AstigmatismNm(z), ComaNm(z), SphericalNm(z), CollimationArcmin(p)});
    }
    SessionPlotTexts t;
    t.trendTitle = tr("Évolution au fil de la séance").toStdString();
    t.collimationTitle = tr("Collimation : angle entre l'étoile et l'axe").toStdString();
    t.xLabel = (byTime ? tr("temps (min)") : tr("paire")).toStdString();
    t.astigmatism = tr("astigmatisme").toStdString();
    t.spherical = tr("sphérique").toStdString();
    t.angleAxis = tr("angle (minutes d'arc)").toStdString();
    t.angle = tr("angle").toStdString();
    m_trend->setPixmap(QPixmap::fromImage(SessionTrendPicture(points, t, 560, 280)));
    m_collimationTrend->setPixmap(QPixmap::fromImage(CollimationTrendPicture(points, t, 560, 200)));
}

QString TFormSession::CollimationText(const Collimation& c) const
{
    if (!c.valid) return tr("pas de coma mesurable.");
    QString text = std::isfinite(c.fieldAngleRad) ? tr("l'étoile est à %1' de l'axe optique (%2 µm au foyer)")
                                                        .arg(c.fieldAngleRad / kArcmin, 0, 'f', 2)
                                                        .arg(c.offsetUm, 0, 'f', 0)
                                                  : tr("coma W131 de %1 nm").arg(c.w131Nm, 0, 'f', 0);
    text +=
        tr(", vers l'angle de position %1° (côté brillant de la plage)").arg(c.positionAngleDeg, 0, 'f', 0);
    const TelescopeDesign d = design();
    if ((d == TelescopeDesign::Sct || d == TelescopeDesign::Cassegrain) && std::isfinite(c.secondaryTiltRad))
        text += tr(" ; ou un basculement du secondaire de %1'").arg(c.secondaryTiltRad / kArcmin, 0, 'f', 2);
    return text + tr(" ; coma %1 nm RMS.").arg(c.comaRmsNm, 0, 'f', 1);
}

}  // namespace frontlys::ui
