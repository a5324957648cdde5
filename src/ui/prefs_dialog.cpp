#include "ui/prefs_dialog.h"

#include <utility>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/numbers.h"
#include "display/palettes.h"
#include "display/render.h"
#include "ui/form_aide.h"
#include "ui/language.h"
#include "ui/reader_labels.h"

namespace frontlys::ui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

template <class W>
W* Named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QSpinBox* SpinBox(const char* name, int low, int high, int step = 1)
{
    auto* box = Named(new QSpinBox, name);
    box->setRange(low, high);
    box->setSingleStep(step);
    return box;
}

QGroupBox* Group(const QString& title, QLayout* layout)
{
    auto* group = new QGroupBox(title);
    group->setLayout(layout);
    return group;
}

QWidget* Page(std::initializer_list<QWidget*> groups)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    for (QWidget* g : groups) layout->addWidget(g);
    layout->addStretch();
    return page;
}

// A row of a form: laid out, not wrapped in a widget, so that the label and the field stay siblings
// (the screen reader finds a label among the field's siblings only).
QHBoxLayout* Row(std::initializer_list<QWidget*> widgets)
{
    auto* layout = new QHBoxLayout;
    for (QWidget* w : widgets) layout->addWidget(w);
    return layout;
}

// A form row whose field sits in a layout with other widgets: its label is made by hand.
void AddRow(QFormLayout* form, const QString& label, QWidget* field, std::initializer_list<QWidget*> after)
{
    auto* row = Row({field});
    for (QWidget* w : after) row->addWidget(w);
    form->addRow(Caption(label, field), row);
}

// A typed wavelength counts only when it is a positive number: 0 nm would divide the wave errors.
std::optional<double> Wavelength(const QLineEdit* edit)
{
    const std::optional<double> nm = ParseNumber(edit->text().toStdString());
    if (!nm || !std::isfinite(*nm) || *nm <= 0) return std::nullopt;
    return nm;
}

QString NotANumber(const QLineEdit* edit)
{
    return TPrefs::tr("'%1' n'est pas une valeur numérique correcte.").arg(edit->text());
}

constexpr int kPreviewWidth = 24;
constexpr int kPreviewHeight = 100;
const char* const kReducedSides[] = {"8", "16", "32", "64"};

}  // namespace

TPrefs::TPrefs(Platform& platform, TestSession& session, HelpFn openHelp, QWidget* parent)
    : QDialog(parent), m_platform(platform), m_session(session), m_openHelp(std::move(openHelp))
{
    setObjectName(QStringLiteral("Prefs"));
    setWindowTitle(tr("Préférences"));

    PageControl1 = Named(new QTabWidget, "PageControl1");
    PageControl1->addTab(BuildDisplayPage(), tr("Affichage"));
    PageControl1->addTab(BuildAlgorithmsPage(), tr("Algorithmes"));
    PageControl1->addTab(BuildConstantsPage(), tr("Constantes"));
    PageControl1->addTab(BuildFittingPage(), tr("Ajustement"));
    PageControl1->addTab(BuildFilesPage(), tr("Fichiers"));
    connect(PageControl1, &QTabWidget::currentChanged, this, &TPrefs::PageControl1Change);

    auto* buttons = new QDialogButtonBox;
    auto* ok = Named(buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole), "BitBtn1");
    ok->setDefault(true);
    auto* cancel = Named(buttons->addButton(tr("Annuler"), QDialogButtonBox::RejectRole), "BitBtn2");
    auto* help = Named(buttons->addButton(tr("Aide"), QDialogButtonBox::HelpRole), "BitBtn3");
    auto* defaults = Named(buttons->addButton(tr("Défaut"), QDialogButtonBox::ResetRole), "BitBtn4");
    connect(ok, &QPushButton::clicked, this, &TPrefs::BitBtn1Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, &TPrefs::BitBtn3Click);
    connect(defaults, &QPushButton::clicked, this, &TPrefs::BitBtn4Click);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);
    layout->addWidget(buttons);
}

