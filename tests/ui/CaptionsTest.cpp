// Captions from the catalogue by control name, and the language switch.
#include "UiHarness.h"

#include "lang/Messages.h"
#include "ui/CaptionTable.h"
#include "ui/FormWidgets.h"
#include "ui/PWForm.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>

#include <map>
#include <set>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

// Every text the window shows, keyed by control and property.
std::map<QString, QString> Snapshot(TMainForm& f)
{
    std::map<QString, QString> s;
    const QList<QObject*> all = f.findChildren<QObject*>();
    for (QObject* o : all) {
        const QString n = o->objectName();
        if (n.isEmpty()) continue;
        if (auto* a = qobject_cast<QAction*>(o)) {
            s[n + ".text"] = a->text();
            s[n + ".hint"] = a->toolTip();
        } else if (auto* m = qobject_cast<QMenu*>(o))
            s[n + ".title"] = m->title();
        else if (auto* c = qobject_cast<QComboBox*>(o)) {
            QStringList items;
            for (int i = 0; i < c->count(); ++i)
                items << c->itemText(i);
            s[n + ".items"] = items.join(QLatin1Char('|'));
            s[n + ".index"] = QString::number(c->currentIndex());
        } else if (auto* l = qobject_cast<QListWidget*>(o)) {
            QStringList items;
            for (int i = 0; i < l->count(); ++i)
                items << l->item(i)->text();
            s[n + ".items"] = items.join(QLatin1Char('|'));
        } else if (auto* tabs = qobject_cast<QTabWidget*>(o)) {
            for (int i = 0; i < tabs->count(); ++i)
                s[n + ".tab" + QString::number(i)] = tabs->tabText(i);
        } else if (auto* le = qobject_cast<LabeledEdit*>(o))
            s[n + ".label"] = le->EditLabel()->text();
        else if (auto* b = qobject_cast<QAbstractButton*>(o))
            s[n + ".text"] = b->text();
        else if (auto* l = qobject_cast<QLabel*>(o))
            s[n + ".text"] = l->text();
        else if (auto* g = qobject_cast<QGroupBox*>(o))
            s[n + ".title"] = g->title();
        else if (auto* p = qobject_cast<QPlainTextEdit*>(o))
            s[n + ".text"] = p->toPlainText();
        else if (auto* d = qobject_cast<TFileDialogText*>(o))
            s[n + ".dialog"] = d->Title + "|" + d->Filter;
        else if (auto* e = qobject_cast<QLineEdit*>(o))
            s[n + ".text"] = e->text();
        else if (auto* g = qobject_cast<QTableWidget*>(o)) {
            if (g->item(0, 0)) s[n + ".cell00"] = g->item(0, 0)->text();
        }
        if (auto* w = qobject_cast<QWidget*>(o)) s[n + ".hint"] = w->toolTip();
    }
    s["window.title"] = f.windowTitle();
    return s;
}

void SelectNonDefault(TMainForm& f)
{
    int k = 1;
    for (QComboBox* c : f.findChildren<QComboBox*>())
        if (c->count() > 1) {
            // Chosen as the user would, so lists that show the parameter block keep the choice.
            c->setCurrentIndex(k++ % c->count());
            f.EditChange(c);
        }
}

} // namespace

TEST(Captions, EveryNamedControlOfTheTableExistsOrIsLeftForLater)
{
    Harness h;
    h.Start();
    // Names this window builds now; the rest belong to pages filled in later.
    std::set<std::string> missing;
    for (int i = 0; i < kCaptionTableSize; ++i) {
        const char* n = kCaptionTable[i].Name;
        if (qstrcmp(n, "Application") == 0) continue;
        if (!h.form->findChild<QObject*>(QString::fromLatin1(n))) missing.insert(n);
    }
    EXPECT_TRUE(missing.empty()) << *missing.begin();
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("Monitor"));
}

