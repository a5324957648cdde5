// "Superposer par famille" and "Juxtaposer": every image window at the zoom of the tool bar, laid
// out below the main window by family.
#include <QComboBox>

#include "ui/form_image.h"
#include "ui/form_orvane.h"

namespace frontlys::ui {
namespace {

using Family = std::initializer_list<ImageKind>;
const Family kFamily1 = {ImageKind::Intra, ImageKind::Extra, ImageKind::Signal};
const Family kFamily3 = {ImageKind::Psf, ImageKind::Interferogram, ImageKind::Ronchigram};

}  // namespace

void TFormOrvane::ZoomAll()
{
    const int z = std::max(0, zoomIndex());
    for (const auto& f : m_forms) {
        if (!f) continue;
        f->ZoomIndex = static_cast<std::uint8_t>(z);
        f->ApplyZoom();
    }
}

// The windows of one family lie on top of each other; the next family starts to their right.
void TFormOrvane::Superposerpargroupe1Click()
{
    ZoomAll();
    const QRect main = frameGeometry();
    const int top = main.y() + main.height();
    int left = main.x();
    auto superpose = [&](Family family) {
        const TFormImage* last = nullptr;
        for (ImageKind kind : family)
            if (TFormImage* f = form(kind)) {
                f->move(left, top);
                last = f;
            }
        if (last) left += last->frameGeometry().width();
    };
    superpose(kFamily1);
    superpose({ImageKind::Residual, ImageKind::Wavefront});
    superpose(kFamily3);
}

// One row per family; a row starts below the last window placed in the row above it.
void TFormOrvane::Juxtaposer1Click()
{
    ZoomAll();
    const QRect main = frameGeometry();
    int top = main.y() + main.height();
    int left = main.x();
    auto row = [&](Family family) {
        int height = 0;
        bool any = false;
        for (ImageKind kind : family)
            if (TFormImage* f = form(kind)) {
                f->move(left, top);
                left += f->frameGeometry().width();
                height = f->frameGeometry().height();
                any = true;
            }
        if (any) {
            left = main.x();
            top += height;
        }
    };
    row(kFamily1);
    row({ImageKind::Wavefront, ImageKind::Residual});
    row(kFamily3);
}

}  // namespace frontlys::ui
