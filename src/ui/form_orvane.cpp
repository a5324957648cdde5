#include "ui/form_orvane.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>

#include "core/thread_pool.h"
#include "ui/apropos.h"
#include "ui/form_image.h"
#include "ui/form_infos.h"
#include "ui/form_mess.h"
#include "ui/form_param.h"
#include "ui/language.h"
#include "ui/named_action.h"
#include "ui/platform.h"
#include "ui/prefs_dialog.h"
#include "ui/reader_labels.h"

// The tool-bar glyphs live in the static ui library, whose resources the program must register.
static void InitIcons() { Q_INIT_RESOURCE(icons); }

namespace frontlys::ui {

TFormOrvane::TFormOrvane(Platform& platform, const QString& prefsFolder, QWidget* parent)
    : QMainWindow(parent), m_platform(platform), m_programDir(prefsFolder)
{
    setObjectName(QStringLiteral("FormOrvane"));
    setWindowTitle(tr("Frontlys 2.2"));
    setAcceptDrops(true);
    InitIcons();
    BuildMenus();
    BuildToolBar();
    FormCreate(prefsFolder);
    // The thin strip across the top of the screen.
    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->availableGeometry()
                             : QRect(0, 0, 1280, 1024);
    setFixedSize(std::min(1280, screen.width()),
                 menuBar()->sizeHint().height() + findChild<QToolBar*>()->sizeHint().height());
    move(screen.topLeft());
    m_formParam = new TFormParam(platform, m_session, this);
    m_formParam->setObjectName(QStringLiteral("FormParam"));
    m_prefs = new TPrefs(
        platform, m_session, [this](const QString& page) { ShowHelp(page); }, this);
    m_prefs->setObjectName(QStringLiteral("Prefs"));
    m_apropos = new Tapropos(platform, this);
    m_apropos->setObjectName(QStringLiteral("apropos"));
}

void TFormOrvane::FormCreate(const QString& prefsFolder)
{
    m_zoom->setCurrentIndex(1);
    Tpreferences prefs = DefaultPreferences();
    prefs.Preferences = prefsFolder.toStdString();
    (void)ReadPrefs(prefs);  // a missing or malformed file leaves the defaults
    SetThreadCount(prefs.Threads);
    YieldToInteractiveThreads();  // the computations never starve this window
    m_session = NewSession(prefs);
    m_session.Sim.SimMasque = MasqueAjustement;
}

QAction* TFormOrvane::AddItem(QMenu* menu,
                              const char* name,
                              const QString& caption,
                              void (TFormOrvane::*handler)(),
                              const QKeySequence& shortcut)
{
    return AddNamedAction(menu, this, name, caption, handler, shortcut);
}

void TFormOrvane::BuildMenus()
{
    BuildFileMenu();
    BuildImagesMenu();
    BuildEntryMenu();
    BuildComputeMenu();
    BuildViewMenu();
    BuildHelpMenu();
}

void TFormOrvane::BuildFileMenu()
{
    QMenu* file = menuBar()->addMenu(tr("&Fichier"));
    AddItem(file,
            "Nouveautest1",
            tr("Nouveau test"),
            &TFormOrvane::Nouveautest1Click,
            QKeySequence(tr("Ctrl+N")));
    file->addSeparator();
    AddItem(file, "Ouvrir1", tr("Ouvrir l'image &intrafocale"), &TFormOrvane::Ouvrir1Click);
    AddItem(file,
            "Ouvrirlimageextrafocale1",
            tr("Ouvrir l'image &extrafocale"),
            &TFormOrvane::Ouvrirlimageextrafocale1Click);
    AddItem(file,
            "Ouvririntrapuisextra1",
            tr("&Ouvrir les images"),
            &TFormOrvane::Ouvririntrapuisextra1Click,
            QKeySequence(tr("Ctrl+O")));
    AddItem(file, "Sessionendirect1", tr("Session en direct..."), &TFormOrvane::Sessionendirect1Click);
    file->addSeparator();
    AddItem(file,
            "Imprimerlimageencours1",
            tr("Imprimer l'image en cours"),
            &TFormOrvane::Imprimerlimageencours1Click,
            QKeySequence(tr("Ctrl+P")));
    file->addSeparator();
    AddItem(file,
            "Enregistrerlimage1",
            tr("Enregistrer l'image en cours"),
            &TFormOrvane::Enregistrerlimage1Click,
            QKeySequence(tr("Ctrl+S")));
    AddItem(file,
            "Enregistrerlescoefficients1",
            tr("Enregistrer les coefficients"),
            &TFormOrvane::Enregistrerlescoefficients1Click);
    AddItem(file,
            "Exporterlefrontversquorvex1",
            tr("Exporter le front vers Quorvex"),
            &TFormOrvane::Exporterlefrontversquorvex1Click);
    m_reportItem =
        AddItem(file, "Rapportdetest1", tr("Rapport de test..."), &TFormOrvane::Rapportdetest1Click);
    m_reportItem->setEnabled(false);
    file->addSeparator();
    AddItem(file, "Prfrences1", tr("Préférences"), &TFormOrvane::Prfrences1Click);
    file->addSeparator();
    AddItem(file, "Quitter1", tr("&Quitter"), &TFormOrvane::Quitter1Click, QKeySequence(tr("Ctrl+Q")));
}

void TFormOrvane::BuildImagesMenu()
{
    QMenu* images = menuBar()->addMenu(tr("&Images"));
    AddItem(images, "Seuilsauto1", tr("Extraire les plages"), &TFormOrvane::Seuilsauto1Click);
    AddItem(images, "Cocentrer1", tr("Cocentrer les plages"), &TFormOrvane::Cocentrer1Click);
    AddItem(images, "Redimensionner1", tr("Redimensionner"), &TFormOrvane::Redimensionner1Click);
    images->addSeparator();
    AddItem(images, "Recadrerlesplages1", tr("Recadrer"), &TFormOrvane::Recadrerlesplages1Click);
    images->addSeparator();
    AddItem(images, "Corrigerlesimages1", tr("Corriger les images"), &TFormOrvane::Corrigerlesimages1Click);
}

void TFormOrvane::BuildEntryMenu()
{
    QMenu* entry = menuBar()->addMenu(tr("&Saisie"));
    AddItem(entry, "Paramtresdutest1", tr("Paramètres du test"), &TFormOrvane::Paramtresdutest1Click);
    AddItem(entry,
            "Paramtresdessimulations1",
            tr("Paramètres des simulations"),
            &TFormOrvane::Paramtresdessimulations1Click);
}

void TFormOrvane::BuildComputeMenu()
{
    QMenu* compute = menuBar()->addMenu(tr("&Calcul"));
    AddItem(compute, "Signal1", tr("&Signal"), &TFormOrvane::Signal1Click);
    AddItem(compute, "Front1", tr("&Front d'onde"), &TFormOrvane::Front1Click);
    compute->addSeparator();
    AddItem(compute,
            "Ajusterlefrontdonde1",
            tr("&Ajuster le front d'onde"),
            &TFormOrvane::Ajusterlefrontdonde1Click);
    compute->addSeparator();
    AddItem(compute, "PSF1", tr("PSF"), &TFormOrvane::PSF1Click);
    AddItem(compute, "Interfrogramme1", tr("Interférogramme"), &TFormOrvane::Interfrogramme1Click);
    AddItem(compute, "Ronchigramme1", tr("Ronchigramme"), &TFormOrvane::Ronchigramme1Click);
    compute->addSeparator();
    AddItem(compute, "Simulerlesplages1", tr("Simuler les plages"));
    AddItem(compute, "SimulerlesignalLaplacien1", tr("Simuler le signal (Laplacien)"));
    AddItem(compute,
            "Simulerlefrontdonde1",
            tr("Simuler le front d'onde"),
            &TFormOrvane::Simulerlefrontdonde1Click);
    compute->addSeparator();
    AddItem(compute, "Intgrerlesignal1", tr("Intégrer le signal"));
    compute->addSeparator();
    AddItem(compute, "Script1", tr("Script par défaut"));
    AddItem(compute, "Scriptencours1", tr("Script en cours"));
}

void TFormOrvane::BuildViewMenu()
{
    QMenu* view = menuBar()->addMenu(tr("&Affichage"));
    struct Show {
        const char* name;
        const char* caption;
        ImageKind kind;
        bool separatorBefore;
    };
    static const Show shows[] = {
        {"Afficherintra1", QT_TR_NOOP("Afficher Intra"), ImageKind::Intra, false},
        {"Afficherextra1", QT_TR_NOOP("Afficher Extra"), ImageKind::Extra, false},
        {"Affichersignal1", QT_TR_NOOP("Afficher Signal"), ImageKind::Signal, false},
        {"Afficherfrontdonde1", QT_TR_NOOP("Afficher Front d'onde"), ImageKind::Wavefront, true},
        {"Afficherfrontrsiduel1", QT_TR_NOOP("Afficher Front résiduel"), ImageKind::Residual, false},
        {"Afficherinterfrogramme1", QT_TR_NOOP("Afficher Interférogramme"), ImageKind::Interferogram, true},
        {"Afficherronchigramme1", QT_TR_NOOP("Afficher Ronchigramme"), ImageKind::Ronchigram, false},
        {"AfficherPSF1", QT_TR_NOOP("Afficher PSF"), ImageKind::Psf, false},
    };
    for (const Show& s : shows) {
        if (s.separatorBefore) view->addSeparator();
        QAction* action = AddItem(view, s.name, tr(s.caption));
        action->setEnabled(true);
        const ImageKind kind = s.kind;
        connect(action, &QAction::triggered, this, [this, kind] { ShowForm(kind); });
    }
    view->addSeparator();
    QAction* infos = AddItem(view, "Afficherlesinformations1", tr("Afficher les informations"));
    infos->setEnabled(true);
    connect(infos, &QAction::triggered, this, [this] {
        if (m_infos) {
            m_infos->show();
            m_infos->raise();
        }
    });
    view->addSeparator();
    AddItem(view, "Afficherlescript1", tr("Afficher Script"));
    view->addSeparator();
    AddItem(
        view, "Superposerpargroupe1", tr("Superposer par famille"), &TFormOrvane::Superposerpargroupe1Click);
    AddItem(view, "Juxtaposer1", tr("Juxtaposer"), &TFormOrvane::Juxtaposer1Click);
}

void TFormOrvane::BuildHelpMenu()
{
    QMenu* help = menuBar()->addMenu(tr("A&ide"));
    AddItem(help,
            "Documentation1",
            tr("Documentation"),
            &TFormOrvane::Documentation1Click,
            QKeySequence(Qt::Key_F1));
    AddItem(help, "Apropos1", tr("A propos..."), &TFormOrvane::Apropos1Click);
}

void TFormOrvane::BuildToolBar()
{
    auto* bar = addToolBar(tr("Outils"));
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setIconSize(QSize(24, 24));
    // The button Qt shows when the strip is too narrow for every tool is named for screen readers too.
    if (auto* more = bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(tr("Autres outils"));
    auto button = [this, bar](const char* name, const char* item, const char* icon) {
        QAction* action = findChild<QAction*>(QString::fromLatin1(item));
        action->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(icon))));
        bar->addAction(action);
        bar->widgetForAction(action)->setObjectName(QString::fromLatin1(name));
    };
    button("ToolButton1", "Nouveautest1", "nouveau");
    button("ToolButton2", "Ouvririntrapuisextra1", "ouvrir");
    button("ToolButton3", "Enregistrerlimage1", "enregistrer");
    button("ToolButton4", "Imprimerlimageencours1", "imprimer");
    bar->addSeparator();
    button("ToolButton6", "Paramtresdutest1", "parametres");
    bar->addSeparator();
    button("ToolButton9", "Front1", "front");
    button("ToolButton12", "PSF1", "psf");
    button("ToolButton10", "Interfrogramme1", "interfero");
    button("ToolButton17", "Ronchigramme1", "ronchi");
    bar->addSeparator();
    m_zoom = new QComboBox(bar);
    m_zoom->setObjectName(QStringLiteral("ComboBox1"));
    m_zoom->setPlaceholderText(tr("Zoom"));
    m_zoom->addItems({"50%", "100%", "150%", "200%", "300%", "400%", tr("Ajuster")});
    bar->addWidget(m_zoom);
    NameForReader(m_zoom, tr("Zoom"));
    connect(m_zoom, &QComboBox::activated, this, &TFormOrvane::ComboBox1Change);
    auto own = [this, bar](
                   const char* name, const QString& hint, const char* icon, void (TFormOrvane::*handler)()) {
        QAction* action =
            bar->addAction(QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(icon))), hint);
        action->setObjectName(QString::fromLatin1(name));
        bar->widgetForAction(action)->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
    };
    own("ToolButton7", tr("Zoom avant"), "zoom_avant", &TFormOrvane::ToolButton7Click);
    own("ToolButton8", tr("Zoom arrière"), "zoom_arriere", &TFormOrvane::ToolButton8Click);
    button("ToolButton15", "Superposerpargroupe1", "superposer");
    button("ToolButton16", "Juxtaposer1", "juxtaposer");
    bar->addSeparator();
    button("ToolButton14", "Documentation1", "aide");
    bar->addSeparator();
    BuildProgressStrip(bar);
}

