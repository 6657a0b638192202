#include "NumberFormat.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace nimbrel {

namespace {

// Significant digits a double carries through the float formatter.
constexpr int kSignificantDigits = 15;

// A finite value as decimal digits: value = 0.d1d2d3... × 10^pointPos, i.e.
// pointPos digits stand before the decimal point (none when pointPos <= 0).
// Zero has no digits.
struct DecimalDigits {
    bool negative = false;
    std::string digits;
    int pointPos = 0;
};

DecimalDigits shortestDigits(double value)
{
    DecimalDigits d;
    d.negative = std::signbit(value);
    if (value == 0.0)
        return d;
    // Shortest round-trip text in scientific form: "-1.01325e+03".
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
    const std::string text(buf, res.ptr);
    const auto e = text.find('e');
    for (std::size_t i = 0; i < e; ++i) {
        if (text[i] != '.')
            d.digits.push_back(text[i]);
    }
    d.pointPos = std::stoi(text.substr(e + 1)) + 1;
    return d;
}

// Keeps the first `keep` digits, rounding half away from zero on the digit
// that follows. keep <= 0 rounds at or before the first digit.
void roundDigits(DecimalDigits &d, int keep)
{
    const int size = static_cast<int>(d.digits.size());
    if (keep >= size)
        return;
    if (keep < 0) {
        d.digits.clear();
        return;
    }
    const bool up = d.digits[keep] >= '5';
    d.digits.resize(keep);
    if (!up)
        return;
    int i = keep - 1;
    while (i >= 0 && d.digits[i] == '9') {
        d.digits[i] = '0';
        --i;
    }
    if (i >= 0) {
        ++d.digits[i];
    } else {
        d.digits.insert(d.digits.begin(), '1');
        ++d.pointPos;
    }
}

bool isZero(const DecimalDigits &d)
{
    return d.digits.find_first_not_of('0') == std::string::npos;
}

// The digit at position p counted from the first digit; zeros outside.
char digitAt(const DecimalDigits &d, int p)
{
    return p >= 0 && p < static_cast<int>(d.digits.size()) ? d.digits[p] : '0';
}

QString nonFiniteText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

DecimalDigits significantDigits(double value)
{
    DecimalDigits d = shortestDigits(value);
    roundDigits(d, kSignificantDigits);
    return d;
}

}  // namespace

QString formatFixed(double value, int decimals, QChar decimalSeparator)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    decimals = std::max(decimals, 0);

    DecimalDigits d = significantDigits(value);
    roundDigits(d, d.pointPos + decimals);

    QString out;
    if (d.negative && !isZero(d))
        out += QLatin1Char('-');
    if (d.pointPos <= 0) {
        out += QLatin1Char('0');
    } else {
        for (int p = 0; p < d.pointPos; ++p)
            out += QLatin1Char(digitAt(d, p));
    }
    if (decimals > 0) {
        out += decimalSeparator;
        for (int i = 0; i < decimals; ++i)
            out += QLatin1Char(digitAt(d, d.pointPos + i));
    }
    return out;
}

QString formatFixed(double value, int decimals)
{
    return formatFixed(value, decimals, localeDecimalSeparator());
}

QString formatTrimmed(double value, int decimals)
{
    QString s = formatFixed(value, decimals, QLatin1Char('.'));
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    return s == QLatin1String("-0") ? QStringLiteral("0") : s;
}

QString formatFloat(QStringView pattern, double value, QChar decimalSeparator)
{
    int decimals = 0;
    const qsizetype point = pattern.indexOf(QLatin1Char('.'));
    if (point >= 0)
        decimals = static_cast<int>(pattern.mid(point + 1).count(QLatin1Char('0')));
    return formatFixed(value, decimals, decimalSeparator);
}

QString formatFloat(QStringView pattern, double value)
{
    return formatFloat(pattern, value, localeDecimalSeparator());
}

QString formatGeneral(double value, QChar decimalSeparator)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    DecimalDigits d = significantDigits(value);
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.digits.empty())
        return QStringLiteral("0");

    QString out;
    if (d.negative)
        out += QLatin1Char('-');
    const int size = static_cast<int>(d.digits.size());
    if (d.pointPos > kSignificantDigits || d.pointPos < -4) {
        out += QLatin1Char(d.digits[0]);
        if (size > 1) {
            out += decimalSeparator;
            out += QLatin1String(d.digits.data() + 1, size - 1);
        }
        out += QLatin1Char('E');
        out += QString::number(d.pointPos - 1);
        return out;
    }
    if (d.pointPos <= 0) {
        out += QLatin1Char('0');
    } else {
        for (int p = 0; p < d.pointPos; ++p)
            out += QLatin1Char(digitAt(d, p));
    }
    if (size > d.pointPos) {
        out += decimalSeparator;
        for (int p = d.pointPos; p < size; ++p)
            out += QLatin1Char(digitAt(d, p));
    }
    return out;
}

QString formatGeneral(double value) { return formatGeneral(value, localeDecimalSeparator()); }

QChar localeDecimalSeparator()
{
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QLatin1Char('.') : point.front();
}

int truncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

}  // namespace nimbrel
