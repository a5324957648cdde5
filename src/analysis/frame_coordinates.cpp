#include "analysis/frame_coordinates.h"

#include <algorithm>

namespace frontlys {
namespace {

const OpenedFrame& FrameOf(const TestSession& s, ImageKind kind)
{
    return kind == ImageKind::Intra ? s.FrameIntra : s.FrameExtra;
}
const TImageRec* RecordOf(const TestSession& s, ImageKind kind)
{
    return (kind == ImageKind::Intra ? s.ImageIntra : s.ImageExtra).get();
}

}  // namespace

std::array<double, 2> FramePosition(const TestSession& session, ImageKind kind, double x, double y)
{
    const OpenedFrame& f = FrameOf(session, kind);
    const TImageRec* record = RecordOf(session, kind);
    double fx = x - 1, fy = y - 1;  // 0-based in the record
    if (kind == ImageKind::Extra && record) {
        fx = record->Width - 1 - fx;
        fy = record->Height - 1 - fy;
    }
    fx += f.RecordLeft;
    fy += f.RecordTop;
    // A binned pixel covers n pixels of the file each way; its centre is their middle.
    const int n = std::max(1, f.Binning);
    return {fx * n + (n - 1) / 2.0 + 1, fy * n + (n - 1) / 2.0 + 1};
}

}  // namespace frontlys
