// What the operator at the test station sees beyond the step texts: the verdict banner, how
// far the unit is, what to do after a failure, which live value the step judges, and the
// serial number scanned into its field to start a unit.
#include "lang/OperatorTexts.h"
#include "ui/FormWidgets.h"
#include "ui/MainForm.h"

#include <QAction>
#include <QCheckBox>
#include <QDate>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>

namespace vmx::ui {

namespace {
const char* const kValueLabels[] = {"LTestSum",  "LTestQVROut",  "LTestQVROutMax", "LTestAmpl",
                                    "LTestGain", "LTestErrCode", "LTestVersion"};
// More failures than this are counted, not listed: the banner keeps its height.
constexpr int kBannerFailures = 3;

QLabel* NamedLabel(QWidget* parent, const char* name, int pixels, bool bold)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    QFont f = l->font();
    f.setPixelSize(pixels);
    f.setBold(bold);
    l->setFont(f);
    return l;
}
} // namespace

QWidget* TMainForm::CreateVerdictBanner(QWidget* parent)
{
    auto* banner = new QFrame(parent);
    banner->setObjectName(QStringLiteral("PVerdict"));
    banner->setAutoFillBackground(true);
    banner->setFrameShape(QFrame::StyledPanel);
    auto* lay = new QHBoxLayout(banner);
    lay->addWidget(NamedLabel(banner, "LVerdict", 34, true));
    lay->addSpacing(24);
    lay->addWidget(NamedLabel(banner, "LVerdictSN", 18, true));
    lay->addSpacing(24);
    lay->addWidget(NamedLabel(banner, "LVerdictFailures", 13, false), 1);
    banner->hide();
    return banner;
}

void TMainForm::ShowVerdict(const Verdict& verdict)
{
    verdict_ = verdict;
    ShowOperatorTexts();
}

void TMainForm::ShowStepProgress(int step, int last)
{
    progressStep_ = step;
    progressLast_ = last;
    if (auto* bar = findChild<QProgressBar*>(QStringLiteral("PBTestProgress"))) {
        bar->setRange(0, qMax(1, last));
        bar->setValue(qBound(0, step, qMax(1, last)));
    }
    ShowOperatorTexts();
}

void TMainForm::ShowHint(Hint hint)
{
    hint_ = hint;
    ShowOperatorTexts();
}

void TMainForm::ShowOperatorTexts()
{
    const int lang = session_->language();
    using lang::OperatorText;
    auto text = [lang](OperatorText t) { return lang::OperatorTextOf(t, lang); };

    if (auto* banner = findChild<QFrame*>(QStringLiteral("PVerdict"))) {
        banner->setVisible(verdict_.shown);
        QPalette pal = banner->palette();
        pal.setColor(QPalette::Window, verdict_.okay ? QColor(0x1E, 0x8C, 0x1E) : QColor(0xC8, 0x10, 0x10));
        pal.setColor(QPalette::WindowText, Qt::white);
        banner->setPalette(pal);
        // The verdict words are the production texts; the frame around them follows the language.
        findChild<QLabel*>(QStringLiteral("LVerdict"))
            ->setText(verdict_.okay ? QStringLiteral("okay") : QStringLiteral("FEHLER"));
        findChild<QLabel*>(QStringLiteral("LVerdictSN"))
            ->setText(verdict_.serialNo.isEmpty() ? text(OperatorText::BannerNoSerial)
                                                  : text(OperatorText::BannerSerial).arg(verdict_.serialNo));
        QStringList lines;
        if (!verdict_.failures.isEmpty()) {
            lines << text(OperatorText::BannerFailed);
            lines << verdict_.failures.mid(0, kBannerFailures);
            if (verdict_.failures.size() > kBannerFailures)
                lines.last() += QStringLiteral("  (+%1)").arg(verdict_.failures.size() - kBannerFailures);
        }
        auto* failures = findChild<QLabel*>(QStringLiteral("LVerdictFailures"));
        failures->setText(lines.join(QLatin1Char('\n')));
        failures->setToolTip(verdict_.failures.join(QLatin1Char('\n')));
    }
    if (auto* l = findChild<QLabel*>(QStringLiteral("LTestProgress")))
        l->setText(text(OperatorText::StepOf).arg(progressStep_).arg(progressLast_));
    if (auto* l = findChild<QLabel*>(QStringLiteral("LTestHint"))) {
        QStringList lines;
        switch (hint_) {
        case Hint::None:
            break;
        case Hint::Entry:
            lines << text(OperatorText::HintEntry);
            break;
        case Hint::Failure:
        case Hint::FailureAfterPreparing:
            lines << text(hint_ == Hint::Failure ? OperatorText::HintPrior : OperatorText::HintPriorPrepare)
                  << text(OperatorText::HintNext) << text(OperatorText::HintCancel);
            break;
        }
        l->setText(lines.join(QLatin1Char('\n')));
        l->setVisible(!lines.isEmpty());
    }
    if (auto* l = findChild<QLabel*>(QStringLiteral("LTestLimits")))
        if (l->property("limits").isValid())
            l->setText(text(OperatorText::JudgedLimits).arg(l->property("limits").toString()));
}

