#pragma once
// "Paramètres du test": the geometry of the test (diameter, focal length, pixel size, binnings,
// defocus) and, on a second page, what the two FITS headers say about the observation. Each showing
// refills every control from the session, so nothing typed survives a cancelled showing.

#include <QDialog>

#include "analysis/test_params.h"
#include "analysis/test_session.h"
#include "ui/platform.h"

class QLineEdit;
class QListWidget;
class QSpinBox;
class QTabWidget;

namespace frontlys::ui {

class TFormParam final : public QDialog {
    Q_OBJECT

public:
    TFormParam(Platform& platform, TestSession& session, QWidget* parent = nullptr);

    // Fills the controls from the session, runs the dialog and tells whether it was accepted (the
    // parameters then count as entered). A cancel restores the parameters of before the showing.
    bool FormShow();

private:
    void SpeedButton1Click();  // the distance button
    void BitBtn1Click();       // OK
    void BitBtn2Click();       // cancel
    QWidget* BuildMainPage();
    QWidget* BuildHeaderPage();
    void FillMainPage();
    void FillHeaderPage();
    void RefreshRadii();
    ParamsEntry Entry() const;

    Platform& m_platform;
    TestSession& m_session;
    TTestParams m_saved;  // SavedParams

    QTabWidget* m_pages = nullptr;
    QSpinBox* SpinEdit2 = nullptr;         // diameter, mm
    QSpinBox* SpinEdit3 = nullptr;         // focal length, mm
    QLineEdit* Edit3 = nullptr;            // pixel size, um
    QSpinBox* SpinEdit4 = nullptr;         // acquisition binning
    QSpinBox* SpinEdit1 = nullptr;         // software binning
    QLineEdit* Edit9 = nullptr;            // intra radius, px (display only)
    QLineEdit* Edit10 = nullptr;           // extra radius, px (display only)
    QLineEdit* Edit4 = nullptr;            // defocus, mm
    QString m_computedDefocusText;         // what the distance button wrote in Edit4
    QLineEdit* EditObstruction = nullptr;  // known central obstruction, % of the diameter
    QSpinBox* SpinEditVanes = nullptr;     // spider vanes, 0: none
    QLineEdit* EditVaneWidth = nullptr;    // full width of one vane, mm
    QLineEdit* EditVaneAngle = nullptr;    // direction of the first vane, degrees
    QListWidget* ListBox2 = nullptr;       // header labels
    QListWidget* ListBox1 = nullptr;       // header texts
};

}  // namespace frontlys::ui
