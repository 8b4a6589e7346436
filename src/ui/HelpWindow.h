#pragma once
// The program's own help window: the user's manual (Doc/HelpOverviewD.htm or ...E.htm) in a
// text browser, for machines where the desktop cannot open the document.

#include <QWidget>

class QTextBrowser;

namespace vmx::ui {

class THelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent);

    // Shows `file` (an HTML file); false, with the reason in the window, when it cannot be read.
    bool ShowDocument(const QString& file, const QString& notFoundText);
    QString Document() const { return file_; }
    QTextBrowser* Browser() const { return browser_; }

private:
    QTextBrowser* browser_;
    QString file_;
};

} // namespace vmx::ui
