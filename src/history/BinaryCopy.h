#pragma once
// PostgreSQL's binary COPY stream of rows of three double columns, the first never NULL, as it
// arrives in pieces of any size: an 11-byte signature, flags and a header extension, then each
// row as its field count and each field's length (−1 for NULL) and big-endian bytes, then a
// field count of −1.

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

namespace vmx::history {

class BinaryCopyRows {
public:
    // Takes the next piece and hands each whole row to add(number, second, third); false when the
    // stream is not such rows (the rest is then of no use).
    template <class Add> bool Feed(const char* data, size_t size, Add add)
    {
        if (bad_) return false;
        pending_.append(data, size);
        size_t at = 0;
        if (!header_) {
            static const char kSignature[] = "PGCOPY\n\377\r\n";
            if (pending_.size() < 19) return Fits(pending_.size(), kSignature);
            if (pending_.compare(0, 11, kSignature, 11) != 0) return Bad();
            const quint32 extension = qFromBigEndian<quint32>(pending_.data() + 15);
            if (pending_.size() - 19 < extension) return true;
            at = 19 + extension;
            header_ = true;
        }
        while (!ended_ && pending_.size() - at >= 2) {
            const qint16 fields = qFromBigEndian<qint16>(pending_.data() + at);
            if (fields == -1) {
                ended_ = true;
                at += 2;
                break;
            }
            if (fields != 3) return Bad();
            std::optional<double> v[3];
            size_t p = at + 2;
            bool whole = true;
            for (auto& field : v) {
                if (pending_.size() - p < 4) {
                    whole = false;
                    break;
                }
                const qint32 length = qFromBigEndian<qint32>(pending_.data() + p);
                if (length != -1 && length != 8) return Bad();
                if (length == 8 && pending_.size() - p - 4 < 8) {
                    whole = false;
                    break;
                }
                p += 4;
                if (length == 8) {
                    field = Double(pending_.data() + p);
                    p += 8;
                }
            }
            if (!whole) break;
            if (!v[0]) return Bad();
            add(*v[0], v[1], v[2]);
            at = p;
        }
        pending_.erase(0, at);
        // Nothing may follow the end.
        return !ended_ || pending_.empty() || Bad();
    }
    // Whether the end has come, with every row before it whole.
    bool ended() const { return ended_ && !bad_; }

private:
    bool Bad() { return bad_ = true, false; }
    bool Fits(size_t n, const char* signature)
    {
        return std::memcmp(pending_.data(), signature, std::min<size_t>(n, 11)) == 0 || Bad();
    }
    static double Double(const char* p)
    {
        const quint64 bits = qFromBigEndian<quint64>(p);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }

    std::string pending_;
    bool header_ = false, ended_ = false, bad_ = false;
};

} // namespace vmx::history