TImageRec* TFormOrvane::RecordOf(ImageKind kind, bool theoretical)
{
    TestSession& s = m_session;
    switch (kind) {
        case ImageKind::Intra:
            return s.ImageIntra.get();
        case ImageKind::Extra:
            return s.ImageExtra.get();
        case ImageKind::Signal:
            return s.ImageSignal.get();
        case ImageKind::Wavefront:
            return s.ImageFront.get();
        case ImageKind::Psf:
            return theoretical ? s.ImagePSFTheorique.get() : s.ImagePSF.get();
        case ImageKind::Interferogram:
            return s.ImageInterfero.get();
        case ImageKind::Residual:
            return s.ImageResidu.get();
        case ImageKind::Ronchigram:
            return s.ImageRonchi.get();
    }
    return nullptr;
}

TFormImage* TFormOrvane::form(ImageKind kind) const { return m_forms[static_cast<std::size_t>(kind)]; }
TFormImage* TFormOrvane::formCourante() const { return m_courante; }
void TFormOrvane::SetFormCourante(TFormImage* form) { m_courante = form; }
TFormInfos* TFormOrvane::infos() const { return m_infos; }
int TFormOrvane::zoomIndex() const { return m_zoom->currentIndex(); }

void TFormOrvane::ShowMessage(const Message& message)
{
    const QString text = Displayed(message.text);
    if (message.style == MessageStyle::Box) {
        m_platform.warn(text);
        return;
    }
    if (!m_mess) m_mess = new Tmess(this);
    m_mess->ShowMessage(m_platform, text);
}

void TFormOrvane::closeEvent(QCloseEvent* event)
{
    CancelLong();
    WaitForIdle();
    Nouveautest1Click();  // every window and image released before the program ends
    event->accept();
}

namespace {

bool IsFitsFile(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("fit") || suffix == QLatin1String("fits") ||
           suffix == QLatin1String("fts");
}

QStringList DroppedFits(const QMimeData* data)
{
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && IsFitsFile(url.toLocalFile())) files << url.toLocalFile();
    return files.size() <= 2 ? files : QStringList();
}

}  // namespace

void TFormOrvane::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedFits(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TFormOrvane::dropEvent(QDropEvent* event)
{
    const QStringList files = DroppedFits(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    OpenFiles(files);
}

}  // namespace frontlys::ui
