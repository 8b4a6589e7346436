// F1 shows the user's manual: through the desktop when it can, else in the program's own help
// window, in the current language; the manual names every page and menu of the window.
#include "UiHarness.h"

#include "ui/HelpWindow.h"

#include "TestPaths.h"
#include <QDir>
#include <QMenuBar>
#include <QTabWidget>
#include <QTextBrowser>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

// The program folder's manual, as the build puts it beside the program.
void CopyDoc(Harness& h)
{
    const QDir from(testpaths::Bin(QStringLiteral("Doc")));
    ASSERT_TRUE(from.exists());
    QDir(h.dir.path()).mkpath(QStringLiteral("Doc"));
    for (const QString& name : from.entryList(QDir::Files))
        ASSERT_TRUE(
            QFile::copy(from.filePath(name), QDir(h.dir.path()).filePath(QStringLiteral("Doc/") + name)));
}

QString Shown(TMainForm& f)
{
    return f.HelpWindow()->Browser()->toPlainText();
}

} // namespace

TEST(HelpWindow, F1ShowsTheManualWhenTheDesktopCannot)
{
    Harness h;
    CopyDoc(h);
    TMainForm& f = h.StartShown();
    QTest::keyClick(&f, Qt::Key_F1);
    ASSERT_EQ(h.opened.size(), 1u); // the desktop was asked first and could not
    ASSERT_NE(f.HelpWindow(), nullptr);
    EXPECT_TRUE(f.HelpWindow()->isVisible());
    EXPECT_EQ(QFileInfo(f.HelpWindow()->Document()).fileName(), QStringLiteral("HelpOverviewD.htm"));
    EXPECT_EQ(f.HelpWindow()->windowTitle(), QStringLiteral("VELMOTRIX Monitor - Benutzerhandbuch"));
    EXPECT_TRUE(Shown(f).contains(QStringLiteral("Kommandozeile")));
    testpaths::ArtefactDir();
    f.HelpWindow()->grab().save(testpaths::Artefact(QStringLiteral("help-de.png")));

    // The open manual follows the language.
    h.Act("MILEn")->trigger();
    EXPECT_EQ(QFileInfo(f.HelpWindow()->Document()).fileName(), QStringLiteral("HelpOverviewE.htm"));
    EXPECT_TRUE(Shown(f).contains(QStringLiteral("Command line")));
}

TEST(HelpWindow, TheDesktopOpenerComesFirst)
{
    Harness h;
    CopyDoc(h);
    h.desktopOpens = true;
    TMainForm& f = h.Start();
    f.MIHelpDocClick();
    EXPECT_EQ(h.opened.size(), 1u);
    EXPECT_EQ(f.HelpWindow(), nullptr);
}

TEST(HelpWindow, AMissingManualIsNamedInTheWindow)
{
    Harness h;
    TMainForm& f = h.Start();
    f.MIHelpDocClick();
    ASSERT_NE(f.HelpWindow(), nullptr);
    EXPECT_TRUE(Shown(f).startsWith(QStringLiteral("Hilfedokument nicht gefunden: ")));
    EXPECT_TRUE(Shown(f).contains(QStringLiteral("HelpOverviewD.htm")));
}

TEST(HelpWindow, TheManualNamesEveryPageAndMenuInItsLanguage)
{
    for (int language : {0, 1}) {
        Harness h;
        CopyDoc(h);
        h.WriteIni(QStringLiteral("[SETTINGS]\nMODE=MANUFACTURER\nLANGUAGE=%1\n")
                       .arg(language == 1 ? QStringLiteral("ENGLISH") : QStringLiteral("GERMAN")));
        TMainForm& f = h.Start();
        f.ShowHelpWindow();
        const QString manual = Shown(f);
        ASSERT_GT(manual.size(), 2000);
        QStringList missing;
        for (QTabWidget* tabs : f.findChildren<QTabWidget*>())
            for (int i = 0; i < tabs->count(); ++i)
                if (!manual.contains(tabs->tabText(i))) missing << tabs->tabText(i);
        for (QAction* m : f.menuBar()->actions()) {
            const QString title = m->text().remove(QLatin1Char('&'));
            if (!title.isEmpty() && !manual.contains(title)) missing << title;
        }
        EXPECT_TRUE(missing.isEmpty())
            << language << ": " << missing.join(QStringLiteral(", ")).toStdString();
        // Nothing left from the time the buttons did nothing yet.
        EXPECT_FALSE(manual.contains(QStringLiteral("do nothing yet")));
        EXPECT_FALSE(manual.contains(QStringLiteral("noch keine Wirkung")));
    }
}
