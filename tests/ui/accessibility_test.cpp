// What a screen reader finds: every window and dialog of the program walked through QAccessible,
// as the platform bridge walks it. Each input and each value must carry its label's name, never the
// title of the group around it, and a label must be read before what it names.
#include <map>
#include <set>

#include <QAccessible>
#include <QAction>
#include <QGroupBox>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>

#include "support/donut_pair.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "ui/apropos.h"
#include "ui/form_aide.h"
#include "ui/form_image.h"
#include "ui/form_infos.h"
#include "ui/form_mess.h"
#include "ui/form_orvane.h"
#include "ui/form_param.h"
#include "ui/form_saisie_zern.h"
#include "ui/form_session.h"
#include "ui/prefs_dialog.h"

namespace frontlys::ui {
namespace {

bool IsInput(QAccessible::Role role)
{
    switch (role) {
        case QAccessible::EditableText:
        case QAccessible::SpinBox:
        case QAccessible::ComboBox:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::Slider:
        case QAccessible::List:
        case QAccessible::PushButton:
        case QAccessible::ButtonMenu:
            return true;
        default:
            return false;
    }
}

QString Describe(QAccessibleInterface* a)
{
    const QObject* o = a->object();
    return QStringLiteral("%1 '%2' (role %3)")
        .arg(o ? QString::fromLatin1(o->metaObject()->className()) : QStringLiteral("?"),
             o ? o->objectName() : QString())
        .arg(int(a->role()));
}

// The caption a label relation gives (the bridge passes it on as "labelled by").
QString LabelOf(QAccessibleInterface* a)
{
    for (const auto& [label, relation] : a->relations(QAccessible::Label))
        if (label->role() == QAccessible::StaticText) return label->text(QAccessible::Name);
    return {};
}

class Walker {
public:
    // Walks the window once per page of each of its tab widgets, so that every page is shown once.
    void WalkWindow(QWidget& window)
    {
        window.show();
        const QList<QTabWidget*> tabs = window.findChildren<QTabWidget*>();
        if (tabs.isEmpty()) return Walk(window);
        for (QTabWidget* tab : tabs)
            for (int i = 0; i < tab->count(); ++i) {
                if (!tab->isTabVisible(i)) tab->setTabVisible(i, true);
                tab->setCurrentIndex(i);
                Walk(window);
            }
    }

    std::set<QString> faults;

private:
    void Walk(QWidget& window)
    {
        std::vector<QAccessibleInterface*> order;
        std::vector<QString> groups;
        Visit(QAccessible::queryAccessibleInterface(&window), order, groups);
        std::map<QAccessibleInterface*, std::size_t> position;
        for (std::size_t i = 0; i < order.size(); ++i) position[order[i]] = i;
        for (std::size_t i = 0; i < order.size(); ++i)
            for (const auto& [label, relation] : order[i]->relations(QAccessible::Label)) {
                const auto at = position.find(label);
                if (label->role() == QAccessible::StaticText && at != position.end() && at->second > i)
                    faults.insert(window.objectName() + ": " + Describe(order[i]) +
                                  " is read before its label '" + label->text(QAccessible::Name) + "'");
            }
    }

    void Visit(QAccessibleInterface* a,
               std::vector<QAccessibleInterface*>& order,
               std::vector<QString>& groups)
    {
        if (!a || a->state().invisible) return;
        order.push_back(a);
        const bool group = a->role() == QAccessible::Grouping;
        if (group) groups.push_back(a->text(QAccessible::Name).trimmed());
        if (IsInput(a->role())) Check(a, groups);
        for (int i = 0; i < a->childCount(); ++i) Visit(a->child(i), order, groups);
        if (group) groups.pop_back();
    }

    // The bridge names a combo box by its current item, so only a label relation tells what it is;
    // any other input is named by its accessible name, its label, or failing both the title of the
    // group around it, which is what the reader must never be left with.
    void Check(QAccessibleInterface* a, const std::vector<QString>& groups)
    {
        const QString where = Window(a) + ": " + Describe(a);
        const QString label = LabelOf(a).trimmed();
        if (a->role() == QAccessible::ComboBox) {
            if (label.isEmpty()) faults.insert(where + " has no label");
            return;
        }
        const QString name = a->text(QAccessible::Name).trimmed();
        const auto* w = qobject_cast<const QWidget*>(a->object());
        const bool own = w && !w->accessibleName().isEmpty();
        if (name.isEmpty())
            faults.insert(where + " has no name");
        else if (!own && label.isEmpty() && std::find(groups.begin(), groups.end(), name) != groups.end())
            faults.insert(where + " is announced by its group's title '" + name + "'");
    }

    static QString Window(QAccessibleInterface* a)
    {
        const auto* w = qobject_cast<const QWidget*>(a->object());
        return w ? w->window()->objectName() : QString();
    }
};

class AccessibilityTest : public ::testing::Test {
protected:
    TempDir dir;
    FakePlatform platform;
};

TEST_F(AccessibilityTest, EveryInputOfEveryWindowIsNamedByItsLabelInReadingOrder)
{
    const auto files = testing::WriteDonutPair(dir.path(), testing::DonutSpec{}, 128);
    TFormOrvane window(platform, QString::fromStdString(dir.path().string()));
    window.show();
    auto trigger = [&](const char* name) {
        window.findChild<QAction*>(QLatin1String(name))->trigger();
        window.WaitForIdle();  // a long command ends on the worker
    };
    platform.fileAnswers = {QString::fromStdString(files.intra.string()),
                            QString::fromStdString(files.extra.string())};
    trigger("Ouvririntrapuisextra1");
    window.session().Params.Defocus = 5'000'000;
    window.session().ParamsSaisis = true;
    for (const char* item : {"Front1", "PSF1", "Interfrogramme1", "Ronchigramme1"}) trigger(item);
    ASSERT_NE(window.infos(), nullptr);
    window.infos()->ShowResultsPage();
    window.infos()->findChild<QPushButton*>(QStringLiteral("Button2"))->click();  // the coefficient list

    Walker walker;
    // The wave-front error is read with its captions: "PTV", then its figures.
    for (const char* value : {"Label13", "Label14"}) {
        QAccessibleInterface* a =
            QAccessible::queryAccessibleInterface(window.infos()->findChild<QWidget*>(QLatin1String(value)));
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(LabelOf(a).isEmpty()) << value;
    }
    // The threshold controls show on the star images' page of values only.
    window.SetFormCourante(window.form(ImageKind::Intra));
    window.infos()->RefreshInfos();
    walker.WalkWindow(*window.infos());
    window.SetFormCourante(window.form(ImageKind::Wavefront));
    window.infos()->RefreshInfos();
    std::vector<QWidget*> windows = {&window, window.infos()};
    for (int k = 0; k < kImageKinds; ++k)
        if (TFormImage* f = window.form(static_cast<ImageKind>(k))) windows.push_back(f);
    TestSession& session = window.session();
    TFormParam param(platform, session);
    TPrefs prefs(platform, session, {});
    Tapropos about(platform);
    TFormSaisieZern simulation(platform, session);
    Tmess message;
    TFormAide help(session, {});
    TFormSession live(platform, QString::fromStdString(dir.path().string()));
    windows.insert(windows.end(), {&param, &prefs, &about, &simulation, &message, &help, &live});
    for (QWidget* w : windows) walker.WalkWindow(*w);
    for (const QString& fault : walker.faults) ADD_FAILURE() << fault.toStdString();
}

}  // namespace
}  // namespace frontlys::ui
