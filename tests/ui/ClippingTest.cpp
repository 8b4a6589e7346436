// Every page and sub-page at the window's default size, in German and in English: no visible
// caption, label, button, check box, radio button, group box title, grid heading or cell is
// cut off. The pictures of every page are kept in the test artefacts (pages/).
#include "ClipCheck.h"
#include "UiHarness.h"

#include "ui/SimulatorPanel.h"

#include "TestPaths.h"
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSet>
#include <QTabWidget>
#include <QTextStream>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

struct PageFindings {
    QString language, type, page;
    std::vector<ClippedText> clipped;
};

QString Dir()
{
    const QString d = testpaths::Artefact(QStringLiteral("pages"));
    QDir().mkpath(d);
    return d;
}

// Shows each page and sub-page of the window in turn and checks it; `save` keeps a picture.
std::vector<PageFindings> CheckAllPages(Harness& h, const QString& lang, const QString& type, bool save)
{
    std::vector<PageFindings> found;
    TMainForm& f = *h.form;
    auto* pc1 = h.Find<QTabWidget>("PC1");
    auto visit = [&](QWidget* page, const QString& name) {
        QCoreApplication::processEvents();
        // The page fits the window's default size: it does not push the window larger (the
        // Simulator dock beside the pages aside).
        const int dock =
            f.SimulatorPanel() && f.SimulatorPanel()->isVisible() ? f.SimulatorPanel()->width() + 8 : 0;
        EXPECT_LE(f.height(), 700) << qPrintable(name);
        EXPECT_LE(f.width(), 1040 + dock) << qPrintable(name);
        PageFindings pf{lang, type, name, ClippedTexts(page)};
        found.push_back(pf);
        if (save) {
            const QImage img = f.grab().toImage();
            img.save(QDir(Dir()).filePath(QStringLiteral("%1-%2-%3.png").arg(lang, type, name)));
        }
    };
    for (int i = 0; i < pc1->count(); ++i) {
        if (!pc1->isTabVisible(i)) continue;
        QWidget* page = pc1->widget(i);
        pc1->setCurrentIndex(i);
        QCoreApplication::processEvents();
        auto* inner = page->findChild<QTabWidget*>();
        if (!inner) {
            visit(page, page->objectName());
            continue;
        }
        const int keep = inner->currentIndex();
        for (int k = 0; k < inner->count(); ++k) {
            if (!inner->isTabVisible(k)) continue;
            inner->setCurrentIndex(k);
            visit(page, inner->widget(k)->objectName());
        }
        inner->setCurrentIndex(keep);
    }
    return found;
}

void StartAt(Harness& h, int language, int key)
{
    h.WriteIni(QStringLiteral("[SETTINGS]\nMODE=MANUFACTURER\nLANGUAGE=%1\n")
                   .arg(language == 1 ? QStringLiteral("ENGLISH") : QStringLiteral("GERMAN")));
    h.links.simulate = QStringLiteral("stream=polled");
    // The test page with the station's example definitions, as a first start shows it.
    QFile::copy(testpaths::Bin(QStringLiteral("TEST.INI")), h.dir.filePath(QStringLiteral("TEST.INI")));
    TMainForm& f = h.StartShown();
    f.resize(1040, 700); // the window's default size, also when the screen is smaller
    if (key >= 0) h.Act(QStringLiteral("MIVersion_%1").arg(key).toLatin1().constData())->trigger();
    // Measured values in the table and hits in the event search: the cells are checked with
    // what they show in use (dates, times, four-digit values).
    h.clock.SleepMs(300);
    h.Act("ALStart")->trigger();
    for (int i = 0; i < 5; ++i) {
        h.clock.SleepMs(1000);
        f.Timer2Timer();
    }
    h.Act("ALStop")->trigger();
    h.Find<QLineEdit>("ETEventThr")->setText(QStringLiteral("0"));
    h.Find<QAbstractButton>("BTTEventSearch")->click();
    QCoreApplication::processEvents();
}

} // namespace

