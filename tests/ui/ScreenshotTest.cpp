// The main window drawn offscreen in both languages; the pictures are kept for a look.
#include "UiHarness.h"

#include "TestPaths.h"
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTabWidget>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

QImage Render(TMainForm& f)
{
    f.resize(1040, 700);
    QCoreApplication::processEvents();
    return f.grab().toImage();
}

// Enough different colours that the window is not an empty area.
int Colours(const QImage& img)
{
    QSet<QRgb> seen;
    for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 3)
            seen.insert(img.pixel(x, y));
    return int(seen.size());
}

} // namespace

TEST(Screenshot, MainWindowInGermanAndEnglish)
{
    testpaths::ArtefactDir();
    Harness h;
    TMainForm& f = h.StartShown();
    const QImage de = Render(f);
    h.Act("MILEn")->trigger();
    const QImage en = Render(f);
    ASSERT_FALSE(de.isNull());
    EXPECT_GE(de.width(), 1000);
    EXPECT_GT(Colours(de), 20);
    EXPECT_NE(de, en); // the texts differ
    EXPECT_TRUE(de.save(testpaths::Artefact(QStringLiteral("monitor-de.png"))));
    EXPECT_TRUE(en.save(testpaths::Artefact(QStringLiteral("monitor-en.png"))));

    // The other pages, for the eye only.
    auto* pc1 = h.Find<QTabWidget>("PC1");
    for (const char* page : {"TSTable", "TSIdent", "TSSET"}) {
        pc1->setCurrentWidget(h.Find<QWidget>(page));
        Render(f).save(testpaths::Artefact(QStringLiteral("monitor-en-%1.png").arg(QLatin1String(page))));
    }
}

TEST(Screenshot, SettingsPagesWithTheStandardBlock)
{
    testpaths::ArtefactDir();
    Harness h;
    TMainForm& f = h.StartShown();
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSSET"));
    for (const char* page : {"TSSet2", "TSSet3"}) {
        h.Find<QTabWidget>("PCSet")->setCurrentWidget(h.Find<QWidget>(page));
        const QImage img = Render(f);
        EXPECT_GT(Colours(img), 20);
        img.save(QDir(testpaths::ArtefactDir()).filePath(QStringLiteral("settings_%1.png").arg(page)));
    }
}
