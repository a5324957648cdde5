// The information window's construction: its four pages, the coefficient list and their wiring.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "analysis/analysis_commands.h"
#include "analysis/results.h"
#include "core/numbers.h"
#include "display/palettes.h"
#include "prep/threshold.h"
#include "ui/form_image.h"
#include "ui/form_infos.h"
#include "ui/language.h"
#include "ui/reader_labels.h"
#include "ui/window_host.h"

namespace frontlys::ui {
namespace {

template <class W>
W* Named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QComboBox* Combo(const char* name, const QStringList& items, QWidget* parent)
{
    auto* box = Named(new QComboBox(parent), name);
    box->addItems(items);
    return box;
}

QLineEdit* Edit(const char* name, QWidget* parent, int width = 60)
{
    auto* edit = Named(new QLineEdit(parent), name);
    edit->setReadOnly(true);
    edit->setFixedWidth(width);
    return edit;
}

QSpinBox* Spin(const char* name, int min, int max, int value, QWidget* parent)
{
    auto* spin = Named(new QSpinBox(parent), name);
    spin->setRange(min, max);
    spin->setValue(value);
    return spin;
}

}  // namespace

TFormInfos::TFormInfos(WindowHost& host, QWidget* parent) : QWidget(parent, Qt::Window), m_host(host)
{
    setObjectName(QStringLiteral("FormInfos"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(tr("Informations"));
    m_pages = Named(new QTabWidget(this), "PageControl1");
    m_valuesPage = BuildValues();
    m_resultsPage = BuildResults();
    m_optionsPage = BuildOptions();
    m_pages->addTab(m_valuesPage, tr("Valeurs"));
    m_pages->addTab(m_resultsPage, tr("Résultats"));
    m_pages->addTab(BuildDisplay(), tr("Affichage"));
    m_pages->addTab(m_optionsPage, tr("Options"));
    m_pages->setTabVisible(1, false);
    m_pages->setTabVisible(3, false);
    connect(m_pages, &QTabWidget::currentChanged, this, [this](int index) {
        if (m_pages->widget(index) == m_valuesPage) RefreshInfos();
    });
    BuildCoefficientList();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_pages);
    auto* lists = new QHBoxLayout;
    lists->addWidget(m_checkList, 3);
    lists->addWidget(m_valueList, 2);
    layout->addLayout(lists, 1);
    resize(430, 254);
}

QWidget* TFormInfos::BuildValues()
{
    auto* page = Named(new QWidget, "TabSheet1");
    m_labelMax = Named(new QLabel(page), "LabelMax");
    m_labelMin = Named(new QLabel(page), "LabelMin");
    m_imageEchelle = Named(new QLabel(page), "ImageEchelle");
    m_imageEchelle->setFixedSize(15, 150);
    m_trackBar = Named(new QSlider(Qt::Vertical, page), "TrackBar1");
    m_trackBar->setRange(0, kSliderMax);
    m_trackBar->setInvertedAppearance(true);  // 0, the highest threshold, at the top
    m_trackBar->setValue(100);
    m_trackBar->setFixedHeight(150);
    m_buttonSeuil = Named(new QPushButton(tr("Seuil Auto"), page), "ButtonSeuil");
    m_editSeuil = Edit("EditSeuil", page, 80);
    m_edit1 = Edit("Edit1", page, 80);
    m_comboSize = Combo("ComboBox1", {tr("Dim. (pix)"), tr("Effectif (pix)")}, page);
    m_editRayon = Edit("EditRayon", page, 80);
    m_comboRadius = Combo("ComboBox2", {tr("Rayon"), tr("Obstruction")}, page);
    m_comboCoord = Combo("ComboBoxCoord", {tr("(pixels)"), tr("(réduites)"), tr("(millimètres)")}, page);
    m_comboRectPol = Combo("ComboBoxRectPol", {tr("Coord. rect."), tr("Coord. pol.")}, page);
    m_editXCentre = Edit("EditXCentre", page);
    m_editYCentre = Edit("EditYCentre", page);
    m_editX = Edit("EditX", page);
    m_editY = Edit("EditY", page);
    m_editValeur = Edit("EditValeur", page, 90);
    m_label6 = Named(new QLabel(tr("X ="), page), "Label6");
    m_label7 = Named(new QLabel(tr("Y ="), page), "Label7");
    m_label2 = Named(new QLabel(tr("θ ="), page), "Label2");
    m_label2->hide();
    m_label8 = Named(new QLabel(tr("I = "), page), "Label8");
    m_comboUnite = Combo("ComboBoxUnite", {tr("Nanomètres"), QStringLiteral(" ")}, page);

    // For a screen reader: the selector boxes are the captions of the values beside them, and the
    // cursor's captions are read before their values.
    m_trackBar->setAccessibleName(tr("Seuil"));
    m_editSeuil->setAccessibleName(tr("Valeur du seuil"));
    NameForReader(m_comboSize, tr("Taille affichée"));
    NameForReader(m_comboRadius, tr("Mesure de pupille affichée"));
    NameForReader(m_comboCoord, tr("Unité des coordonnées"));
    NameForReader(m_comboRectPol, tr("Système de coordonnées"));
    NameForReader(m_comboUnite, tr("Unité de la valeur"));
    auto nameAfter = [](QLineEdit* value, QComboBox* selector) {
        value->setAccessibleName(selector->currentText());
        connect(selector, &QComboBox::currentTextChanged, value, &QLineEdit::setAccessibleName);
    };
    nameAfter(m_edit1, m_comboSize);
    nameAfter(m_editRayon, m_comboRadius);
    m_editXCentre->setAccessibleName(tr("Centre X"));
    m_editYCentre->setAccessibleName(tr("Centre Y"));
    for (auto [label, value] :
         {std::pair{m_label6, m_editX}, {m_label7, m_editY}, {m_label8, m_editValeur}}) {
        label->setBuddy(value);
        label->stackUnder(value);
    }
    m_label2->stackUnder(m_editY);  // takes the buddy from "Y =" in polar coordinates

    auto* bar = new QVBoxLayout;
    bar->addWidget(m_labelMax);
    bar->addWidget(m_imageEchelle, 0, Qt::AlignHCenter);
    bar->addWidget(m_labelMin);
    bar->addStretch();
    auto* grid = new QGridLayout;
    grid->addWidget(m_buttonSeuil, 0, 0);
    grid->addWidget(m_editSeuil, 0, 1);
    grid->addWidget(m_edit1, 1, 0);
    grid->addWidget(m_comboSize, 1, 1);
    grid->addWidget(m_editRayon, 2, 0);
    grid->addWidget(m_comboRadius, 2, 1);
    grid->addWidget(m_comboCoord, 3, 0);
    grid->addWidget(m_comboRectPol, 3, 1);
    auto* centre = new QHBoxLayout;
    centre->addWidget(new QLabel(tr("Centre"), page));
    centre->addWidget(m_editXCentre);
    centre->addWidget(m_editYCentre);
    centre->addStretch();
    grid->addLayout(centre, 4, 0, 1, 2);
    auto* cursor = new QGridLayout;
    cursor->addWidget(new QLabel(tr("Curseur"), page), 0, 0);
    cursor->addWidget(m_label6, 0, 1);
    cursor->addWidget(m_editX, 0, 2);
    cursor->addWidget(m_label7, 0, 3);
    cursor->addWidget(m_label2, 0, 3);
    cursor->addWidget(m_editY, 0, 4);
    cursor->addWidget(m_label8, 1, 1);
    cursor->addWidget(m_editValeur, 1, 2, 1, 2);
    cursor->addWidget(m_comboUnite, 1, 4);
    grid->addLayout(cursor, 5, 0, 1, 2);
    auto* layout = new QHBoxLayout(page);
    layout->addLayout(bar);
    layout->addWidget(m_trackBar, 0, Qt::AlignTop);
    layout->addLayout(grid, 1);

    connect(m_trackBar, &QSlider::valueChanged, this, &TFormInfos::TrackBar1Change);
    connect(m_buttonSeuil, &QPushButton::clicked, this, &TFormInfos::ButtonSeuilClick);
    for (QComboBox* box : {m_comboSize, m_comboRadius, m_comboCoord})
        connect(box, &QComboBox::activated, this, &TFormInfos::RewriteSizeAndRadius);
    return page;
}

QWidget* TFormInfos::BuildResults()
{
    auto* page = Named(new QWidget, "TabSheet2");
    auto* errors = new QGroupBox(tr("Ecarts sur l'onde"), page);
    // Each caption made before its values, so that a screen reader reads "PTV" then the figures.
    auto* ptv = new QLabel(tr("PTV"), errors);
    m_ptvNm = Named(new QLabel(errors), "Label13");
    m_ptvWaves = Named(new QLabel(errors), "Label15");
    auto* rms = new QLabel(tr("RMS"), errors);
    m_rmsNm = Named(new QLabel(errors), "Label14");
    m_rmsWaves = Named(new QLabel(errors), "Label16");
    ptv->setBuddy(m_ptvNm);
    rms->setBuddy(m_rmsNm);
    auto* grid = new QGridLayout(errors);
    grid->addWidget(ptv, 0, 0);
    grid->addWidget(m_ptvNm, 0, 1);
    grid->addWidget(m_ptvWaves, 0, 2);
    grid->addWidget(rms, 1, 0);
    grid->addWidget(m_rmsNm, 1, 1);
    grid->addWidget(m_rmsWaves, 1, 2);
    auto* strehl = new QGroupBox(tr("Rapport de Strehl"), page);
    m_strehl = Named(new QLabel(strehl), "LabelStrehl");
    (new QVBoxLayout(strehl))->addWidget(m_strehl);
    m_button2 = Named(new QPushButton(tr("Afficher les aberrations"), page), "Button2");
    connect(m_button2, &QPushButton::clicked, this, &TFormInfos::Button2Click);
    m_notes = Named(new QLabel(page), "LabelNotes");
    m_notes->setWordWrap(true);
    m_notes->setTextFormat(Qt::PlainText);
    auto* layout = new QGridLayout(page);
    layout->addWidget(errors, 0, 0);
    layout->addWidget(strehl, 0, 1);
    layout->addWidget(m_notes, 1, 0, 1, 2);
    layout->addWidget(m_button2, 2, 0, 1, 2, Qt::AlignLeft);
    layout->setRowStretch(1, 1);
    return page;
}

QWidget* TFormInfos::BuildDisplay()
{
    auto* page = Named(new QWidget, "TabSheet3");
    m_comboZoom = Combo("ComboBoxZoom", {"50%", "100%", "150%", "200%", "300%", "400%", tr("Ajuster")}, page);
    QStringList palettes;
    for (int i = 0; i < kPaletteCount; ++i) palettes << Displayed(std::string(PaletteName(i)));
    m_comboPalette = Combo("ComboBoxPalette", palettes, page);
    m_checkMasque = Named(new QCheckBox(tr("Masque visible"), page), "CheckBoxMasque");
    m_checkEchelle = Named(new QCheckBox(tr("Echelle visible"), page), "CheckBoxEchelle");
    m_radioGroup = Named(new QGroupBox(tr("Famille"), page), "RadioGroup1");
    auto* radios = new QVBoxLayout(m_radioGroup);
    for (int i = 0; i < 3; ++i) {
        m_family[i] = new QRadioButton(m_radioGroup);
        radios->addWidget(m_family[i]);
        connect(m_family[i], &QRadioButton::clicked, this, [this, i] { RadioGroup1Click(i); });
    }
    auto* grid = new QGridLayout(page);
    grid->addWidget(Caption(tr("Zoom"), m_comboZoom), 0, 0);
    grid->addWidget(m_comboZoom, 0, 1);
    grid->addWidget(Caption(tr("Palette"), m_comboPalette), 1, 0);
    grid->addWidget(m_comboPalette, 1, 1);
    grid->addWidget(m_checkMasque, 2, 0, 1, 2);
    grid->addWidget(m_checkEchelle, 3, 0, 1, 2);
    grid->addWidget(m_radioGroup, 0, 2, 4, 1);
    grid->setRowStretch(4, 1);
    connect(m_comboZoom, &QComboBox::activated, this, &TFormInfos::ComboBoxZoomChange);
    connect(m_comboPalette, &QComboBox::activated, this, &TFormInfos::ComboBoxPaletteChange);
    connect(m_checkMasque, &QCheckBox::clicked, this, &TFormInfos::CheckBoxMasqueClick);
    connect(m_checkEchelle, &QCheckBox::clicked, this, &TFormInfos::CheckBoxEchelleClick);
    return page;
}

QWidget* TFormInfos::BuildOptions()
{
    auto* page = Named(new QWidget, "TabSheet4");
    m_groupFringes = Named(new QGroupBox(tr("Interférogramme / Ronchigramme"), page), "GroupBox3");
    m_spinAngle = Spin("SpinEditAngle", -360, 360, 0, m_groupFringes);
    auto* zero = Named(new QPushButton(tr("Zero"), m_groupFringes), "Button1");
    m_spinPas = Spin("SpinEditPas", 1, 45, 1, m_groupFringes);
    m_spinFranges = Spin("SpinEditFranges", 4, 24, 8, m_groupFringes);
    auto* fringes = new QGridLayout(m_groupFringes);
    zero->setAccessibleName(tr("Angle à zéro"));
    fringes->addWidget(Caption(tr("Angle (deg) :"), m_spinAngle), 0, 0);
    fringes->addWidget(m_spinAngle, 0, 1);
    fringes->addWidget(zero, 0, 2);
    fringes->addWidget(Caption(tr("Pas (deg) :"), m_spinPas), 1, 0);
    fringes->addWidget(m_spinPas, 1, 1);
    fringes->addWidget(Caption(tr("Franges :"), m_spinFranges), 2, 0);
    fringes->addWidget(m_spinFranges, 2, 1);

    m_groupPsf = Named(new QGroupBox(tr("PSF"), page), "GroupBox4");
    m_comboPsf = Combo("ComboBoxPSF", {tr("Réelle"), tr("Théorique")}, m_groupPsf);
    m_comboEchelle = Combo("ComboBoxEchelle", {tr("Linéaire"), tr("Log")}, m_groupPsf);
    m_comboTaille = Combo("ComboBoxTaille", {"x1", "x2", "x4", "x8"}, m_groupPsf);
    m_comboTaille->setCurrentIndex(PsfSizeIndexFor(m_host.session().Prefs.FactMultDiff));
    m_comboDefocus = Combo("ComboBoxDefocus", {QString()}, m_groupPsf);
    m_edit2 = Named(new QLineEdit(QStringLiteral("0"), m_groupPsf), "Edit2");
    auto* psf = new QGridLayout(m_groupPsf);
    psf->addWidget(m_comboPsf, 0, 0);
    psf->addWidget(m_comboEchelle, 0, 1);
    NameForReader(m_comboPsf, tr("PSF calculée"));
    NameForReader(m_comboEchelle, tr("Échelle de la PSF"));
    NameForReader(m_comboDefocus, tr("Défocus prédéfini"));
    psf->addWidget(Caption(tr("Taille :"), m_comboTaille), 1, 0);
    psf->addWidget(m_comboTaille, 1, 1);
    psf->addWidget(Caption(tr("Défocus (nm RMS) :"), m_edit2), 2, 0);
    psf->addWidget(m_edit2, 2, 1);
    psf->addWidget(m_comboDefocus, 3, 1);
    m_groupFringes->setEnabled(false);
    m_groupPsf->setEnabled(false);

    auto* layout = new QHBoxLayout(page);
    layout->addWidget(m_groupFringes);
    layout->addWidget(m_groupPsf);
    connect(m_spinAngle, &QSpinBox::valueChanged, this, &TFormInfos::FringeOptionChange);
    connect(m_spinFranges, &QSpinBox::valueChanged, this, &TFormInfos::FringeOptionChange);
    connect(m_spinPas, &QSpinBox::valueChanged, m_spinAngle, &QSpinBox::setSingleStep);
    connect(zero, &QPushButton::clicked, this, [this] {
        if (m_spinAngle->value() != 0)
            m_spinAngle->setValue(0);
        else
            FringeOptionChange();
    });
    connect(m_comboPsf, &QComboBox::activated, this, &TFormInfos::ComboBoxPSFChange);
    connect(m_comboEchelle, &QComboBox::activated, this, &TFormInfos::ComboBoxEchelleChange);
    return page;
}

void TFormInfos::BuildCoefficientList()
{
    m_checkList = Named(new QListWidget(this), "CheckListBoxZern");
    m_valueList = Named(new QListWidget(this), "ListBoxZern");
    m_checkList->setAccessibleName(tr("Aberrations du front affiché"));
    m_valueList->setAccessibleName(tr("Coefficients (nm RMS)"));
    m_checkList->hide();
    m_valueList->hide();
    m_checkList->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* popup = Named(new QMenu(this), "PopupMenuZern");
    auto add = [this, popup](
                   const char* name, const QString& caption, auto slot, const QKeySequence& keys = {}) {
        QAction* action = Named(popup->addAction(caption), name);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_checkList->addAction(action);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    add(
        "Toutslectionner1",
        tr("Tout sélectionner"),
        [this] { ListAction(&SelectAllCoefficients); },
        QKeySequence(tr("Ctrl+A")));
    add(
        "Toutdslectionner1",
        tr("Tout désélectionner"),
        [this] { ListAction(&DeselectAllCoefficients); },
        QKeySequence(tr("Ctrl+D")));
    add(
        "Inverserlaslection1",
        tr("Inverser la sélection"),
        [this] { ListAction(&InvertCoefficients); },
        QKeySequence(tr("Ctrl+I")));
    add("Slectionnercetteaberration1", tr("Sélectionner cette aberration"), [this] {
        SelectThisAberration();
    });
    popup->addSeparator();
    add("Activerdsactivertiltetfocus1", tr("Activer/désactiver tilt et focus"), [this] {
        ToggleTiltAndFocusClick();
    });
    popup->addSeparator();
    add(
        "Aidesurcetteaberration1", tr("Aide sur cette aberration"), [] {}, QKeySequence(Qt::Key_F1));
    popup->addSeparator();
    add(
        "Enregistrerlescoefficients2",
        tr("Enregistrer les coefficients"),
        [this] { emit saveCoefficientsRequested(); },
        QKeySequence(tr("Ctrl+S")));
    connect(m_checkList, &QWidget::customContextMenuRequested, this, [this, popup](QPoint at) {
        popup->popup(m_checkList->mapToGlobal(at));
    });
    connect(m_checkList, &QListWidget::itemChanged, this, &TFormInfos::CoefficientChanged);
    connect(m_checkList, &QListWidget::itemDoubleClicked, this, [this] { SelectThisAberration(); });
}

}  // namespace frontlys::ui
