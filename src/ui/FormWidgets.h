#pragma once

#include <QAbstractButton>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QString>
#include <QWidget>

#include <cstddef>
#include <type_traits>

class QComboBox;
class QTableView;
class QTableWidget;

namespace vmx::ui {

// The tag every control and menu item may carry (menu tags, panel bit numbers, version keys).
int Tag(const QObject* o, int fallback = -1);
void SetTag(QObject* o, int tag);
// A control made with its object name (and, for a button or label, its text).
template <class W> W* NewNamed(QWidget* parent, const char* name, const QString& text = QString())
{
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    if constexpr (std::is_base_of_v<QAbstractButton, W> || std::is_same_v<W, QLabel>)
        if (!text.isEmpty()) w->setText(text);
    return w;
}
// A read-only grid that selects whole rows, without row numbers, its last column stretched.
QTableWidget* ResultGrid(QWidget* parent, const char* name, int columns);
// A grid's headings from {German, English} pairs, in the language (1 English, else German).
void SetHeadings(QTableWidget* g, const char* const (*heads)[2], int n, int language);
// A page's own texts by control: labels, buttons and group boxes under `root`.
struct PageText {
    const char* name;
    const char* de;
    const char* en;
};
void SetPageTexts(QWidget* root, const PageText* texts, std::size_t n, int language);
// Sets a grid cell's text, creating the item when there is none; outside the grid: nothing.
void SetGridCell(QTableWidget* g, int row, int col, const QString& text);
// "[ Alt+Del ]" for the portable key text "Alt+Del", written as the menus write shortcuts (in the
// toolkit's current language); several keys separated by " / ".
QString KeyLabelText(const QString& portable);
// Widens each column of a grid to its widest text: the cells it holds now (headings included)
// and the widest value its format gives (`widest[c]`, e.g. "00.00.0000" for a date); a column
// is never narrower than `least[c]` (the grid's own widths; missing: 40).
void FitColumns(QTableView* grid, const QStringList& widest, const QList<int>& least = {});
// Gives a list box at least the width its widest entry takes when it is painted.
void FitComboWidth(QComboBox* box);

// An edit with its own caption label; the label is a sibling placed by the page's layout.
class LabeledEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit LabeledEdit(QWidget* parent = nullptr);
    QLabel* EditLabel() const { return label_; }

private:
    QLabel* label_;
};

// A small clickable panel (colour and level panels of the settings page).
class TPanel : public QLabel {
    Q_OBJECT
public:
    explicit TPanel(QWidget* parent = nullptr);
Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
};

// The diagram's paint box: shows the drawing bitmap it is given.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* parent = nullptr);
    void SetBitmap(const QImage* image)
    {
        image_ = image;
        update();
    }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    const QImage* image_ = nullptr;
};

// Title and filter of one file dialog; the dialog itself is opened when it is needed.
class TFileDialogText : public QObject {
    Q_OBJECT
public:
    explicit TFileDialogText(QObject* parent = nullptr) : QObject(parent) {}
    QString Title;
    QString Filter; // catalogue form: "Text (*.txt)|*.txt|All Files (*.*)|*.*"
    // The filter as Qt's dialogs take it: "Text (*.txt);;All Files (*.*)".
    QString QtFilter() const;
};

} // namespace vmx::ui
