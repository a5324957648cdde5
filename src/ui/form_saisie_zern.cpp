#include "ui/form_saisie_zern.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/numbers.h"
#include "display/render.h"

namespace frontlys::ui {
namespace {

const char* const kGroupCaptions[kSimTerms] = {
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", " Tilt (cos)"),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", " Tilt (sin)"),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", " Defocus "),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", " Astigmatisme (cos) "),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", " Astigmatisme (sin) "),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", "Coma (cos) "),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", "Coma (sin) "),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", "Trefoil (cos) "),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", "Trefoil (sin) "),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", " Sphéricité "),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", "Astigmat. sec. (cos)"),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", "Astigmat. sec. (sin)"),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", "Tetrafoil (cos)"),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", "Tetrafoil (sin)"),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", "Coma sec. (cos)"),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", "Coma sec. (sin)"),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", "Trefoil sec. (cos)"),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", "Trefoil sec. (sin) "),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", "Pentafoil (cos) "),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", " Pentafoil (sin) "),
    QT_TRANSLATE_NOOP("frontlys::ui::TFormSaisieZern", " Sphéricité sec."),
};
const int kSizes[] = {64, 128, 256, 512, 1024};
constexpr int kPictureSide = 80;
constexpr int kPictureCentre = 40;
constexpr int kPictureRadius = 28;
constexpr int kPictureColumns = 7;
constexpr int kTermsInUse = 22;
constexpr int kSimulationPalette = 2;

QSpinBox* SpinBox(const char* name, int low, int high)
{
    auto* box = new QSpinBox;
    box->setObjectName(QLatin1String(name));
    box->setRange(low, high);
    return box;
}

int ClampedRound(double value, const QSpinBox* box)
{
    return static_cast<int>(std::clamp<std::int64_t>(RoundToInt(value), box->minimum(), box->maximum()));
}

// The 21 pictures of terms 2 .. 22 over an 80-pixel square, annular for the given obstruction.
std::array<ImageSlot, kSimTerms> PolynomialImages(const ZernikeBasis& basis, double obstruction)
{
    std::array<ImageSlot, kSimTerms> images;
    for (auto& image : images) {
        image = NewImage(kPictureSide, kPictureSide);
        image->CentreX = image->CentreY = kPictureCentre;
        image->Radius = kPictureRadius;
        image->Obstruction = obstruction;
        SetPupilAxes(image.get());
    }
    const ZernikeEvaluator evaluator(basis, obstruction);
    const TImageRec& axes = *images[0];
    ZernikeValues values{};
    for (int row = 0; row < kPictureSide; ++row)
        for (int col = 0; col < kPictureSide; ++col) {
            const bool inside = evaluator.Eval(axes.XAxis[col], axes.YAxis[row], values);
            for (int t = 0; t < kSimTerms; ++t) {
                images[t]->MaskAt(row, col) = inside ? 1 : 0;
                if (inside) images[t]->At(row, col) = values[t + 1];
            }
        }
    return images;
}

}  // namespace

