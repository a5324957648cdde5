#pragma once
// The MTF and the encircled energy of the test in the window, as pictures in the program's language:
// the measured curve beside the diffraction limit of the same pupil, frequencies in cycles per
// millimetre at the focus and radii in micrometres when the test parameters give the optics.

#include <QImage>
#include <QSize>

#include "analysis/test_session.h"
#include "core/status.h"
#include "engine/mtf.h"

namespace frontlys::ui {

// From the displayed wavefront at the reference wavelength: the PSF's own source.
Result<OpticalTransfer> TransferOf(const TestSession& session);

QImage MtfPlot(const OpticalTransfer& transfer, const TestSession& session, QSize size);
QImage EncircledEnergyPlot(const OpticalTransfer& transfer, const TestSession& session, QSize size);

}  // namespace frontlys::ui
