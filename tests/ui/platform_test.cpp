#include <QDialog>

#include "support/fake_platform.h"

namespace frontlys::ui {
namespace {

// The scripted platform hands out its answers in order and records what was asked.
TEST(FakePlatform, AnswersInOrderAndRecordsRequests)
{
    FakePlatform platform;
    platform.fileAnswers = {QStringLiteral("a.fits"), std::nullopt};
    EXPECT_EQ(platform.openFile({QStringLiteral("Ouvrir"), {}, {}, {}}), QStringLiteral("a.fits"));
    EXPECT_EQ(platform.saveFile({QStringLiteral("Enregistrer"), {}, {}, {}}), std::nullopt);
    ASSERT_EQ(platform.fileRequests.size(), 2u);
    EXPECT_EQ(platform.fileRequests[1].title, QStringLiteral("Enregistrer"));
    platform.dialogScript = [](QDialog&) { return int(QDialog::Accepted); };
    QDialog dialog;
    EXPECT_EQ(platform.runModal(dialog), QDialog::Accepted);
}

}  // namespace
}  // namespace frontlys::ui