QWidget* TPrefs::BuildDisplayPage()
{
    const char* listLabels[] = {QT_TR_NOOP("1. Images et signal :"),
                                QT_TR_NOOP("2. Front d'onde :"),
                                QT_TR_NOOP("3. PSF :"),
                                QT_TR_NOOP("4. Interférogramme :")};
    auto* palettes = new QGridLayout;
    auto* previews = new QGridLayout;
    for (int i = 0; i < 4; ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        m_palettes[i] = Named(new QComboBox, ("ComboBox" + n).constData());
        m_previews[i] = Named(new QLabel, ("Image" + n).constData());
        m_previews[i]->setFixedSize(kPreviewWidth, kPreviewHeight);
        palettes->addWidget(Caption(tr(listLabels[i]), m_palettes[i]), i, 0);
        palettes->addWidget(m_palettes[i], i, 1);
        previews->addWidget(new QLabel(QString::number(i + 1) + ' '), 0, i, Qt::AlignHCenter);
        previews->addWidget(m_previews[i], 1, i, Qt::AlignHCenter);
        connect(m_palettes[i], &QComboBox::currentIndexChanged, this, [this, i] { DrawPreview(i); });
    }
    previews->addWidget(new QLabel(tr("max")), 1, 4, Qt::AlignTop);
    previews->addWidget(new QLabel(tr("min")), 1, 4, Qt::AlignBottom);
    palettes->addLayout(previews, 0, 2, 4, 1);
    CheckBoxMem =
        Named(new QCheckBox(tr("Optimiser la mémoire lors de l'affichage des images ")), "CheckBoxMem");
    ComboBoxLangue = Named(new QComboBox, "ComboBoxLangue");
    ComboBoxLangue->addItems({tr("Celle du système"), QStringLiteral("Français"), QStringLiteral("English")});
    auto* language = new QFormLayout;
    language->addRow(tr("Langue des fenêtres (au prochain démarrage) :"), ComboBoxLangue);
    return Page({Group(tr(" Palettes "), palettes), CheckBoxMem, Group(tr("Langue"), language)});
}

QWidget* TPrefs::BuildAlgorithmsPage()
{
    SpinEdit1 = SpinBox("SpinEdit1", 1, 20);
    ComboBoxCorrection = Named(new QComboBox, "ComboBoxCorrection");
    ComboBoxCorrection->addItems({tr("Analytique"), tr("Numérique")});
    EditArretRMS = Named(new QLineEdit, "EditArretRMS");
    SpinEditPasses = SpinBox("SpinEditPasses", 1, 100);
    LabelCorrection = Named(new QLabel, "LabelCorrection");
    LabelCorrection->setWordWrap(true);
    connect(ComboBoxCorrection, &QComboBox::currentIndexChanged, this, &TPrefs::UpdateCorrectionLabels);
    auto* korvel = new QFormLayout;
    korvel->addRow(tr("Correction des images :"), ComboBoxCorrection);
    korvel->addRow(tr("Nombre maximal d'itérations :"), SpinEdit1);
    AddRow(korvel, tr("Condition d'arrêt : RMS Front <"), EditArretRMS, {new QLabel(tr("nm"))});
    korvel->addRow(tr("Nombre maximal de passes :"), SpinEditPasses);
    korvel->addRow(LabelCorrection);
    ComboBox5 = Named(new QComboBox, "ComboBox5");
    for (const char* side : kReducedSides) ComboBox5->addItem(QLatin1String(side));
    SpinEdit3 = SpinBox("SpinEdit3", 0, 100, 5);
    auto* fine = new QCheckBox(tr("Recherche fine du seuil. Nombre de valeurs :"));
    auto* fineCount = new QSpinBox;
    // Its label is the check box before it: the bridge would name it after the group.
    fineCount->setAccessibleName(tr("Recherche fine du seuil : nombre de valeurs"));
    fine->setEnabled(false);
    fineCount->setEnabled(false);
    CheckBox3 = Named(new QCheckBox(tr("Extraire les plages et calculer le signal à l'ouverture des images")),
                      "CheckBox3");
    auto* extraction = new QFormLayout;
    extraction->addRow(tr("Dimension des images réduites pour la recherche du seuil (pix.) :"), ComboBox5);
    extraction->addRow(tr("Position du seuil (% de la hauteur) :"), SpinEdit3);
    extraction->addRow(fine, fineCount);
    extraction->addRow(CheckBox3);
    return Page({Group(tr(" Korvel "), korvel), Group(tr(" Extraction des plages "), extraction)});
}

