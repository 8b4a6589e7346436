// The log window keeps its newest line in view while it is resized, and stops following only
// when the user scrolls up.
#include "UiHarness.h"

#include "ui/StateForm.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

// The last line of the log is inside the visible area of its text control.
bool LastLineShown(QPlainTextEdit* memo)
{
    const QTextBlock last = memo->document()->lastBlock();
    QTextCursor c(last);
    const QRect r = memo->cursorRect(c);
    return r.top() >= 0 && r.bottom() <= memo->viewport()->height();
}

void ResizeTo(TStateForm* log, int w, int hgt)
{
    log->resize(w, hgt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log->size() == QSize(w, hgt); }));
    QCoreApplication::processEvents();
}

} // namespace

TEST(LogWindow, FollowsNewLinesAfterAResize)
{
    Harness h;
    TMainForm& f = h.StartShown();
    TStateForm* log = f.StateForm();
    h.Act("MIOptMessageWindow")->trigger();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(log));
    auto* memo = log->findChild<QPlainTextEdit*>(QStringLiteral("MemoStatus"));
    QScrollBar* bar = memo->verticalScrollBar();
    for (int i = 0; i < 200; ++i)
        f.PanelText(1, QStringLiteral("line %1").arg(i));
    QCoreApplication::processEvents();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_TRUE(LastLineShown(memo));

    // Smaller, then larger, then smaller again: each time new lines stay in view.
    for (const QSize s : {QSize(300, 100), QSize(600, 400), QSize(350, 90)}) {
        ResizeTo(log, s.width(), s.height());
        EXPECT_EQ(bar->value(), bar->maximum()) << s.width() << "x" << s.height();
        f.PanelText(1, QStringLiteral("after %1x%2").arg(s.width()).arg(s.height()));
        QCoreApplication::processEvents();
        EXPECT_EQ(bar->value(), bar->maximum());
        EXPECT_TRUE(LastLineShown(memo)) << s.width() << "x" << s.height();
        EXPECT_EQ(log->Lines().last(), QStringLiteral("after %1x%2").arg(s.width()).arg(s.height()));
    }

    // Scrolled up by the user: the view stays where it is; back at the end it follows again.
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    f.PanelText(1, QStringLiteral("while reading"));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), 0);
    EXPECT_FALSE(log->Following());
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    ResizeTo(log, 420, 150);
    f.PanelText(1, QStringLiteral("back at the end"));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_TRUE(LastLineShown(memo));
}
