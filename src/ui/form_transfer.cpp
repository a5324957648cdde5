#include "ui/form_transfer.h"

#include <QHBoxLayout>
#include <QLabel>

#include "ui/transfer_plots.h"

namespace frontlys::ui {
namespace {

const QSize kPlot(440, 320);

QLabel* Picture(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFixedSize(kPlot);
    return label;
}

}  // namespace

TFormTransfer::TFormTransfer(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("FormTransfer"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(tr("FTM et énergie encerclée"));
    m_mtf = Picture("ImageFTM", this);
    m_energy = Picture("ImageEnergie", this);
    m_mtf->setAccessibleName(tr("FTM radiale et limite de diffraction"));
    m_energy->setAccessibleName(tr("Énergie encerclée et limite de diffraction"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_mtf);
    layout->addWidget(m_energy);
}

bool TFormTransfer::ShowFor(const TestSession& session)
{
    auto transfer = TransferOf(session);
    if (!transfer.ok()) return false;
    m_transfer = transfer.take();
    m_mtf->setPixmap(QPixmap::fromImage(MtfPlot(m_transfer, session, kPlot)));
    m_energy->setPixmap(QPixmap::fromImage(EncircledEnergyPlot(m_transfer, session, kPlot)));
    // The figures read aloud too: the Strehl and the radius of 80 % of the energy.
    m_mtf->setAccessibleDescription(tr("Strehl %1").arg(m_transfer.strehl, 0, 'f', 3));
    m_energy->setAccessibleDescription(
        tr("80 % de l'énergie dans %1 lambda/D")
            .arg(RadiusForEnergy(m_transfer.radius, m_transfer.encircled, 0.8), 0, 'f', 2));
    return true;
}

}  // namespace frontlys::ui
