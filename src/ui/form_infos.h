#pragma once
// The information window: companion of the current image window. It shows the current image's
// range, size, pupil and the read-out under the mouse, sets the threshold of the two star images,
// changes the current window's display, shows the wave-front error and the coefficient list of a
// wavefront (whose selection rebuilds the displayed wavefront), and holds the options of the PSF,
// the interferogram and the Ronchigram. Every value comes from the session; the controls hold only
// the choices of the user.

#include <QWidget>

#include "analysis/coefficient_selection.h"
#include "analysis/derived_commands.h"
#include "analysis/window_readout.h"
#include "display/render.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;

namespace frontlys::ui {

class TFormTransfer;
class WindowHost;

class TFormInfos final : public QWidget {
    Q_OBJECT
public:
    TFormInfos(WindowHost& host, QWidget* parent);

    void RefreshInfos();
    void ShowResults();
    void ShowCoefficientList(const ZernikeCoefficients& coefficients,
                             const ZernikeSelection& selection,
                             bool higherOrders,
                             const ZernikeCoefficients* sigmaRmsNm = nullptr);  // 1-sigma, nm RMS
    void RebuildDisplayedFront();
    void SetSettingsCopy(const DisplaySettings& settings) { m_settings = settings; }

    // What the image windows' read-out needs, and where it writes.
    void ReadoutChoices(ReadoutOptions& options) const;
    void ShowReadout(const Readout& readout, bool polar);

    // The pages the commands bring forward.
    void ShowResultsPage();
    void ShowOptionsPage(bool psfGroup);
    PsfOptions psfOptions() const;
    FringeOptions fringeOptions() const;
    bool listShown() const { return m_listShown; }
    void Button2Click();
    // The MTF window, shown from the first PSF of a wavefront on; null before.
    TFormTransfer* transferWindow() const { return m_transfer; }

signals:
    void fringeOptionsChanged(ImageKind kind);  // the fringes of the current window to draw again
    void saveCoefficientsRequested();

private:
    QWidget* BuildValues();
    QWidget* BuildResults();
    QWidget* BuildDisplay();
    QWidget* BuildOptions();
    void BuildCoefficientList();
    void ShowPageValues(TImageRec& image, ImageKind kind);
    void ShowFamily(ImageKind kind);
    void FillDisplayControls();
    void RewriteSizeAndRadius();
    void ShowNotes();
    void RefreshList(ImageKind kind);

    void TrackBar1Change(int position);
    void ButtonSeuilClick();
    void ComboBoxPaletteChange(int index);
    void CheckBoxMasqueClick();
    void CheckBoxEchelleClick();
    void ComboBoxZoomChange(int index);
    void RadioGroup1Click(int item);
    void FringeOptionChange();
    void ComboBoxPSFChange();
    void ComboBoxEchelleChange();
    void CoefficientChanged(QListWidgetItem* item);
    void ListAction(void (*action)(CoefficientListModel&, ZernikeSelection&, bool&));
    void SelectThisAberration();
    void ToggleTiltAndFocusClick();
    void FillListStates();
    void UpdateTransfer();

    WindowHost& m_host;
    DisplaySettings m_settings;  // copy of the settings of the image window last activated
    bool m_listShown = false;
    int m_savedHeight = 0;
    bool m_filling = false;  // the controls are being set from the session, not by the user
    CoefficientListModel m_list;
    TFormTransfer* m_transfer = nullptr;
    // What the MTF window was drawn from: a new PSF or wavefront draws it again.
    struct TransferSource {
        const void* psf = nullptr;
        const void* front = nullptr;
        double psfMax = 0, frontMin = 0, frontMax = 0, lambda = 0;
        bool operator==(const TransferSource&) const = default;
    } m_transferSource;

    QTabWidget* m_pages = nullptr;
    QWidget* m_valuesPage = nullptr;
    QWidget* m_resultsPage = nullptr;
    QWidget* m_optionsPage = nullptr;
    // "Valeurs"
    QLabel* m_imageEchelle = nullptr;
    QLabel* m_labelMax = nullptr;
    QLabel* m_labelMin = nullptr;
    QSlider* m_trackBar = nullptr;
    QPushButton* m_buttonSeuil = nullptr;
    QLineEdit* m_editSeuil = nullptr;
    QLineEdit* m_edit1 = nullptr;
    QComboBox* m_comboSize = nullptr;
    QLineEdit* m_editRayon = nullptr;
    QComboBox* m_comboRadius = nullptr;
    QComboBox* m_comboCoord = nullptr;
    QComboBox* m_comboRectPol = nullptr;
    QLineEdit* m_editXCentre = nullptr;
    QLineEdit* m_editYCentre = nullptr;
    QLineEdit* m_editX = nullptr;
    QLineEdit* m_editY = nullptr;
    QLineEdit* m_editValeur = nullptr;
    QLabel* m_label6 = nullptr;
    QLabel* m_label7 = nullptr;
    QLabel* m_label2 = nullptr;
    QLabel* m_label8 = nullptr;
    QComboBox* m_comboUnite = nullptr;
    // "Résultats"
    QLabel* m_ptvNm = nullptr;
    QLabel* m_ptvWaves = nullptr;
    QLabel* m_rmsNm = nullptr;
    QLabel* m_rmsWaves = nullptr;
    QLabel* m_strehl = nullptr;
    QLabel* m_notes = nullptr;
    QPushButton* m_button2 = nullptr;
    // "Affichage"
    QComboBox* m_comboZoom = nullptr;
    QComboBox* m_comboPalette = nullptr;
    QCheckBox* m_checkMasque = nullptr;
    QCheckBox* m_checkEchelle = nullptr;
    QGroupBox* m_radioGroup = nullptr;
    QRadioButton* m_family[3] = {};
    // "Options"
    QGroupBox* m_groupFringes = nullptr;
    QGroupBox* m_groupPsf = nullptr;
    QSpinBox* m_spinAngle = nullptr;
    QSpinBox* m_spinPas = nullptr;
    QSpinBox* m_spinFranges = nullptr;
    QComboBox* m_comboPsf = nullptr;
    QComboBox* m_comboEchelle = nullptr;
    QComboBox* m_comboTaille = nullptr;
    QComboBox* m_comboDefocus = nullptr;
    QLineEdit* m_edit2 = nullptr;
    // The coefficient list
    QListWidget* m_checkList = nullptr;
    QListWidget* m_valueList = nullptr;
};

}  // namespace frontlys::ui
