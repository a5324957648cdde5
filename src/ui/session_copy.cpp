#include "ui/session_copy.h"

#include <memory>
#include <utility>

namespace frontlys::ui {
namespace {

ImageSlot Copy(const ImageSlot& slot) { return slot ? std::make_unique<TImageRec>(*slot) : nullptr; }

}  // namespace

TestSession CopyWithoutFrames(const TestSession& s)
{
    TestSession c;
    c.ImageIntra = Copy(s.ImageIntra);
    c.ImageExtra = Copy(s.ImageExtra);
    c.ImageSignal = Copy(s.ImageSignal);
    c.ImageFrontBrut = Copy(s.ImageFrontBrut);
    c.ImageFront = Copy(s.ImageFront);
    c.ImageResidu = Copy(s.ImageResidu);
    c.ImageInterfero = Copy(s.ImageInterfero);
    c.ImageRonchi = Copy(s.ImageRonchi);
    c.ImagePSF = Copy(s.ImagePSF);
    c.ImagePSFTheorique = Copy(s.ImagePSFTheorique);
    c.CoefFront = s.CoefFront;
    c.CoefResidu = s.CoefResidu;
    c.MasqueFrontAffiche = s.MasqueFrontAffiche;
    c.OrdresSup = s.OrdresSup;
    c.ParamsSaisis = s.ParamsSaisis;
    c.Params = s.Params;
    c.HeaderIntra = s.HeaderIntra;
    c.HeaderExtra = s.HeaderExtra;
    c.FileIntra = s.FileIntra;
    c.FileExtra = s.FileExtra;
    c.Prefs = s.Prefs;
    c.Basis = s.Basis;
    c.Sim = s.Sim;
    c.NomDernierExport = s.NomDernierExport;
    c.Notes = s.Notes;
    c.Warnings = s.Warnings;
    c.Windows = s.Windows;
    return c;
}

void MoveFrames(TestSession& from, TestSession& to)
{
    to.FrameIntra = std::exchange(from.FrameIntra, {});
    to.FrameExtra = std::exchange(from.FrameExtra, {});
}

void KeepUnreadFrames(TestSession& before, TestSession& after)
{
    if (after.FrameIntra.Pixels.empty()) after.FrameIntra = std::exchange(before.FrameIntra, {});
    if (after.FrameExtra.Pixels.empty()) after.FrameExtra = std::exchange(before.FrameExtra, {});
}

}  // namespace frontlys::ui
