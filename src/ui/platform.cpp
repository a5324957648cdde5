#include "ui/platform.h"

#include <algorithm>
#include <vector>

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

#include "ui/language.h"

namespace frontlys::ui {

std::optional<QString> QtPlatform::openFile(const FileRequest& request)
{
    const QString path = QFileDialog::getOpenFileName(nullptr, request.title, request.folder, request.filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> QtPlatform::saveFile(const FileRequest& request)
{
    const QString start = request.name.isEmpty() ? request.folder : request.folder + '/' + request.name;
    const QString path = QFileDialog::getSaveFileName(nullptr, request.title, start, request.filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> QtPlatform::browseFolder(const FileRequest& request)
{
    const QString path = QFileDialog::getExistingDirectory(nullptr, request.title, request.folder);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

void QtPlatform::warn(const QString& text)
{
    // The refusals of the lower layers come in French: shown in the windows' language.
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Frontlys"), Displayed(text), QMessageBox::Ok);
    box.exec();
}

int QtPlatform::ask(const QString& question, const QStringList& answers)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Frontlys"), question);
    std::vector<QAbstractButton*> buttons;
    for (const QString& answer : answers) buttons.push_back(box.addButton(answer, QMessageBox::AcceptRole));
    box.exec();
    const auto chosen = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return chosen == buttons.end() ? -1 : static_cast<int>(chosen - buttons.begin());
}

int QtPlatform::runModal(QDialog& dialog) { return dialog.exec(); }

bool QtPlatform::print(const QImage& picture)
{
    if (picture.isNull()) return false;
    QPrinter printer;
    QPrintDialog dialog(&printer);
    if (dialog.exec() != QDialog::Accepted) return false;
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const QRect page = painter.viewport();
    QSize size = picture.size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), size.width(), size.height());
    painter.setWindow(picture.rect());
    painter.drawImage(0, 0, picture);
    return painter.end();
}

}  // namespace frontlys::ui
