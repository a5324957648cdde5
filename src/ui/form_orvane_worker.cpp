// The long commands of the main window: run on a worker thread on a copy of the session, their
// outcome applied on the window thread, so that the window keeps answering meanwhile.
#include <atomic>

#include <QEventLoop>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QThread>
#include <QToolBar>

#include "core/thread_pool.h"
#include "ui/form_image.h"
#include "ui/form_infos.h"
#include "ui/form_orvane.h"
#include "ui/language.h"
#include "ui/session_copy.h"

namespace frontlys::ui {

// A command still running is waited for; the windows read the session: they go before it does.
TFormOrvane::~TFormOrvane()
{
    if (m_job) {
        m_job->thread->wait();
        delete m_job->thread;
    }
    qDeleteAll(findChildren<TFormImage*>(QString(), Qt::FindDirectChildrenOnly));
    qDeleteAll(findChildren<TFormInfos*>(QString(), Qt::FindDirectChildrenOnly));
}

void TFormOrvane::BuildProgressStrip(QToolBar* bar)
{
    m_step = new QLabel(bar);
    m_step->setObjectName(QStringLiteral("LabelEtape"));
    m_progress = new QProgressBar(bar);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setRange(0, 0);  // the steps have no known length: a running bar
    m_progress->setMaximumWidth(120);
    m_progress->setAccessibleName(tr("Progression"));
    m_progressItems = {bar->addWidget(m_step), bar->addWidget(m_progress)};
    m_cancel = bar->addAction(tr("Annuler"));
    m_cancel->setObjectName(QStringLiteral("Annuler1"));
    connect(m_cancel, &QAction::triggered, this, &TFormOrvane::CancelLong);
    m_progressItems.push_back(m_cancel);
    for (QAction* item : m_progressItems) item->setVisible(false);
}

// While a command runs, every item that changes the test is disabled: the file, image, entry and
// computation menus (their tool-bar buttons follow), the image windows' menus and the information
// window. Showing windows, the zoom and the help stay.
void TFormOrvane::SetBusy(bool busy)
{
    if (busy) {
        m_disabled.clear();
        const QList<QAction*> menus = menuBar()->actions();
        for (int i = 0; i < std::min<int>(4, menus.size()); ++i) {
            for (QAction* item : menus[i]->menu()->actions()) {
                if (!item->isEnabled() || item->isSeparator() || item->objectName() == "Quitter1") continue;
                item->setEnabled(false);
                m_disabled.push_back(item);
            }
        }
    } else {
        for (QAction* item : m_disabled) item->setEnabled(true);
        m_disabled.clear();
    }
    for (const auto& f : m_forms)
        if (f) f->SetCommandsEnabled(!busy);
    if (m_infos) m_infos->setEnabled(!busy);
    setAcceptDrops(!busy);
    for (QAction* item : m_progressItems) item->setVisible(busy);
    m_cancel->setEnabled(busy);
}

bool TFormOrvane::RunLong(const QString& step,
                          bool opening,
                          LongJob job,
                          std::function<void(const CommandOutcome&)> done)
{
    if (m_job) return false;
    m_job = std::make_unique<RunningJob>();
    RunningJob& run = *m_job;
    run.work = std::make_unique<TestSession>(CopyWithoutFrames(m_session));
    run.lent = !opening;
    if (run.lent) MoveFrames(m_session, *run.work);
    run.done = std::move(done);
    m_step->setText(step);
    SetBusy(true);
    // The steps the analysis names replace the command's; posted to the window thread.
    QPointer<QLabel> label = m_step;
    ProgressFn progress = [label](std::string_view text) {
        const QString line = Displayed(std::string(text));
        QMetaObject::invokeMethod(
            label,
            [label, line] {
                if (label) label->setText(line);
            },
            Qt::QueuedConnection);
    };
    run.thread = QThread::create([&run, job = std::move(job), progress = std::move(progress)] {
        LowerThisThread();  // the window's thread first, whatever the cores
        run.outcome = job(*run.work, progress, run.stop.get_token());
    });
    connect(run.thread, &QThread::finished, this, &TFormOrvane::LongEnded);  // queued: another thread
    run.thread->start();
    return true;
}

void TFormOrvane::CancelLong()
{
    if (!m_job) return;
    m_job->cancelled = true;
    m_job->stop.request_stop();
    m_cancel->setEnabled(false);
    m_step->setText(tr("Annulation..."));
}

void TFormOrvane::LongEnded()
{
    if (!m_job) return;
    std::unique_ptr<RunningJob> run = std::move(m_job);
    run->thread->wait();
    delete run->thread;
    // A cancelled command, or one that did not run, leaves the state as it was.
    if (!run->cancelled && run->outcome.ran) {
        KeepUnreadFrames(m_session, *run->work);
        m_session = std::move(*run->work);
    } else if (run->lent) {
        MoveFrames(*run->work, m_session);
    }
    SetBusy(false);
    if (!run->cancelled && run->done) run->done(run->outcome);
    emit idle();
}

// A local loop left as soon as the command's end is handled, the events that end posts (a shown
// window's activation) left for the caller's loop as after a command run in place.
void TFormOrvane::WaitForIdle()
{
    if (!m_job) return;
    QEventLoop loop;
    connect(this, &TFormOrvane::idle, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace frontlys::ui