TEST(Captions, TableTextsLandOnTheirControls)
{
    Harness h;
    h.Start();
    EXPECT_EQ(h.Act("ALStart")->text(), QStringLiteral("START"));
    EXPECT_EQ(h.Act("ALStart")->toolTip(), QStringLiteral("Start Messung"));
    EXPECT_EQ(Caption(h.Act("MIStart")), QStringLiteral("START"));
    EXPECT_EQ(Caption(h.Act("MIShowMonitor")), QStringLiteral("Monitor <-> Tabelle"));
    EXPECT_EQ(Caption(h.Act("MIGetIdent")), QStringLiteral("Lese IDENT")); // follows its action
    EXPECT_EQ(h.Find<QMenu>("MIExtra")->title(), QStringLiteral("Option"));
    EXPECT_EQ(h.Find<LabeledEdit>("EBubbleTestTime")->EditLabel()->text(), lang::Msg(101, 0));
    EXPECT_EQ(h.Find<LabeledEdit>("ESendPulse")->EditLabel()->text(), QStringLiteral("Sendeimpuls [µs]"));
    EXPECT_EQ(h.Find<QWidget>("EGainTestInc")->toolTip(),
              lang::Msg(214, 0).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    auto* pc1 = h.Find<QTabWidget>("PC1");
    EXPECT_EQ(pc1->tabText(pc1->indexOf(h.Find<QWidget>("TSSET"))), QStringLiteral("Einstellungen"));
    EXPECT_EQ(h.Find<QComboBox>("CBMeasTime")->count(), 9);
    EXPECT_EQ(h.Find<QComboBox>("CBMeasTime")->currentIndex(), 3);
    EXPECT_EQ(h.Find<QComboBox>("CBMeasTime")->currentText(), QStringLiteral("1 s"));
    EXPECT_EQ(h.Find<QListWidget>("CBLSecurity")->count(), 7);
    EXPECT_EQ(h.Find<QTableWidget>("StGainTesttemp")->item(3, 0)->text(), QStringLiteral("Sig3"));
    auto* dlg = h.Find<TFileDialogText>("OpenDialog2");
    EXPECT_EQ(dlg->Title, lang::Msg(110, 0));
    EXPECT_EQ(dlg->QtFilter(), QStringLiteral("Text-Dateien (*.txt);;Alle Dateien (*.*)"));
    // Refresh items, help lines, output table.
    EXPECT_EQ(h.Act("MIDrawDia_1")->text(), QStringLiteral("1 Zyklus"));
    EXPECT_EQ(h.Act("MIDrawDia_200")->text(), QStringLiteral("200 Zyklen"));
    const QStringList help = h.Find<QPlainTextEdit>("MemoHelp")->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(help.size(), 15);
    EXPECT_EQ(help.first(), lang::Msg(225, 0));
    EXPECT_EQ(help.last(), lang::Msg(239, 0));
    EXPECT_EQ(h.Find<QLineEdit>("EBubbleTab_8_0")->text(), QStringLiteral("Alarm"));
    EXPECT_EQ(h.Find<QLineEdit>("EBubbleTab_9_0")->text(), QStringLiteral("Fehler"));
    EXPECT_EQ(h.Find<QLineEdit>("EBubbleTab_3_0")->toolTip(), lang::Msg(447, 0));
    EXPECT_EQ(h.Find<QLineEdit>("EBubbleTab_9_0")->toolTip(), lang::Msg(453, 0));
    EXPECT_EQ(h.Find<QWidget>("PBubbleTab_4_2")->toolTip(), lang::Msg(451, 0));
    EXPECT_EQ(h.Find<QLineEdit>("EBubbleTabHeadPWM")->text(), QStringLiteral("PWM"));
}

TEST(Captions, EnglishAndBackRestoresEveryCaptionAndSelection)
{
    Harness h;
    TMainForm& f = h.Start();
    SelectNonDefault(f);
    auto german = Snapshot(f);
    // The language switch applies the sensor type again, which forgets the identification
    // (the model index among it).
    german.erase(QStringLiteral("CBIdModel.index"));
    german.erase(QStringLiteral("StGIdent.1.1"));

    h.Act("MILEn")->trigger();
    EXPECT_EQ(f.session().language(), 1);
    const auto english = Snapshot(f);
    EXPECT_EQ(english.at("ALEnd.text"), QStringLiteral("CLOSE"));
    EXPECT_EQ(english.at("MIDrawDia_2.text"), QStringLiteral("2 Cycles"));
    EXPECT_EQ(english.at("EBubbleTab_9_0.text"), QStringLiteral("Fault"));
    EXPECT_EQ(english.at("window.title"), QStringLiteral("Monitor for VELMOTRIX, Type QVRxx.xx"));
    EXPECT_EQ(f.PWForm()->windowTitle(), QStringLiteral("Change Mode"));
    // The selections survived the new lists.
    for (const auto& [key, value] : german)
        if (key.endsWith(QLatin1String(".index"))) {
            EXPECT_EQ(english.at(key), value) << key.toStdString();
        }
    int changed = 0;
    for (const auto& [key, value] : german)
        changed += english.at(key) != value ? 1 : 0;
    EXPECT_GT(changed, 150);

    h.Act("MILDt")->trigger();
    const auto back = Snapshot(f);
    for (const auto& [key, value] : german)
        EXPECT_EQ(back.at(key), value) << key.toStdString();
    EXPECT_EQ(f.PWForm()->windowTitle(), QStringLiteral("Mode wechseln"));
}

TEST(Captions, SelectionBeyondTheNewListEndsOnItsLastEntry)
{
    Harness h;
    h.Start();
    auto* c = h.Find<QComboBox>("CBMeasTime");
    c->addItems({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")});
    c->setCurrentIndex(11);
    h.form->UpdateCaptions();
    EXPECT_EQ(c->count(), 9);
    EXPECT_EQ(c->currentIndex(), 8);
    EXPECT_EQ(c->currentText(), QStringLiteral("1 min"));
    // A list with nothing selected stays so.
    auto* model = h.Find<QComboBox>("CBIdModel");
    model->setCurrentIndex(-1);
    h.form->UpdateCaptions();
    EXPECT_EQ(model->currentIndex(), -1);
}

TEST(Captions, BannerTogglesTheLanguageAndShowsTheOtherOne)
{
    Harness h;
    TMainForm& f = h.Start();
    QAction* banner = h.Act("MIBanner");
    EXPECT_TRUE(banner->isVisible());
    EXPECT_EQ(banner->property("glyph").toString(), QStringLiteral("BANNERE"));
    banner->trigger();
    EXPECT_EQ(f.session().language(), 1);
    EXPECT_TRUE(h.Act("MILEn")->isChecked());
    EXPECT_FALSE(h.Act("MILDt")->isChecked());
    EXPECT_EQ(banner->property("glyph").toString(), QStringLiteral("BANNERD"));
    EXPECT_EQ(h.Act("ALClear")->text(), QStringLiteral("CLEAR"));
    banner->trigger();
    EXPECT_EQ(f.session().language(), 0);
    EXPECT_TRUE(h.Act("MILDt")->isChecked());
    EXPECT_EQ(banner->property("glyph").toString(), QStringLiteral("BANNERE"));
    EXPECT_EQ(h.Act("ALClear")->text(), QStringLiteral("LÖSCHEN"));
    EXPECT_TRUE(banner->isVisible());
    // Choosing the active language again changes nothing.
    h.Act("MILDt")->trigger();
    EXPECT_EQ(f.session().language(), 0);
}

TEST(Captions, LanguageSwitchReappliesTheTypeButKeepsTheChosenVersion)
{
    Harness h;
    TMainForm& f = h.Start();
    h.Act("MIVersion_5028143")->trigger();
    h.Act("MILEn")->trigger();
    EXPECT_EQ(f.session().sensor.Row, 8);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Monitor for QVR05.28"));
}
