#pragma once
// "Préférences": edits the session's preferences on five pages and writes prefs.txt on OK. Some
// changes apply at once and stay even when the dialog is cancelled (the wavelengths, the three
// folders, "Défaut"), so the caller recolours its image windows from the preferences afterwards,
// whatever the answer.

#include <functional>

#include <QDialog>

#include "analysis/test_session.h"
#include "ui/platform.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTabWidget;

namespace frontlys::ui {

class TPrefs final : public QDialog {
    Q_OBJECT

public:
    using HelpFn = std::function<void(const QString& page)>;
    // openHelp shows a help page (the preferences page of the help folder).
    TPrefs(Platform& platform, TestSession& session, HelpFn openHelp, QWidget* parent = nullptr);

    // Fills the controls, runs the dialog; true when OK wrote the preferences.
    bool Execute();

private:
    QWidget* BuildDisplayPage();
    QWidget* BuildAlgorithmsPage();
    QWidget* BuildConstantsPage();
    QWidget* BuildFittingPage();
    QWidget* BuildFilesPage();
    void FormShow();
    void BitBtn1Click();  // OK
    void BitBtn4Click();  // "Défaut"
    void BitBtn3Click();  // help
    void DrawPreview(int list);
    void PageControl1Change();
    void EDitLambdaRefChange();
    void EditLambdaInterferoChange();
    void Button4Click();  // images folder
    void Button5Click();  // help home page
    void Button6Click();  // preferences folder
    void UpdateCorrectionLabels();

    Platform& m_platform;
    TestSession& m_session;
    HelpFn m_openHelp;
    bool m_filling = false;  // controls being filled: no live change

    QTabWidget* PageControl1 = nullptr;
    QComboBox* m_palettes[4] = {};  // ComboBox1 .. ComboBox4
    QLabel* m_previews[4] = {};     // Image1 .. Image4
    QCheckBox* CheckBoxMem = nullptr;
    QSpinBox* SpinEdit1 = nullptr;  // NIter
    QComboBox* ComboBoxCorrection = nullptr;
    QLineEdit* EditArretRMS = nullptr;
    QSpinBox* SpinEditPasses = nullptr;
    QLabel* LabelCorrection = nullptr;
    QComboBox* ComboBox5 = nullptr;  // ExtractDim
    QSpinBox* SpinEdit3 = nullptr;   // ExtractSeuil
    QCheckBox* CheckBox3 = nullptr;  // ExtractAuto
    QLineEdit* EDitLambdaRef = nullptr;
    QLineEdit* EditLambdaInterfero = nullptr;
    QSpinBox* SpinEditNPolyZern = nullptr;
    QCheckBox* CheckBoxAjustAuto = nullptr;
    QComboBox* ComboboxDirImages = nullptr;
    QComboBox* ComboBoxDoc = nullptr;
    QComboBox* ComboBoxPrefs = nullptr;
    QComboBox* ComboBoxLangue = nullptr;  // 0 the locale's, 1 French, 2 English
};

}  // namespace frontlys::ui
