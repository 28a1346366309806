#include "decimal.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace fees {

namespace {

using Digits = std::vector<std::uint8_t>;

// -1, 0 or 1 as a is smaller than, equal to or larger than b; both have the same scale and no
// leading zeros.
int compareMagnitude(const Digits& a, const Digits& b) {
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (std::size_t i = a.size(); i-- > 0;) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

void addMagnitude(Digits& a, const Digits& b) {
    if (a.size() < b.size())
        a.resize(b.size(), 0);
    int carry = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const int sum = a[i] + (i < b.size() ? b[i] : 0) + carry;
        a[i] = std::uint8_t(sum % 10);
        carry = sum / 10;
    }
    if (carry)
        a.push_back(std::uint8_t(carry));
}

// a - b where a >= b.
void subtractMagnitude(Digits& a, const Digits& b) {
    int borrow = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        int d = a[i] - (i < b.size() ? b[i] : 0) - borrow;
        borrow = d < 0 ? 1 : 0;
        a[i] = std::uint8_t(d + 10 * borrow);
    }
}

void rescale(Digits& digits, int from, int to) {
    if (to > from && !digits.empty())
        digits.insert(digits.begin(), std::size_t(to - from), 0);
}

} // namespace

std::optional<Decimal> Decimal::Parse(const QString& text) {
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t.at(i) == u'+' || t.at(i) == u'-')) {
        negative = t.at(i) == u'-';
        ++i;
    }
    Decimal d;
    bool point = false;
    bool anyDigit = false;
    std::vector<std::uint8_t> mostSignificantFirst;
    for (; i < t.size(); ++i) {
        const char16_t c = t.at(i).unicode();
        if (c >= u'0' && c <= u'9') {
            mostSignificantFirst.push_back(std::uint8_t(c - u'0'));
            anyDigit = true;
            if (point)
                ++d.scale_;
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    d.digits_.assign(mostSignificantFirst.rbegin(), mostSignificantFirst.rend());
    d.negative_ = negative;
    d.normalise();
    return d;
}

void Decimal::normalise() {
    std::size_t dropped = 0;
    while (scale_ > 0 && dropped < digits_.size() && digits_[dropped] == 0) {
        ++dropped;
        --scale_;
    }
    digits_.erase(digits_.begin(), digits_.begin() + std::ptrdiff_t(dropped));
    while (!digits_.empty() && digits_.back() == 0)
        digits_.pop_back();
    if (digits_.empty()) {
        negative_ = false;
        scale_ = 0;
    }
}

Decimal& Decimal::operator+=(const Decimal& other) {
    if (other.isZero())
        return *this;
    if (isZero())
        return *this = other;
    Digits theirs = other.digits_;
    const int scale = std::max(scale_, other.scale_);
    rescale(digits_, scale_, scale);
    rescale(theirs, other.scale_, scale);
    scale_ = scale;
    if (negative_ == other.negative_) {
        addMagnitude(digits_, theirs);
    } else if (compareMagnitude(digits_, theirs) >= 0) {
        subtractMagnitude(digits_, theirs);
    } else {
        subtractMagnitude(theirs, digits_);
        digits_ = std::move(theirs);
        negative_ = other.negative_;
    }
    normalise();
    return *this;
}

QString Decimal::toString() const {
    if (isZero())
        return u"0"_s;
    QString out;
    if (negative_)
        out += u'-';
    const int total = std::max<int>(int(digits_.size()), scale_ + 1);
    for (int i = total - 1; i >= 0; --i) {
        if (i == scale_ - 1)
            out += u'.';
        out += QChar(char16_t(u'0' + (i < int(digits_.size()) ? digits_[std::size_t(i)] : 0)));
    }
    return out;
}

} // namespace fees
