#pragma once
// The MTF window: the radial MTF and the encircled energy of the test beside the diffraction limit
// of the same pupil, computed from the wavefront the PSF was made from. It only shows: nothing to
// set, so no input.

#include <QWidget>

#include "analysis/test_session.h"
#include "engine/mtf.h"

class QLabel;

namespace frontlys::ui {

class TFormTransfer final : public QWidget {
    Q_OBJECT
public:
    explicit TFormTransfer(QWidget* parent);

    // Computes and draws; false, the window as it was, when the test has no wavefront or the
    // transfer is refused.
    bool ShowFor(const TestSession& session);
    const OpticalTransfer& transfer() const { return m_transfer; }

private:
    QLabel* m_mtf = nullptr;
    QLabel* m_energy = nullptr;
    OpticalTransfer m_transfer;
};

}  // namespace frontlys::ui