TFormSaisieZern::TFormSaisieZern(Platform& platform, TestSession& session, QWidget* parent)
    : QDialog(parent), m_platform(platform), m_session(session)
{
    setObjectName(QStringLiteral("FormSaisieZern"));
    setWindowTitle(tr("Paramètres de simulation"));

    auto* ok = new QPushButton(tr("OK"));
    ok->setObjectName(QStringLiteral("ButtonOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TFormSaisieZern::OKClick);

    auto* side = new QVBoxLayout;
    side->addWidget(BuildImagesGroup());
    side->addStretch();
    side->addWidget(ok);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(BuildCoefficientsGroup(), 1);
    layout->addLayout(side);

    FormCreate();
}

QWidget* TFormSaisieZern::BuildCoefficientsGroup()
{
    auto* terms = new QGridLayout;
    for (int t = 0; t < kSimTerms; ++t) {
        const QString k = QString::number(t + 2);
        m_pictures[t] = new QLabel;
        m_pictures[t]->setObjectName(QStringLiteral("ImageZ") + k);
        m_pictures[t]->setFixedSize(kPictureSide, kPictureSide);
        m_edits[t] = new QLineEdit(QStringLiteral("0"));
        m_edits[t]->setObjectName(QStringLiteral("EditZ") + k);
        m_checks[t] = new QCheckBox(QStringLiteral("Z") + k);
        m_checks[t]->setObjectName(QStringLiteral("CheckBoxZ") + k);
        m_checks[t]->setChecked(true);
        const QString caption = tr(kGroupCaptions[t]);
        auto* box = new QGroupBox(caption);
        // The group's title names the edit for the eye; the reader hears the term and its unit.
        m_edits[t]->setAccessibleName(tr("Z%1 %2 (nm RMS)").arg(k, caption.trimmed()));
        m_checks[t]->setAccessibleName(tr("Z%1 %2 simulé").arg(k, caption.trimmed()));
        m_pictures[t]->setAccessibleName(tr("Z%1 %2").arg(k, caption.trimmed()));
        auto* inner = new QVBoxLayout(box);
        inner->addWidget(m_pictures[t], 0, Qt::AlignHCenter);
        inner->addWidget(m_edits[t]);
        inner->addWidget(m_checks[t]);
        terms->addWidget(box, t / kPictureColumns, t % kPictureColumns);
    }
    auto* raz = new QPushButton(tr("RAZ"));
    raz->setObjectName(QStringLiteral("ButtonRAZ"));
    auto* import = new QPushButton(tr("Importer test"));
    import->setObjectName(QStringLiteral("ButtonImporter"));
    CheckBoxTous = new QCheckBox(tr("Tous"));
    CheckBoxTous->setObjectName(QStringLiteral("CheckBoxTous"));
    CheckBoxTous->setChecked(true);
    auto* cancel = new QPushButton(tr("Annuler"));
    cancel->setObjectName(QStringLiteral("ButtonAnnuler"));
    connect(raz, &QPushButton::clicked, this, &TFormSaisieZern::RAZClick);
    connect(import, &QPushButton::clicked, this, &TFormSaisieZern::ImporterTestClick);
    connect(CheckBoxTous, &QCheckBox::clicked, this, &TFormSaisieZern::CheckBoxTousClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* actions = new QHBoxLayout;
    actions->addWidget(raz);
    actions->addWidget(import);
    actions->addWidget(CheckBoxTous);
    actions->addStretch();
    actions->addWidget(cancel);
    auto* coefficientsLayout = new QVBoxLayout;
    coefficientsLayout->addLayout(terms);
    coefficientsLayout->addLayout(actions);
    auto* coefficients = new QGroupBox(tr("Coefficients de Zernike (nm RMS) "));
    coefficients->setLayout(coefficientsLayout);
    return coefficients;
}

QWidget* TFormSaisieZern::BuildImagesGroup()
{
    ComboBoxDim = new QComboBox;  // not editable: a size is always selected
    ComboBoxDim->setObjectName(QStringLiteral("ComboBoxDim"));
    for (int size : kSizes) ComboBoxDim->addItem(QString::number(size));
    SpinEditRayon = SpinBox("SpinEditRayon", 0, kSizes[4] / 2);
    SpinEditObstruction = SpinBox("SpinEditObstruction", 0, 99);
    SpinEditObstruction->setSuffix(QStringLiteral(" %"));
    SpinEditMin = SpinBox("SpinEditMin", 0, 65535);
    SpinEditMax = SpinBox("SpinEditMax", 0, 65535);
    connect(SpinEditObstruction, &QSpinBox::valueChanged, this, &TFormSaisieZern::SpinEditObstructionChange);
    auto* imagesLayout = new QFormLayout;
    imagesLayout->addRow(tr("Dimension des images :"), ComboBoxDim);
    imagesLayout->addRow(tr("Rayon :"), SpinEditRayon);
    imagesLayout->addRow(tr("Obstruction centrale :"), SpinEditObstruction);
    imagesLayout->addRow(tr("Niveau Min :"), SpinEditMin);
    imagesLayout->addRow(tr("Niveau Max :"), SpinEditMax);
    auto* images = new QGroupBox(tr("Images"));
    images->setLayout(imagesLayout);
    return images;
}

bool TFormSaisieZern::Execute()
{
    // A dialog kept for a later showing starts again from the stored parameters.
    if (m_shown) FormCreate();
    m_shown = true;
    return m_platform.runModal(*this) == QDialog::Accepted;
}

void TFormSaisieZern::FormCreate()
{
    // The pictures need terms up to 22; the fit and the coefficient list keep that count afterwards.
    UseBasis(m_session, kTermsInUse);
    DrawPolynomials();
    const SimParams& sim = m_session.Sim;
    ShowCoefficients(sim.SimCoef);
    const QSignalBlocker blocker(SpinEditObstruction);  // showing the value is no change
    ComboBoxDim->setCurrentIndex(std::clamp(sim.SimIndexTaille, 0, ComboBoxDim->count() - 1));
    SpinEditRayon->setValue(ClampedRound(sim.SimRayon, SpinEditRayon));
    SpinEditObstruction->setValue(ClampedRound(sim.SimObstruction * 100, SpinEditObstruction));
    SpinEditMin->setValue(ClampedRound(sim.SimNiveauMin, SpinEditMin));
    SpinEditMax->setValue(ClampedRound(sim.SimNiveauMax, SpinEditMax));
    for (int t = 0; t < kSimTerms; ++t) m_checks[t]->setChecked(sim.SimMasque[t + 1] != 0);
}

void TFormSaisieZern::DrawPolynomials()
{
    std::array<ImageSlot, kSimTerms> images = PolynomialImages(m_session.Basis, m_session.Sim.SimObstruction);
    CurrentDisplay display;
    display.Settings.PaletteIndex = kSimulationPalette;
    display.Settings.MaskVisible = true;
    for (int t = 0; t < kSimTerms; ++t) {
        QImage picture;
        if (RenderImage(images[t].get(), QSize(kPictureSide, kPictureSide), display, picture).ok())
            m_pictures[t]->setPixmap(QPixmap::fromImage(picture));
    }
}

void TFormSaisieZern::ShowCoefficients(const ZernikeCoefficients& coefficients)
{
    const ZernikeCoefficients rms = CoefToRms(m_session.Basis, coefficients);
    for (int t = 0; t < kSimTerms; ++t)
        m_edits[t]->setText(QString::fromStdString(FormatFloat("0.00", rms[t + 1])));
}

void TFormSaisieZern::OKClick()
{
    SimParams& sim = m_session.Sim;
    ZernikeCoefficients rms = sim.SimCoef;
    rms[0] = 0;
    for (int t = 0; t < kSimTerms; ++t) rms[t + 1] = NumberOrZero(m_edits[t]->text().toStdString());
    sim.SimCoef = RmsToCoef(m_session.Basis, rms);
    sim.SimMasque[0] = 0;
    for (int t = 0; t < kSimTerms; ++t) sim.SimMasque[t + 1] = m_checks[t]->isChecked() ? 1 : 0;
    sim.SimIndexTaille = ComboBoxDim->currentIndex();
    sim.SimTaille = kSizes[sim.SimIndexTaille];
    sim.SimRayon = SpinEditRayon->value();
    sim.SimObstruction = SpinEditObstruction->value() / 100.0;
    sim.SimNiveauMin = SpinEditMin->value();
    sim.SimNiveauMax = SpinEditMax->value();
    accept();
}

void TFormSaisieZern::RAZClick() { ShowCoefficients({}); }

void TFormSaisieZern::ImporterTestClick()
{
    ShowCoefficients(m_session.CoefFront);
    const TImageRec* front = m_session.ImageFrontBrut.get();
    if (!front) return;
    SpinEditRayon->setValue(ClampedRound(front->Radius, SpinEditRayon));
    SpinEditObstruction->setValue(ClampedRound(front->Obstruction * 100, SpinEditObstruction));
    int index = 0;
    for (int i = 1; i < ComboBoxDim->count(); ++i)
        if (front->Width == kSizes[i]) index = i;
    ComboBoxDim->setCurrentIndex(index);
}

void TFormSaisieZern::CheckBoxTousClick()
{
    for (QCheckBox* check : m_checks) check->setChecked(CheckBoxTous->isChecked());
}

void TFormSaisieZern::SpinEditObstructionChange()
{
    // Applied at once, even if the dialog is then cancelled, so that the pictures match it.
    m_session.Sim.SimObstruction = SpinEditObstruction->value() / 100.0;
    DrawPolynomials();
}

}  // namespace frontlys::ui
