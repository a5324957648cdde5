#include "ui/form_aide.h"

#include <utility>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/language.h"

namespace frontlys::ui {
namespace {

QUrl AddressUrl(const QString& address)
{
    if (address.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) return QUrl(address);
    return QUrl::fromLocalFile(address);
}

QPushButton* Button(const QString& text, const char* name, int width, bool enabled)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QLatin1String(name));
    button->setFixedSize(width, 21);
    button->setEnabled(enabled);
    return button;
}

}  // namespace

QString HelpHomePage(const Tpreferences& prefs, const QString& programDir)
{
    if (!prefs.Aide.empty()) return QString::fromStdString(prefs.Aide);
    return QDir(HelpFolder(programDir)).filePath(QStringLiteral("index.htm"));
}

QString HelpPageBeside(const QString& homePage, const QString& page)
{
    return QFileInfo(AddressUrl(homePage).toLocalFile()).dir().filePath(page);
}

TFormAide::TFormAide(const TestSession& session, QString programDir, QWidget* parent)
    : QWidget(parent, Qt::Window), m_session(session), m_programDir(std::move(programDir))
{
    setObjectName(QStringLiteral("FormAide"));
    setWindowTitle(tr("Aide de Frontlys"));
    resize(822, 666);

    auto* home = Button(tr("Sommaire"), "ButtonSommaire", 75, true);
    m_back = Button(QStringLiteral("<<"), "ButtonPrecedent", 41, false);
    m_back->setAccessibleName(tr("Page précédente"));
    m_forward = Button(QStringLiteral(">>"), "ButtonSuivant", 41, false);
    m_forward->setAccessibleName(tr("Page suivante"));
    WebBrowserAide = new QTextBrowser;
    WebBrowserAide->setObjectName(QStringLiteral("WebBrowserAide"));
    WebBrowserAide->setOpenExternalLinks(true);
    connect(home, &QPushButton::clicked, this, &TFormAide::ShowHome);
    connect(m_back, &QPushButton::clicked, WebBrowserAide, &QTextBrowser::backward);
    connect(m_forward, &QPushButton::clicked, WebBrowserAide, &QTextBrowser::forward);
    connect(WebBrowserAide, &QTextBrowser::backwardAvailable, m_back, &QPushButton::setEnabled);
    connect(WebBrowserAide, &QTextBrowser::forwardAvailable, m_forward, &QPushButton::setEnabled);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(home);
    buttons->addWidget(m_back);
    buttons->addWidget(m_forward);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(WebBrowserAide, 1);
}

void TFormAide::ShowPage(const QString& file)
{
    m_adresse = file;
    const QUrl url = AddressUrl(file);
    if (QFileInfo::exists(url.toLocalFile()))
        WebBrowserAide->setSource(url);
    else  // the browser would stay blank: say which page is missing
        WebBrowserAide->setHtml(tr("<h3>Page d'aide introuvable</h3><p>%1</p>").arg(file.toHtmlEscaped()));
    // Opened from a modal dialog (the preferences' help), the window must be modal itself to be
    // usable; a window already open without modality is shown again with it.
    const Qt::WindowModality wanted = QApplication::activeModalWidget() ? Qt::ApplicationModal : Qt::NonModal;
    if (isVisible() && wanted == Qt::ApplicationModal && windowModality() != wanted) hide();
    if (!isVisible()) {
        setWindowModality(wanted);
        show();
    }
    raise();
    activateWindow();
}

void TFormAide::ShowHome() { ShowPage(HelpHomePage(m_session.Prefs, m_programDir)); }

}  // namespace frontlys::ui
