#pragma once

#include <QPixmap>
#include <QString>

namespace vmx::ui {

// The button and banner pictures by their resource names ("START", "STOP", "BANNERD", …),
// drawn on first use. An unknown name gives an empty pixmap.
QPixmap Glyph(const QString& name);

} // namespace vmx::ui
