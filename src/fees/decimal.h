#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace fees {

// An exact decimal number of any length. Amounts are stored as the texts the operator typed;
// they are added digit by digit, so no cent is lost to binary fractions or to truncation.
class Decimal {
public:
    Decimal() = default; // zero

    // The number a typed amount holds: blanks around it, an optional sign, digits with at most
    // one decimal point (".5" and "5." included). Anything else, the empty text too, is no number.
    static std::optional<Decimal> Parse(const QString& text);

    Decimal& operator+=(const Decimal& other);
    friend Decimal operator+(Decimal a, const Decimal& b) { return a += b; }
    friend bool operator==(const Decimal& a, const Decimal& b) = default;

    bool isZero() const { return digits_.empty(); }
    bool isNegative() const { return negative_; }
    // With the decimals it needs and no more: "301.2", "300", "1.05", "-0.5", "0".
    QString toString() const;

private:
    void normalise();

    // Kept normalised, so that equal values compare equal: no trailing zero after the point,
    // no leading zero, zero is never negative.
    bool negative_ = false;
    std::vector<std::uint8_t> digits_; // magnitude without the point, least significant first
    int scale_ = 0;                    // how many of the digits stand after the point
};

} // namespace fees
