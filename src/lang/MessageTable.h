#pragma once

namespace vmx::lang {

inline constexpr int kMessageCount = 501;

// One catalogue entry; both texts are UTF-8.
struct MessageEntry {
    const char* de;
    const char* en;
};

extern const MessageEntry kMessageTable[kMessageCount];

} // namespace vmx::lang
