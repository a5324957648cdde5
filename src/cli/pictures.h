#pragma once
// The pictures of an analysis as files: each is cut to the pupil with a margin (not the padded
// frame), enlarged by a whole factor when small, and framed with a title line (file, kind of picture,
// main parameters) and a colour bar whose labels lie inside the picture; a log scale says so.

#include <filesystem>
#include <string>

#include <QImage>

#include "core/image_rec.h"
#include "core/status.h"
#include "files/prefs.h"

namespace frontlys::cli {

struct PictureStyle {
    std::string title;  // the run's language: file and kind of picture, a line break, the parameters
    bool log = false;
};

// Needs a QGuiApplication (text); EnsureGuiApplication makes an offscreen one when none runs.
void EnsureGuiApplication();

// The region drawn: centre +- 1.25 Radius clamped to the frame; the whole frame for a PSF or without
// a pupil.
struct CropBox {
    int left = 0, top = 0, width = 0, height = 0;  // 0-based pixels
};
CropBox PupilCrop(const TImageRec& image);

Result<QImage> ComposePicture(TImageRec& image, const Tpreferences& prefs, const PictureStyle& style);
[[nodiscard]] Status WritePicture(TImageRec& image,
                                  const Tpreferences& prefs,
                                  const PictureStyle& style,
                                  const std::filesystem::path& file);

}  // namespace frontlys::cli