QWidget* TPrefs::BuildConstantsPage()
{
    EDitLambdaRef = Named(new QLineEdit, "EDitLambdaRef");
    EditLambdaInterfero = Named(new QLineEdit, "EditLambdaInterfero");
    connect(EDitLambdaRef, &QLineEdit::textChanged, this, &TPrefs::EDitLambdaRefChange);
    connect(EditLambdaInterfero, &QLineEdit::textChanged, this, &TPrefs::EditLambdaInterferoChange);
    auto* lambdas = new QFormLayout;
    AddRow(lambdas, tr("Longueur d'onde de référence :"), EDitLambdaRef, {new QLabel(tr("nm"))});
    AddRow(lambdas, tr("Longueur d'onde interférométrique :"), EditLambdaInterfero, {new QLabel(tr("nm"))});
    auto* zernike = new QFormLayout;
    for (const char* label :
         {QT_TR_NOOP("Coefficients de normalisation : "), QT_TR_NOOP("Valeurs d'alerte :")}) {
        auto* edit = new QPushButton(tr("Editer"));
        edit->setEnabled(false);
        edit->setAccessibleName(tr(label).trimmed());
        zernike->addRow(tr(label), edit);
    }
    return Page({Group(tr("Longueurs d'onde"), lambdas), Group(tr("Coefficients de Zernike"), zernike)});
}

QWidget* TPrefs::BuildFittingPage()
{
    SpinEditNPolyZern = SpinBox("SpinEditNPolyZern", 0, kZernikeTerms);
    CheckBoxAjustAuto =
        Named(new QCheckBox(tr("Ajuster le front après reconstruction")), "CheckBoxAjustAuto");
    auto* fit = new QFormLayout;
    fit->addRow(tr("Nombre de polynômes ajustés :"), SpinEditNPolyZern);
    fit->addRow(CheckBoxAjustAuto);
    return Page({Group(tr("Polynômes de Zernike"), fit)});
}

QWidget* TPrefs::BuildFilesPage()
{
    auto* folders = new QFormLayout;
    const std::tuple<QComboBox**, const char*, const char*, const char*, void (TPrefs::*)()> rows[] = {
        {&ComboboxDirImages, "ComboboxDirImages", QT_TR_NOOP("Images :"), "Button4", &TPrefs::Button4Click},
        {&ComboBoxDoc, "ComboBoxDoc", QT_TR_NOOP("Documentation :"), "Button5", &TPrefs::Button5Click},
        {&ComboBoxPrefs, "ComboBoxPrefs", QT_TR_NOOP("Préferences :"), "Button6", &TPrefs::Button6Click},
    };
    for (const auto& [box, name, label, button, handler] : rows) {
        *box = Named(new QComboBox, name);
        (*box)->setEditable(true);
        (*box)->setMinimumWidth(320);
        auto* browse = Named(new QPushButton(QStringLiteral("...")), button);
        browse->setAccessibleName(tr("Parcourir : %1").arg(tr(label)));
        connect(browse, &QPushButton::clicked, this, handler);
        AddRow(folders, tr(label), *box, {browse});
        (*box)->lineEdit()->setAccessibleName(tr(label));  // the box's editor, where the reader goes
    }
    return Page({Group(tr("Répertoires"), folders)});
}

bool TPrefs::Execute()
{
    FormShow();
    return m_platform.runModal(*this) == QDialog::Accepted;
}