TEST(Clipping, EveryPageInBothLanguagesShowsItsTextsWhole)
{
    // The types that show the different variants of the pages: V1.4x (settings sub-page 2),
    // V1.3x (sub-page 1), QVR05.30 (service and calibration on the identification page).
    const struct {
        int key;
        const char* name;
    } types[] = {{-1, "V14x"}, {130, "V13x"}, {5030201, "QVR0530"}};
    QStringList failures;
    int pages = 0, texts = 0;
    for (int language : {0, 1}) {
        const QString lang = language == 1 ? QStringLiteral("en") : QStringLiteral("de");
        for (const auto& t : types) {
            Harness h;
            StartAt(h, language, t.key);
            ASSERT_EQ(h.form->session().language(), language);
            for (const PageFindings& pf : CheckAllPages(h, lang, QLatin1String(t.name), true)) {
                ++pages;
                for (const ClippedText& c : pf.clipped) {
                    const QString line = QStringLiteral("%1 %2 %3: %4")
                                             .arg(lang, QLatin1String(t.name), pf.page, c.Describe());
                    ++texts;
                    failures << line;
                }
            }
        }
    }
    failures.removeDuplicates();
    EXPECT_GE(pages, 2 * 3 * 11); // "Spezielles" is hidden: it has nothing on it
    EXPECT_TRUE(failures.isEmpty()) << failures.size() << " clipped texts:\n"
                                    << failures.join(QLatin1Char('\n')).toStdString();
    (void)texts;
}

TEST(Clipping, ATooLongCaptionIsFound)
{
    Harness h;
    StartAt(h, 0, -1);
    auto* pc1 = h.Find<QTabWidget>("PC1");
    pc1->setCurrentWidget(h.Find<QWidget>("TSBoot"));
    QCoreApplication::processEvents();
    auto* ping = h.Find<QAbstractButton>("BTBootPing");
    auto* group = h.Find<QGroupBox>("GBBootMem");
    auto* label = h.Find<QLabel>("LKeyStart");
    const auto mine = [](const std::vector<ClippedText>& all, const QString& name) {
        for (const ClippedText& c : all)
            if (c.name == name) return c;
        return ClippedText{};
    };
    const std::vector<ClippedText> before = ClippedTexts(h.Find<QWidget>("TSBoot"));
    EXPECT_TRUE(mine(before, QStringLiteral("BTBootPing")).name.isEmpty());

    // A caption far wider than its button, and a group title far wider than its box.
    const QString longText = QStringLiteral("Boot-Loader anpingen und auf die Antwort warten ").repeated(4);
    ping->setText(longText);
    group->setTitle(longText);
    ping->setMaximumWidth(ping->width());
    group->setMaximumWidth(group->width());
    QCoreApplication::processEvents();
    const std::vector<ClippedText> after = ClippedTexts(h.Find<QWidget>("TSBoot"));
    const ClippedText b = mine(after, QStringLiteral("BTBootPing"));
    ASSERT_EQ(b.name, QStringLiteral("BTBootPing"));
    EXPECT_EQ(b.text, longText);
    EXPECT_GT(b.need, b.have);
    EXPECT_LE(b.have, ping->width());
    EXPECT_TRUE(b.Describe().contains(QStringLiteral("BTBootPing")));
    EXPECT_TRUE(b.Describe().contains(QString::number(b.need)) &&
                b.Describe().contains(QString::number(b.have)));
    EXPECT_EQ(mine(after, QStringLiteral("GBBootMem")).name, QStringLiteral("GBBootMem"));

    // A label of fixed width on the monitor page.
    pc1->setCurrentWidget(h.Find<QWidget>("TSMonitor"));
    label->setFixedWidth(20);
    QCoreApplication::processEvents();
    const ClippedText l = mine(ClippedTexts(h.Find<QWidget>("TSMonitor")), QStringLiteral("LKeyStart"));
    EXPECT_EQ(l.name, QStringLiteral("LKeyStart"));
    EXPECT_GT(l.need, l.have);
}
