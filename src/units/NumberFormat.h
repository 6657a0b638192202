// The one number formatter of the program: the "0", "0.0" and "0.00" texts of
// every value, chart hint and axis bound.
//
// Rounding is half away from zero on the decimal digits of the value, not on
// its binary fraction: 1013.25 → "1013.3", 0.125 → "0.13", 2.675 → "2.68"
// (printf gives "1013.2", "0.12", "2.67"). The digits are the shortest
// decimal text that reads back as the same double, cut to 15 significant
// digits (half away from zero) before the final rounding: beyond 15 digits a
// double holds arithmetic noise, and 150 tips × 0.0271 inch, computed as
// 4.0649999999999995, shows as "4.07" like the exact product 4.065.
//
// A value that rounds to zero shows without a sign: -0.04 → "0.0", not
// "-0.0". Not-a-number shows as "NAN", infinities as "INF" and "-INF".
// There are no thousands separators; large values are written out in full.
#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

namespace nimbrel {

// Patterns of the float formatter: digits after the point.
inline constexpr char16_t kPatternInteger[] = u"0";
inline constexpr char16_t kPatternOneDecimal[] = u"0.0";
inline constexpr char16_t kPatternTwoDecimals[] = u"0.00";

// value with exactly `decimals` digits after the separator (none and no
// separator for 0; a negative count counts as 0).
QString formatFixed(double value, int decimals, QChar decimalSeparator);
// The same with the decimal separator of the default locale (QLocale()).
QString formatFixed(double value, int decimals);

// As formatFixed with a point, without needless zeros and never "-0", for
// machine-read texts (query strings, line protocol): 21.50 → "21.5",
// -0.04 with one decimal → "0".
QString formatTrimmed(double value, int decimals);

// The same driven by a pattern: "0", "0.0", "0.00"; the number of '0' after
// the first '.' is the number of decimals.
QString formatFloat(QStringView pattern, double value, QChar decimalSeparator);
QString formatFloat(QStringView pattern, double value);

// The general float text of chart hints: up to 15 significant digits, no
// trailing zeros, separator only when there is a fraction (-5 → "-5",
// 0.5 → "0.5"); scientific ("1E20", "1,5E-6") for more than 15 integer
// digits or magnitudes below 0.00001.
QString formatGeneral(double value, QChar decimalSeparator);
QString formatGeneral(double value);

// The decimal separator of the default locale.
QChar localeDecimalSeparator();

// Truncation toward zero for floating values that become integers (image
// indices, axis bounds, trend comparisons); saturates at the int range,
// not-a-number gives 0.
int truncateToInt(double value);

}  // namespace nimbrel
