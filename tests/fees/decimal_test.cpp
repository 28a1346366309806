#include "fees/decimal.h"

#include <gtest/gtest.h>

using fees::Decimal;
using namespace Qt::StringLiterals;

namespace {

Decimal sum(std::initializer_list<const char16_t*> texts) {
    Decimal total;
    for (const char16_t* t : texts) {
        const std::optional<Decimal> d = Decimal::Parse(QString::fromUtf16(t));
        EXPECT_TRUE(d.has_value()) << QString::fromUtf16(t).toStdString();
        if (d)
            total += *d;
    }
    return total;
}

std::string text(const Decimal& d) {
    return d.toString().toStdString();
}

TEST(DecimalTest, ReadsTypedAmountsAndRefusesEverythingElse) {
    EXPECT_EQ(text(*Decimal::Parse(u"100.50"_s)), "100.5");
    EXPECT_EQ(text(*Decimal::Parse(u"  0042 "_s)), "42");
    EXPECT_EQ(text(*Decimal::Parse(u".5"_s)), "0.5");
    EXPECT_EQ(text(*Decimal::Parse(u"5."_s)), "5");
    EXPECT_EQ(text(*Decimal::Parse(u"+7.25"_s)), "7.25");
    EXPECT_EQ(text(*Decimal::Parse(u"-0.05"_s)), "-0.05");
    EXPECT_EQ(text(*Decimal::Parse(u"-0.00"_s)), "0");
    EXPECT_EQ(text(*Decimal::Parse(u"0.000"_s)), "0");
    for (const QString& bad : {u""_s, u"  "_s, u"."_s, u"-"_s, u"1,000"_s, u"1.2.3"_s, u"1e3"_s, u"五百"_s, u"12元"_s,
                               u"１２"_s, u"1 000"_s, u"--1"_s})
        EXPECT_FALSE(Decimal::Parse(bad).has_value()) << bad.toStdString();
}

TEST(DecimalTest, SumsExactlyWithTheDecimalsNeeded) {
    EXPECT_EQ(text(sum({u"100.5", u"200.7"})), "301.2");
    EXPECT_EQ(text(sum({u"0.5", u"0.5"})), "1");
    EXPECT_EQ(text(sum({u"1", u"0.05"})), "1.05");
    EXPECT_EQ(text(sum({u"150", u"150"})), "300");
    // Ten times 0.1 is not 1 in binary floating point.
    EXPECT_EQ(text(sum({u"0.1", u"0.1", u"0.1", u"0.1", u"0.1", u"0.1", u"0.1", u"0.1", u"0.1", u"0.1"})), "1");
    EXPECT_EQ(text(sum({u"0.07", u"0.93"})), "1");
    EXPECT_EQ(text(sum({u"99999999999999999999.99", u"0.01"})), "100000000000000000000");
    EXPECT_EQ(text(sum({u"123456789012345678.91", u"0.09"})), "123456789012345679");
}

TEST(DecimalTest, AddsNegativeAmounts) {
    EXPECT_EQ(text(sum({u"-0.5", u"0.5"})), "0");
    EXPECT_EQ(text(sum({u"100", u"-0.01"})), "99.99");
    EXPECT_EQ(text(sum({u"0.01", u"-100"})), "-99.99");
    EXPECT_EQ(text(sum({u"-1.5", u"-2.75"})), "-4.25");
    EXPECT_EQ(text(sum({u"1000", u"-999.999"})), "0.001");
    EXPECT_TRUE(sum({u"-3", u"3"}).isZero());
    EXPECT_FALSE(sum({u"-3", u"3"}).isNegative());
}

TEST(DecimalTest, EqualValuesCompareEqualWhateverTheirForm) {
    EXPECT_EQ(*Decimal::Parse(u"1.50"_s), *Decimal::Parse(u"01.5"_s));
    EXPECT_EQ(sum({u"0.25", u"0.25"}), *Decimal::Parse(u"0.5"_s));
    EXPECT_EQ(sum({u"-1", u"1"}), Decimal());
    EXPECT_FALSE(*Decimal::Parse(u"1.5"_s) == *Decimal::Parse(u"15"_s));
    EXPECT_FALSE(*Decimal::Parse(u"-2"_s) == *Decimal::Parse(u"2"_s));
}

} // namespace
