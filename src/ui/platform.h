#pragma once
// The platform services the windows use (file dialogs, folder browser, message boxes, modal dialogs,
// printing) behind one small interface: the program passes QtPlatform, the tests a scripted one.
// Handed to every window and dialog through its constructor; no singleton.

#include <optional>

#include <QImage>
#include <QString>
#include <QStringList>

class QDialog;

namespace frontlys::ui {

struct FileRequest {
    QString title;   // dialog caption
    QString filter;  // e.g. "Fichiers FITS (*.fit;*.fits;*.fts)"
    QString folder;  // initial folder
    QString name;    // proposed file name (save dialogs)
};

class Platform {
public:
    virtual ~Platform() = default;
    virtual std::optional<QString> openFile(const FileRequest& request) = 0;
    virtual std::optional<QString> saveFile(const FileRequest& request) = 0;  // asks before overwriting
    virtual std::optional<QString> browseFolder(const FileRequest& request) = 0;
    // Title "Frontlys", exclamation icon, OK.
    virtual void warn(const QString& text) = 0;
    // A question with one button per answer; the index of the answer chosen, -1 when closed.
    virtual int ask(const QString& question, const QStringList& answers) = 0;
    virtual int runModal(QDialog& dialog) = 0;  // QDialog::Accepted or Rejected
    // The picture scaled to one page of the default printer; false when cancelled or failed.
    virtual bool print(const QImage& picture) = 0;
};

// The real services: QFileDialog, QMessageBox, QDialog::exec(), QPrinter.
class QtPlatform final : public Platform {
public:
    std::optional<QString> openFile(const FileRequest& request) override;
    std::optional<QString> saveFile(const FileRequest& request) override;
    std::optional<QString> browseFolder(const FileRequest& request) override;
    void warn(const QString& text) override;
    int ask(const QString& question, const QStringList& answers) override;
    int runModal(QDialog& dialog) override;
    bool print(const QImage& picture) override;
};

}  // namespace frontlys::ui
