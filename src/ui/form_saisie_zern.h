#pragma once
// "Paramètres de simulation": the RMS amplitude of Zernike terms 2 to 22, which of them take part,
// and the geometry of the simulated images, kept in the session's simulation parameters for
// "Simuler le front d'onde". Each term shows a small picture of its polynomial for the current
// obstruction. Creating the dialog puts 22 polynomials in use for the whole program.

#include <array>

#include <QDialog>

#include "analysis/test_session.h"
#include "ui/platform.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace frontlys::ui {

inline constexpr int kSimTerms = 21;  // terms 2 .. 22

class TFormSaisieZern final : public QDialog {
    Q_OBJECT

public:
    TFormSaisieZern(Platform& platform, TestSession& session, QWidget* parent = nullptr);

    // Runs the dialog; true when OK stored the controls into the simulation parameters.
    bool Execute();

private:
    QWidget* BuildCoefficientsGroup();
    QWidget* BuildImagesGroup();
    void FormCreate();
    void DrawPolynomials();
    void ShowCoefficients(const ZernikeCoefficients& coefficients);
    void OKClick();
    void RAZClick();
    void ImporterTestClick();
    void CheckBoxTousClick();
    void SpinEditObstructionChange();

    Platform& m_platform;
    TestSession& m_session;
    bool m_shown = false;

    std::array<QLabel*, kSimTerms> m_pictures{};   // ImageZ2 .. ImageZ22
    std::array<QLineEdit*, kSimTerms> m_edits{};   // EditZ2 .. EditZ22
    std::array<QCheckBox*, kSimTerms> m_checks{};  // CheckBoxZ2 .. CheckBoxZ22
    QCheckBox* CheckBoxTous = nullptr;
    QComboBox* ComboBoxDim = nullptr;
    QSpinBox* SpinEditRayon = nullptr;
    QSpinBox* SpinEditObstruction = nullptr;
    QSpinBox* SpinEditMin = nullptr;
    QSpinBox* SpinEditMax = nullptr;
};

}  // namespace frontlys::ui