void TPrefs::FormShow()
{
    const Tpreferences& p = m_session.Prefs;
    m_filling = true;
    const std::uint8_t palettes[] = {p.PltSignal, p.PltFront, p.PltPSF, p.PltInterfero};
    for (int i = 0; i < 4; ++i) {
        m_palettes[i]->clear();
        for (int k = 0; k < kPaletteCount; ++k)
            m_palettes[i]->addItem(Displayed(std::string(PaletteName(k))));
        m_palettes[i]->setCurrentIndex(palettes[i] < kPaletteCount ? palettes[i] : 0);
    }
    ComboBox5->setCurrentIndex(ComboBox5->findText(QString::number(p.ExtractDim)));
    CheckBoxMem->setChecked(p.MasqueActif != 0);
    CheckBox3->setChecked(p.ExtractAuto != 0);
    SpinEdit1->setValue(p.NIter);
    SpinEdit3->setValue(p.ExtractSeuil);
    ComboBoxCorrection->setCurrentIndex(p.CorrectionAnalytique != 0 ? 0 : 1);
    EditArretRMS->setText(Q(FormatGeneral(p.ArretRMSFront)));
    SpinEditPasses->setValue(p.NPassesMax);
    EDitLambdaRef->setText(Q(FormatGeneral(p.LambdaRef)));
    EditLambdaInterfero->setText(Q(FormatGeneral(p.LambdaInterfero)));
    SpinEditNPolyZern->setValue(p.NPolyZern);
    CheckBoxAjustAuto->setChecked(p.AjustAuto != 0);
    ComboboxDirImages->setEditText(Q(p.Images));
    ComboBoxDoc->setEditText(Q(p.Aide));
    ComboBoxPrefs->setEditText(Q(p.Preferences));
    ComboBoxLangue->setCurrentIndex(p.Langue <= 2 ? p.Langue : 0);
    m_filling = false;
    for (int i = 0; i < 4; ++i) DrawPreview(i);
    UpdateCorrectionLabels();
}

void TPrefs::DrawPreview(int list)
{
    CurrentDisplay current;
    current.Settings.PaletteIndex = static_cast<std::uint8_t>(std::max(0, m_palettes[list]->currentIndex()));
    current.LambdaInterfero = m_session.Prefs.LambdaInterfero;
    QImage bar(kPreviewWidth, kPreviewHeight, QImage::Format_RGB888);
    if (RenderColourBar(bar, 1, 0, current).ok()) m_previews[list]->setPixmap(QPixmap::fromImage(bar));
}

void TPrefs::PageControl1Change()
{
    // The previews follow the lists as shown: a choice not yet confirmed is not thrown away.
    if (PageControl1->currentIndex() != 0) return;
    for (int i = 0; i < 4; ++i) DrawPreview(i);
}

void TPrefs::UpdateCorrectionLabels()
{
    const bool analytic = ComboBoxCorrection->currentIndex() == 0;
    LabelCorrection->setText(
        analytic ? tr("Correction analytique : les passes s'arrêtent quand le front varie de moins que "
                      "« RMS Front », au plus « Nombre maximal de passes ». Le nombre d'itérations ne "
                      "sert qu'à la correction numérique.")
                 : tr("Correction numérique : « Nombre maximal d'itérations » passes de correction des "
                      "images. La condition d'arrêt et le nombre de passes ne servent qu'à la "
                      "correction analytique."));
}

void TPrefs::EDitLambdaRefChange()
{
    if (m_filling) return;
    if (const auto nm = Wavelength(EDitLambdaRef)) m_session.Prefs.LambdaRef = *nm;
}

void TPrefs::EditLambdaInterferoChange()
{
    if (m_filling) return;
    if (const auto nm = Wavelength(EditLambdaInterfero)) {
        m_session.Prefs.LambdaInterfero = *nm;
        for (int i = 0; i < 4; ++i) DrawPreview(i);  // the Monochrome palette takes this colour
    }
}

void TPrefs::Button4Click()
{
    const auto folder =
        m_platform.browseFolder({tr("Choisir un dossier images"), {}, ComboboxDirImages->currentText(), {}});
    if (!folder) return;
    m_session.Prefs.Images = folder->toStdString();
    ComboboxDirImages->setEditText(*folder);
}

