#include "prep/frame_cleaning.h"

#include <vector>

#include "prep/donut.h"

namespace frontlys {

double SkyExclusionRadius(double donutRadius) { return 1.5 * donutRadius + 10; }

FrameCleaning CleanFrame(std::span<double> frame, int width, int height)
{
    FrameCleaning c;
    c.defects = RepairDefects(frame, width, height);
    // A steep sky hides the star from a search that takes the border for the sky: a first plane
    // through the whole frame (the star rejected as standing out of it) flattens a copy to search.
    auto located = LocateDonutInFrame(frame, width, height);
    const SkyPlane rough = FitSkyPlane(frame, width, height, 0.5 * width, 0.5 * height, 0);
    if (SlopeIsMeasured(rough)) {
        std::vector<double> flat(frame.begin(), frame.end());
        RemoveSlope(flat, width, height, rough);
        auto again = LocateDonutInFrame(flat, width, height);
        if (again.ok()) located = std::move(again);
    }
    if (!located.ok()) return c;
    const DonutBlob& d = located.value().main;
    c.sky = FitSkyPlane(frame, width, height, d.cx, d.cy, SkyExclusionRadius(d.radius));
    if (SlopeIsMeasured(c.sky)) {
        RemoveSlope(frame, width, height, c.sky);
        c.slopeRemoved = true;
    }
    return c;
}

}  // namespace frontlys
