// What the measuring steps do to the measuring page beyond the entries: the shield judgement's
// two radio buttons.
#include "ui/MainForm.h"

#include <QFormLayout>
#include <QRadioButton>

namespace vmx::ui {

namespace {
QRadioButton* ShieldButton(QWidget* form, const char* name)
{
    return form->findChild<QRadioButton*>(QLatin1String(name));
}
} // namespace

void TMainForm::ShowShieldChoice(bool shown)
{
    QWidget* panel = findChild<QWidget*>(QStringLiteral("PanelTest"));
    if (!panel) return;
    QRadioButton* ok = ShieldButton(this, "RBShieldOK");
    QRadioButton* nok = ShieldButton(this, "RBShieldNOK");
    // The page may not have them yet: they are made once, in the entry panel.
    if (!ok || !nok) {
        ok = new QRadioButton(QStringLiteral("Widerstand 0 .. 3 Ohm"), panel);
        ok->setObjectName(QStringLiteral("RBShieldOK"));
        nok = new QRadioButton(QStringLiteral("Widerstand > 3 Ohm"), panel);
        nok->setObjectName(QStringLiteral("RBShieldNOK"));
        if (auto* form = qobject_cast<QFormLayout*>(panel->layout())) {
            form->addRow(ok);
            form->addRow(nok);
        }
    }
    if (shown) {
        // Only the judgement is asked: the entries of step 0 stay hidden.
        for (Entry e :
             {Entry::Tester, Entry::BatchNo, Entry::BatchComment, Entry::TechIndex, Entry::ManuYear})
            ShowEntry(e, false);
        panel->show();
        nok->setChecked(true);
    }
    ok->setVisible(shown);
    nok->setVisible(shown);
}

bool TMainForm::ShieldTooHigh()
{
    QRadioButton* nok = ShieldButton(this, "RBShieldNOK");
    return !nok || nok->isChecked();
}

} // namespace vmx::ui