void TPrefs::Button5Click()
{
    const auto file = m_platform.openFile({tr("Choix du fichier d'accueil de l'aide"),
                                           tr("Fichiers html (*.htm *.html)"),
                                           ComboBoxDoc->currentText(),
                                           {}});
    if (!file) return;
    m_session.Prefs.Aide = file->toStdString();
    ComboBoxDoc->setEditText(*file);
}

void TPrefs::Button6Click()
{
    const auto folder =
        m_platform.browseFolder({tr("Choisir un dossier préferences"), {}, ComboBoxPrefs->currentText(), {}});
    if (!folder) return;
    m_session.Prefs.Preferences = folder->toStdString();
    ComboBoxPrefs->setEditText(*folder);
}

void TPrefs::BitBtn1Click()
{
    Tpreferences p = m_session.Prefs;
    const std::optional<double> lambdaRef = Wavelength(EDitLambdaRef);
    const std::optional<double> lambdaInterfero = Wavelength(EditLambdaInterfero);
    const std::optional<double> stopNm = ParseNumber(EditArretRMS->text().toStdString());
    for (auto [value, edit] : {std::pair{lambdaRef, EDitLambdaRef}, {lambdaInterfero, EditLambdaInterfero}}) {
        if (value) continue;
        m_platform.warn(NotANumber(edit));
        return;
    }
    if (!stopNm || !std::isfinite(*stopNm) || *stopNm <= 0) {
        m_platform.warn(NotANumber(EditArretRMS));
        return;
    }
    std::uint8_t* palettes[] = {&p.PltSignal, &p.PltFront, &p.PltPSF, &p.PltInterfero};
    for (int i = 0; i < 4; ++i)
        *palettes[i] = static_cast<std::uint8_t>(std::max(0, m_palettes[i]->currentIndex()));
    p.MasqueActif = CheckBoxMem->isChecked() ? 1 : 0;
    // A side read from the file that the list does not offer leaves no item selected: keep it.
    if (ComboBox5->currentIndex() >= 0)
        p.ExtractDim = static_cast<std::uint8_t>(ComboBox5->currentText().toInt());
    p.ExtractSeuil = static_cast<std::uint8_t>(SpinEdit3->value());
    p.ExtractAuto = CheckBox3->isChecked() ? 1 : 0;
    p.NIter = static_cast<std::uint8_t>(SpinEdit1->value());
    p.CorrectionAnalytique = ComboBoxCorrection->currentIndex() == 0 ? 1 : 0;
    p.ArretRMSFront = *stopNm;
    p.NPassesMax = static_cast<std::uint8_t>(SpinEditPasses->value());
    p.LambdaRef = *lambdaRef;
    p.LambdaInterfero = *lambdaInterfero;
    p.NPolyZern = static_cast<std::uint8_t>(SpinEditNPolyZern->value());
    p.AjustAuto = CheckBoxAjustAuto->isChecked() ? 1 : 0;
    p.Images = ComboboxDirImages->currentText().toStdString();
    p.Aide = ComboBoxDoc->currentText().toStdString();
    p.Preferences = ComboBoxPrefs->currentText().toStdString();
    p.Langue = static_cast<std::uint8_t>(std::max(0, ComboBoxLangue->currentIndex()));
    // Written first: a refused write leaves the file and the settings in force as they were.
    const Status written = WritePrefs(p);
    if (!written.ok()) {
        m_platform.warn(Q(written.message));
        return;
    }
    ApplyPreferences(m_session, p);
    accept();
}

void TPrefs::BitBtn4Click()
{
    // The folder of prefs.txt stays: emptied, OK would write the file where the next start never
    // reads it.
    const std::string folder = m_session.Prefs.Preferences;
    m_session.Prefs = DefaultPreferences();
    m_session.Prefs.Preferences = folder;
    FormShow();
}

void TPrefs::BitBtn3Click()
{
    if (m_openHelp)
        m_openHelp(HelpPageBeside(HelpHomePage(m_session.Prefs, QCoreApplication::applicationDirPath()),
                                  QStringLiteral("preferences.htm")));
}

}  // namespace frontlys::ui
