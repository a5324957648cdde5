#pragma once
// Scripted platform services for the window tests: answers in order, records what was asked, and
// fails the test when a dialog opens that no answer was scripted for.

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <vector>

#include <QDialog>

#include "ui/platform.h"

namespace frontlys::ui {

class FakePlatform final : public Platform {
public:
    std::deque<std::optional<QString>> fileAnswers;  // open, save and folder answers; nullopt = cancelled
    std::function<int(QDialog&)> dialogScript;       // fills the real dialog, returns Accepted/Rejected
    std::vector<FileRequest> fileRequests;
    std::vector<QString> warnings;
    std::vector<QImage> printed;
    std::deque<int> askAnswers;  // index of the answer chosen, -1 = closed
    std::vector<QString> questions;

    std::optional<QString> openFile(const FileRequest& r) override { return next(r); }
    std::optional<QString> saveFile(const FileRequest& r) override { return next(r); }
    std::optional<QString> browseFolder(const FileRequest& r) override { return next(r); }
    void warn(const QString& text) override { warnings.push_back(text); }
    int ask(const QString& question, const QStringList&) override
    {
        questions.push_back(question);
        if (askAnswers.empty()) {
            ADD_FAILURE() << "unexpected question " << question.toStdString();
            return -1;
        }
        const int answer = askAnswers.front();
        askAnswers.pop_front();
        return answer;
    }
    int runModal(QDialog& d) override
    {
        if (!dialogScript) {
            ADD_FAILURE() << "unexpected dialog " << d.objectName().toStdString();
            return QDialog::Rejected;
        }
        return dialogScript(d);
    }
    bool print(const QImage& picture) override
    {
        printed.push_back(picture);
        return true;
    }

private:
    std::optional<QString> next(const FileRequest& r)
    {
        fileRequests.push_back(r);
        if (fileAnswers.empty()) {
            ADD_FAILURE() << "unexpected file dialog " << r.title.toStdString();
            return std::nullopt;
        }
        const bool given = fileAnswers.front().has_value();
        const QString answer = given ? *fileAnswers.front() : QString();
        fileAnswers.pop_front();
        if (!given) return std::nullopt;
        return answer;
    }
};

}  // namespace frontlys::ui
