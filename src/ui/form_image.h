#pragma once
// An image window: one record of the test shown at one of six zoom factors with its own display
// settings. The window never owns its record: it names the slot of the session it shows (its kind,
// and for the PSF which of the two), so a record replaced by a command is picked up at the next
// redraw. Closing only hides it; the main window releases it. What it needs of the main window it
// asks through a WindowHost; what the main window does for it (make it current, refresh the
// information window, crop, show a read-out) it asks through its signals.

#include <array>

#include <QImage>
#include <QWidget>

#include "analysis/window_readout.h"
#include "core/image_rec.h"
#include "display/render.h"

class QMenu;

namespace frontlys::ui {

class WindowHost;

inline constexpr std::array<double, 6> kZoomFactors = {0.5, 1.0, 1.5, 2.0, 3.0, 4.0};
// The zoom item after the factors: "Ajuster", the pupil fitted to the window.
inline constexpr int kFitZoomIndex = static_cast<int>(kZoomFactors.size());

// The picture control "Image": draws its picture at its own size, reports the mouse.
class PictureControl final : public QWidget {
    Q_OBJECT
public:
    explicit PictureControl(QWidget* parent);
    QImage picture;

signals:
    void mouseMovedTo(QPoint position);
    void clicked();
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class TFormImage final : public QWidget {
    Q_OBJECT
public:
    TFormImage(WindowHost& host, ImageKind kind, QWidget* parent);

    ImageKind kind() const { return m_kind; }
    TImageRec* image() const;
    // The session's record of this kind (for the PSF, the aberration-free one when theoretical).
    void Attach(bool theoretical = false);
    void Detach() { m_attached = false; }
    bool theoretical() const { return m_theoretical; }

    // Hidden, at the zoom box's item, sized to the record.
    void AttachAndSize(int zoomIndex);
    void ApplyZoom();
    // "Ajuster": the window keeps the record's side at 100 % (or its largest side) and shows the
    // pupil, with a margin, magnified to fill it (at most 400 %). Nothing without a pupil.
    void FitPupil();
    // True for a record whose pupil is less than a third of its frame across.
    bool PupilMuchSmaller() const;
    // The largest side the window may take on the screen (0: no limit); a larger record is shown
    // scaled down to it.
    void SetMaxSide(int side) { m_maxSide = side; }
    // The items that change the test (threshold, extraction, crop), off while a command runs.
    void SetCommandsEnabled(bool enabled);
    double scale() const { return m_scale; }
    void Redraw();
    // The pupil from the threshold the record holds, the mask shown, the information window told.
    void RefreshPupil();
    void ExtractPupil();
    // The mask shown, the window redrawn, the information window refreshed.
    void ShowPupil();
    void ShowUsefulRegion();
    void Enregistrerlimage1Click();
    void Imprimer1Click();
    void Recadrer1Click();
    // The read-out of the record under a point of the picture, with the information window's
    // choices; the value is kept for "Seuil à cette valeur".
    Readout ReadoutAt(QPoint position, ReadoutOptions choices);

    PictureControl* control() const { return m_control; }
    const QImage& picture() const { return m_control->picture; }

    std::uint8_t ZoomIndex = 1;
    DisplaySettings Settings;  // palette, scale, mask and log of this window
    double ReadoutValue = 0;   // the value last read out, for "Seuil à cette valeur"

signals:
    void activated(TFormImage* form);                 // clicked or made the active window, with a record
    void pupilChanged();                              // the pupil or its outline changed
    void cropRequested();                             // "Recadrer"
    void pointed(TFormImage* form, QPoint position);  // the mouse over a record of some size

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildPopup();
    void OnActivate();
    void ImageMouseMove(QPoint position);
    void Seuilcettevaleur1Click();

    WindowHost& m_host;
    ImageKind m_kind;
    bool m_attached = false;
    bool m_theoretical = false;
    PictureControl* m_control;
    QMenu* m_popup = nullptr;
    QString m_savePath;  // the file name the save dialog last returned
    int m_maxSide = 0;
    double m_scale = 1;  // picture pixels per record pixel
    bool m_commandsEnabled = true;
    // Shown by the program and not activated since: the platform may still owe the activation.
    bool m_activationOwed = false;
};

}  // namespace frontlys::ui
