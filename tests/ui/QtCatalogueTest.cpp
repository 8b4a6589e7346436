// Qt's own texts follow the program's language: standard buttons of the question boxes, the
// file dialog's buttons, key names in the menus and on the key labels, the Simulator dock.
#include "UiHarness.h"

#include "ui/SimulatorPanel.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

QString Plain(QString s)
{
    return s.remove(QLatin1Char('&'));
}

QString BoxButton(TMainForm& f, QMessageBox::StandardButton which)
{
    const std::unique_ptr<QMessageBox> box =
        f.QuestionBox(app::AskIcon::Question, app::AskButtons::YesNoCancel, QStringLiteral("?"));
    QAbstractButton* b = box->button(which);
    return b ? Plain(b->text()) : QString();
}

QString FileDialogCancel(TMainForm& f)
{
    QFileDialog d(&f);
    d.setOption(QFileDialog::DontUseNativeDialog);
    auto* box = d.findChild<QDialogButtonBox*>();
    QAbstractButton* b = box ? box->button(QDialogButtonBox::Cancel) : nullptr;
    return b ? Plain(b->text()) : QString();
}

// The shortcut text a menu item shows after its tab.
QString MenuKey(Harness& h, const char* item)
{
    return h.Act(item)->text().section(QLatin1Char('\t'), 1);
}

} // namespace

TEST(QtCatalogue, GermanStandardButtonsInAGermanQuestionBox)
{
    Harness h;
    TMainForm& f = h.Start();
    ASSERT_EQ(f.session().language(), 0);
    EXPECT_EQ(BoxButton(f, QMessageBox::Cancel), QStringLiteral("Abbrechen"));
    EXPECT_EQ(BoxButton(f, QMessageBox::Yes), QStringLiteral("Ja"));
    EXPECT_EQ(BoxButton(f, QMessageBox::No), QStringLiteral("Nein"));
    EXPECT_EQ(FileDialogCancel(f), QStringLiteral("Abbrechen"));

    // Switched with the program's language, and back.
    h.Act("MILEn")->trigger();
    EXPECT_EQ(BoxButton(f, QMessageBox::Cancel), QStringLiteral("Cancel"));
    EXPECT_EQ(BoxButton(f, QMessageBox::Yes), QStringLiteral("Yes"));
    EXPECT_EQ(FileDialogCancel(f), QStringLiteral("Cancel"));
    h.Act("MILDt")->trigger();
    EXPECT_EQ(BoxButton(f, QMessageBox::Cancel), QStringLiteral("Abbrechen"));
}

TEST(QtCatalogue, EnglishFromTheStartWhenMonitorIniSaysSo)
{
    Harness h;
    h.WriteIni(QStringLiteral("[SETTINGS]\nLANGUAGE=ENGLISH\n"));
    TMainForm& f = h.Start();
    EXPECT_EQ(BoxButton(f, QMessageBox::Cancel), QStringLiteral("Cancel"));
    EXPECT_EQ(BoxButton(f, QMessageBox::No), QStringLiteral("No"));
}

TEST(QtCatalogue, KeyLabelsSayWhatTheMenusSay)
{
    Harness h;
    h.Start();
    auto* clear = h.Find<QLabel>("LKeyClear");
    EXPECT_EQ(clear->text(), QStringLiteral("[ Alt+Entf ]"));
    EXPECT_EQ(MenuKey(h, "MIResetMeas"), QStringLiteral("Alt+Entf"));
    EXPECT_EQ(h.Find<QLabel>("LKeyRead")->text(), QStringLiteral("[ Strg+R ]"));
    h.Act("MILEn")->trigger();
    EXPECT_EQ(clear->text(), QStringLiteral("[ Alt+Del ]"));
    EXPECT_EQ(MenuKey(h, "MIResetMeas"), QStringLiteral("Alt+Del"));
    EXPECT_EQ(h.Find<QLabel>("LKeyRead")->text(), QStringLiteral("[ Ctrl+R ]"));
    // Every key label matches the key of a menu item or action in the same language.
    for (QLabel* l : h.form->findChildren<QLabel*>()) {
        if (!l->property("keyLabel").isValid()) continue;
        EXPECT_TRUE(l->text().startsWith(QStringLiteral("[ ")) && l->text().endsWith(QStringLiteral(" ]")))
            << l->objectName().toStdString();
        EXPECT_FALSE(l->text().contains(QStringLiteral("Strg")) || l->text().contains(QStringLiteral("Entf")))
            << l->objectName().toStdString();
    }
}

TEST(QtCatalogue, TheSimulatorDockFollowsTheLanguage)
{
    Harness h;
    h.links.simulate = QStringLiteral("stream=polled");
    TMainForm& f = h.Start();
    TSimulatorPanel* dock = f.SimulatorPanel();
    ASSERT_NE(dock, nullptr);
    auto* filled = dock->findChild<QRadioButton*>(QStringLiteral("RBSimTubeFilled"));
    auto* bubble = dock->findChild<QPushButton*>(QStringLiteral("BTSimBubble"));
    EXPECT_EQ(filled->text(), QStringLiteral("Schlauch gefüllt"));
    EXPECT_EQ(bubble->text(), QStringLiteral("Blase"));
    h.Act("MILEn")->trigger();
    EXPECT_EQ(filled->text(), QStringLiteral("Tube filled"));
    EXPECT_EQ(bubble->text(), QStringLiteral("Bubble"));
}
