#include "ui/HelpWindow.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace vmx::ui {

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    // Links to other pages of the manual open here; links to the web go to the desktop.
    browser_->setOpenExternalLinks(true);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(4, 4, 4, 4);
    lay->addWidget(browser_);
    resize(820, 640);
}

bool THelpWindow::ShowDocument(const QString& file, const QString& notFoundText)
{
    file_ = file;
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable()) {
        browser_->setSource(QUrl());
        browser_->setPlainText(notFoundText + file);
        setWindowTitle(notFoundText + info.fileName());
        return false;
    }
    browser_->setSearchPaths({info.absolutePath()});
    browser_->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    setWindowTitle(browser_->documentTitle().isEmpty() ? info.fileName() : browser_->documentTitle());
    return true;
}

} // namespace vmx::ui
