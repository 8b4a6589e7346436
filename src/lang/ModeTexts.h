#pragma once

#include <QString>

namespace vmx::lang {

// The mode dialog's own small bilingual table (11 texts).
inline constexpr int kModeTextCount = 11;
QString ModeText(int index, int language);

} // namespace vmx::lang