void TMainForm::MarkJudgedValue(int field, const QString& limits)
{
    auto* panel = findChild<QWidget*>(QStringLiteral("PanelTestValues"));
    auto* limitsLabel = findChild<QLabel*>(QStringLiteral("LTestLimits"));
    if (!panel || !limitsLabel) return;
    for (int i = 0; i < 7; ++i)
        if (auto* l = panel->findChild<QLabel*>(QLatin1String(kValueLabels[i]))) {
            QFont f = l->font();
            f.setBold(i == field);
            l->setFont(f);
            l->setProperty("judged", i == field);
        }
    if (field < 0 || field >= 7) {
        limitsLabel->setProperty("limits", QVariant());
        limitsLabel->hide();
        return;
    }
    if (auto* grid = qobject_cast<QGridLayout*>(panel->layout())) grid->addWidget(limitsLabel, field, 1);
    QFont f = limitsLabel->font();
    f.setBold(true);
    limitsLabel->setFont(f);
    limitsLabel->setProperty("limits", limits);
    limitsLabel->show();
    ShowOperatorTexts();
}

void TMainForm::FocusEntry(Entry entry)
{
    if (QLineEdit* e = EntryEdit(entry)) {
        e->setFocus();
        e->selectAll();
    }
}

void TMainForm::StartStationProfile()
{
    const std::optional<QString>& profile = env_.linkOptions ? env_.linkOptions->simulate : options_.simulate;
    if (!profile) return;
    bool station = false;
    for (const QString& w : profile->split(QLatin1Char(','), Qt::SkipEmptyParts))
        station |= w.trimmed().compare(QLatin1String("station"), Qt::CaseInsensitive) == 0;
    if (!station) return;
    // The station as a shift finds it: manufacturer mode, the operator's hands following the
    // prompts, the first definition chosen and the serial number's field waiting for a scan.
    session_->mode = app::FlagsFor(app::ModeKind::Manufacturer);
    UpdateVersion();
    if (auto* follows = findChild<QCheckBox*>(QStringLiteral("ChBSimOperator"))) {
        if (!follows->isChecked()) follows->click();
    }
    station_->simulatedOperator = true;
    PC1->setCurrentWidget(TSTest);
    PCTest->setCurrentWidget(findChild<QWidget*>(QStringLiteral("TSMeas")));
    // The entries a definition asks for besides the serial number, filled for training.
    const std::pair<Entry, const char*> training[] = {{Entry::Tester, "Schulung"},
                                                      {Entry::BatchNo, "S-0001"},
                                                      {Entry::BatchComment, "Simulation"},
                                                      {Entry::TechIndex, "1"},
                                                      {Entry::ManuYear, nullptr}};
    for (const auto& [entry, text] : training)
        if (QLineEdit* e = EntryEdit(entry); e && e->text().isEmpty())
            e->setText(text ? QLatin1String(text) : QString::number(QDate::currentDate().year() % 100));
    EditSN->setFocus();
}

void TMainForm::EntryReturnPressed()
{
    prodtest::TestRun& run = station_->testRun();
    if (run.EntryRefused()) {
        run.RetakeEntries();
        return;
    }
    if (run.TestStep == 0 && act("ALNext")->isEnabled()) {
        act("ALNext")->trigger();
        return;
    }
    BTNextSetFocus();
}

} // namespace vmx::ui
