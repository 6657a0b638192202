// Unit conversions as the user sees them (converted and formatted), the
// number formatter's rounding, the date-format notation and the pressure at
// the station's altitude.
#include "DateFormat.h"
#include "NumberFormat.h"
#include "StationPressure.h"
#include "Units.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace nimbrel;

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Restores the default locale a test changed.
class DefaultLocaleGuard {
public:
    ~DefaultLocaleGuard() { QLocale::setDefault(saved_); }

private:
    QLocale saved_;
};

TEST(UnitConversion, ConvertedValuesShowAsTheUserSeesThem)
{
    constexpr int C = unitCode(TemperatureUnit::Celsius);
    constexpr int F = unitCode(TemperatureUnit::Fahrenheit);
    constexpr int hPa = unitCode(PressureUnit::Hpa);
    constexpr int mBar = unitCode(PressureUnit::MBar);
    constexpr int mmHg = unitCode(PressureUnit::MmHg);
    constexpr int inHg = unitCode(PressureUnit::InchHg);
    constexpr int kmh = unitCode(SpeedUnit::Kmh);
    constexpr int mph = unitCode(SpeedUnit::Mph);
    constexpr int ms = unitCode(SpeedUnit::Ms);
    constexpr int kn = unitCode(SpeedUnit::Knots);
    constexpr int inch = unitCode(RainUnit::Inch);
    constexpr int mm = unitCode(RainUnit::Mm);
    constexpr int uvi = unitCode(UvUnit::Uvi);
    constexpr int med = unitCode(UvUnit::MedPerHour);

    struct Row {
        const char *situation;
        double value;
        const char *pattern;
        const char *text;
    };
    const Row rows[] = {
        {"20 °C in Celsius", temperatureInUnit(20, C), "0.0", "20.0"},
        {"20 °C in Fahrenheit", temperatureInUnit(20, F), "0.0", "68.0"},
        {"-40 °C in Celsius", temperatureInUnit(-40, C), "0.0", "-40.0"},
        {"-40 °C in Fahrenheit is the same number", temperatureInUnit(-40, F), "0.0", "-40.0"},
        {"36.6 °C in Fahrenheit, two decimals", temperatureInUnit(36.6, F), "0.00", "97.88"},
        {"36.6 °C in Fahrenheit, one decimal", temperatureInUnit(36.6, F), "0.0", "97.9"},
        {"-17.8 °C is -0.04 °F, shown without a sign", temperatureInUnit(-17.8, F), "0.0", "0.0"},
        {"unknown temperature code stays Celsius", temperatureInUnit(20, 2), "0.0", "20.0"},

        {"1013.25 hPa in hPa rounds the tie up", pressureInUnit(1013.25, hPa), "0.0", "1013.3"},
        {"1013.25 hPa in mBar", pressureInUnit(1013.25, mBar), "0.0", "1013.3"},
        {"1013.25 hPa in mmHg (759.998)", pressureInUnit(1013.25, mmHg), "0.0", "760.0"},
        {"1013.25 hPa in inchHg", pressureInUnit(1013.25, inHg), "0.0", "29.9"},
        {"unknown pressure code 4 stays hPa", pressureInUnit(1013.25, 4), "0.0", "1013.3"},
        {"negative pressure code stays hPa", pressureInUnit(1013.25, -1), "0.0", "1013.3"},

        {"10 mph in km/h", speedInUnit(10, kmh), "0.0", "16.1"},
        {"10 mph in mph", speedInUnit(10, mph), "0.0", "10.0"},
        {"10 mph in m/s", speedInUnit(10, ms), "0.0", "4.5"},
        {"10 mph in knots", speedInUnit(10, kn), "0.0", "8.7"},
        {"250 mph is not a reading, km/h", speedInUnit(250, kmh), "0.0", "0.0"},
        {"250 mph is not a reading, mph", speedInUnit(250, mph), "0.0", "0.0"},
        {"250 mph is not a reading, m/s", speedInUnit(250, ms), "0.0", "0.0"},
        {"250 mph is not a reading, knots", speedInUnit(250, kn), "0.0", "0.0"},
        {"200 mph is still a reading", speedInUnit(200, kmh), "0.0", "322.0"},
        {"200.1 mph is not", speedInUnit(200.1, mph), "0.0", "0.0"},
        {"unknown speed code shows every speed as 0", speedInUnit(10, 4), "0.0", "0.0"},
        {"negative speed code too", speedInUnit(10, -1), "0.0", "0.0"},

        {"100 tips in inches", rainInUnit(100, inch), "0.00", "2.71"},
        {"100 tips in mm, day figure", rainInUnit(100, mm), "0.0", "68.8"},
        {"100 tips in mm, period figure", rainInUnit(100, mm), "0.00", "68.75"},
        {"150 tips in inches: 4.065, not its binary 4.06499...", rainInUnit(150, inch), "0.00", "4.07"},
        {"2000 tips is still a reading", rainInUnit(2000, inch), "0.00", "54.20"},
        {"2001 tips is not", rainInUnit(2001, mm), "0.00", "0.00"},
        {"unknown rain code is millimetres", rainInUnit(100, 2), "0.0", "68.8"},
        {"negative tip difference rounds away from zero", rainInUnit(-10, mm), "0.0", "-6.9"},

        {"UV 5 as UV index", uvInUnit(5, uvi), "0.0", "5.0"},
        {"UV 5 in MED/h", uvInUnit(5, med), "0.0", "2.1"},
        {"UV 125 in MED/h: 52.95, not 52.9499...", uvInUnit(125, med), "0.0", "53.0"},
        {"unknown UV code stays UV index", uvInUnit(5, 2), "0.0", "5.0"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(formatFloat(QString::fromUtf8(r.pattern), r.value, QLatin1Char('.')),
                  QString::fromUtf8(r.text))
            << r.situation;
}

TEST(UnitConversion, FahrenheitTruncatesToTheWholeDegree)
{
    // Axis bounds and comparisons truncate toward zero: a result a hair on
    // the near side of zero (67.99999..., -39.99999...) would lose a degree.
    struct Row {
        const char *situation;
        double celsius;
        int fahrenheit;
    };
    const Row rows[] = {
        {"freezing", 0, 32},
        {"room", 20, 68},
        {"boiling", 100, 212},
        {"both scales meet", -40, -40},
        {"hot day", 35, 95},
        {"frost", -25, -13},
        {"tenths that sum to a whole degree", 37.5, 99},
        {"negative tenths", -12.5, 9},
    };
    for (const Row &r : rows)
        EXPECT_EQ(truncateToInt(fahrenheitFromCelsius(r.celsius)), r.fahrenheit) << r.situation;
}

TEST(UnitConversion, FahrenheitUsesTheDoubleOneFifthInExtendedPrecision)
{
    if constexpr (sizeof(long double) <= sizeof(double))
        GTEST_SKIP() << "long double is double here";
    // -40 × 9 × 0.2000000000000000111 = -72.000000000000004 survives in long
    // double and lands one double step below -40; × 1.8 or × 0.2L give -40.
    EXPECT_EQ(fahrenheitFromCelsius(-40), std::nextafter(-40.0, -100.0));
    EXPECT_EQ(fahrenheitFromCelsius(20), 68.0);
    EXPECT_EQ(formatFixed(fahrenheitFromCelsius(-40), 1, QLatin1Char('.')), QStringLiteral("-40.0"));
}

TEST(UnitConversion, HistoryFieldsApplyNoPlausibilityRule)
{
    struct Row {
        const char *situation;
        double value;
        const char *text;
    };
    const Row rows[] = {
        {"PressPa is the stored hPa", historyPressPa(1013.25), "1013.3"},
        {"PressMm", historyPressMm(1013.25), "760.0"},
        {"PressIn", historyPressIn(1013.25), "29.9"},
        {"TempDoorF", historyTempF(20), "68.0"},
        {"TempCHnF below zero", historyTempF(-40), "-40.0"},
        {"WindSpeedKm keeps 250 mph", historyWindSpeedKm(250), "402.5"},
        {"WindSpeedm keeps 250 mph", historyWindSpeedM(250), "112.5"},
        {"WindSpeedk keeps 250 mph", historyWindSpeedK(250), "217.5"},
        {"WindSpeedKm of 10 mph", historyWindSpeedKm(10), "16.1"},
        {"UVmed", historyUvMed(5), "2.1"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(formatFixed(r.value, 1, QLatin1Char('.')), QString::fromUtf8(r.text)) << r.situation;
}

TEST(UnitConversion, SelectorItemsInCodeOrder)
{
    struct Row {
        const char *situation;
        QStringList items;
        QStringList expected;
    };
    const Row rows[] = {
        {"temperature", temperatureUnitNames(), {"C", "F"}},
        {"pressure", pressureUnitNames(), {"hPa", "mBar", "mmHg", "inchHg"}},
        {"speed", speedUnitNames(), {"km/h", "mph", "m/s", "knots"}},
        {"rain", rainUnitNames(), {"inch", "mm"}},
        {"UV", uvUnitNames(), {"UVI", "MED/h"}},
    };
    for (const Row &r : rows)
        EXPECT_EQ(r.items, r.expected) << r.situation;

    EXPECT_EQ(pressureUnitName(unitCode(PressureUnit::InchHg)), QStringLiteral("inchHg"));
    EXPECT_EQ(speedUnitName(unitCode(SpeedUnit::Ms)), QStringLiteral("m/s"));
    EXPECT_EQ(uvUnitName(unitCode(UvUnit::MedPerHour)), QStringLiteral("MED/h"));
    EXPECT_TRUE(temperatureUnitName(2).isEmpty());
    EXPECT_TRUE(rainUnitName(-1).isEmpty());
    EXPECT_TRUE(speedUnitName(4).isEmpty());
}

TEST(NumberFormat, RoundsHalfAwayFromZeroOnDecimalDigits)
{
    struct Row {
        const char *situation;
        double value;
        int decimals;
        const char *text;
    };
    const Row rows[] = {
        {"binary-exact tie rounds up, printf would give 1013.2", 1013.25, 1, "1013.3"},
        {"binary-exact tie at two decimals", 0.125, 2, "0.13"},
        {"2.675 is 2.67499... in binary but written 2.675", 2.675, 2, "2.68"},
        {"1.005 is 1.00499... in binary", 1.005, 2, "1.01"},
        {"three decimals", 1.0005, 3, "1.001"},
        {"integer pattern, tie", 0.5, 0, "1"},
        {"integer pattern, ties do not go to even", 2.5, 0, "3"},
        {"integer pattern, 1.5", 1.5, 0, "2"},
        {"negative tie rounds away from zero", -0.05, 1, "-0.1"},
        {"negative integer tie", -2.5, 0, "-3"},
        {"negative value rounding to zero has no sign", -0.04, 1, "0.0"},
        {"negative zero has no sign", -0.0, 1, "0.0"},
        {"tiny negative value", -1e-300, 2, "0.00"},
        {"zero, integer pattern", 0.0, 0, "0"},
        {"below one, leading zero kept", 0.05, 1, "0.1"},
        {"just below the tie", 0.0499, 1, "0.0"},
        {"rounds up from the digit before the first significant one", 0.06, 1, "0.1"},
        {"too small to reach the last place", 0.006, 1, "0.0"},
        {"carry into a new digit", 9.95, 1, "10.0"},
        {"carry through nines", 99.96, 1, "100.0"},
        {"negative carry", -99.95, 1, "-100.0"},
        {"carry to one", 0.999, 2, "1.00"},
        {"padding with zeros", 12.0, 2, "12.00"},
        {"negative with padding", -3.5, 2, "-3.50"},
        {"large value written out", 123456789.0, 2, "123456789.00"},
        {"very large value written out", 1e20, 1, "100000000000000000000.0"},
        {"noise beyond 15 digits is ignored", 0.1 + 0.2, 17, "0.30000000000000000"},
        {"noise below a tie does not round down", 4.0649999999999995, 2, "4.07"},
        {"16 significant digits are cut to 15", 1234.5678901234567, 11, "1234.56789012346"},
        {"negative decimals count as none", 2.5, -1, "3"},
        {"not a number", kNan, 1, "NAN"},
        {"infinity", kInf, 1, "INF"},
        {"negative infinity", -kInf, 2, "-INF"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(formatFixed(r.value, r.decimals, QLatin1Char('.')), QString::fromUtf8(r.text))
            << r.situation;
}

TEST(NumberFormat, PatternsAndSeparators)
{
    struct Row {
        const char *situation;
        const char *pattern;
        double value;
        char separator;
        const char *text;
    };
    const Row rows[] = {
        {"one decimal, point", "0.0", 1013.25, '.', "1013.3"},
        {"one decimal, comma", "0.0", 1013.25, ',', "1013,3"},
        {"two decimals, comma", "0.00", 68.75, ',', "68,75"},
        {"negative, comma", "0.0", -0.05, ',', "-0,1"},
        {"integer pattern has no separator", "0", 2.5, ',', "3"},
        {"three decimals", "0.000", 2.0, '.', "2.000"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(formatFloat(QString::fromLatin1(r.pattern), r.value, QLatin1Char(r.separator)),
                  QString::fromUtf8(r.text))
            << r.situation;
}

TEST(NumberFormat, DefaultLocaleGivesTheSeparator)
{
    DefaultLocaleGuard guard;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(localeDecimalSeparator(), QLatin1Char(','));
    EXPECT_EQ(formatFixed(1013.25, 1), QStringLiteral("1013,3"));
    EXPECT_EQ(formatFloat(kPatternTwoDecimals, 2.675), QStringLiteral("2,68"));
    EXPECT_EQ(formatFloat(kPatternOneDecimal, -0.04), QStringLiteral("0,0"));
    EXPECT_EQ(formatFloat(kPatternInteger, 0.5), QStringLiteral("1"));
    EXPECT_EQ(formatGeneral(0.5), QStringLiteral("0,5"));
    EXPECT_EQ(formatStationPressure(1000, 0, 100, 20, unitCode(PressureUnit::Hpa)),
              QStringLiteral("988,2"));

    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(localeDecimalSeparator(), QLatin1Char('.'));
    EXPECT_EQ(formatFixed(1013.25, 1), QStringLiteral("1013.3"));
}

TEST(NumberFormat, GeneralTextOfChartHints)
{
    struct Row {
        const char *situation;
        double value;
        const char *text;
    };
    const Row rows[] = {
        {"whole negative position", -5, "-5"},
        {"zero", 0, "0"},
        {"negative zero", -0.0, "0"},
        {"fraction", 0.5, "0.5"},
        {"fraction keeps its digits", 1013.25, "1013.25"},
        {"small fraction in fixed form", 0.00001, "0.00001"},
        {"smaller goes scientific", 1.5e-6, "1.5E-6"},
        {"15 integer digits stay fixed", 123456789012345.0, "123456789012345"},
        {"16 integer digits go scientific", 1e15, "1E15"},
        {"large", 1e20, "1E20"},
        {"negative large with fraction", -2.5e20, "-2.5E20"},
        {"noise beyond 15 digits is dropped", 0.1 + 0.2, "0.3"},
        {"not a number", kNan, "NAN"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(formatGeneral(r.value, QLatin1Char('.')), QString::fromUtf8(r.text)) << r.situation;
}

TEST(NumberFormat, TruncationTowardZero)
{
    struct Row {
        const char *situation;
        double value;
        int truncated;
    };
    const Row rows[] = {
        {"positive", 2.9, 2},
        {"negative goes up", -2.9, -2},
        {"small negative is zero", -0.5, 0},
        {"not a number", kNan, 0},
        {"above the int range saturates", 1e12, std::numeric_limits<int>::max()},
        {"below the int range saturates", -1e12, std::numeric_limits<int>::min()},
    };
    for (const Row &r : rows)
        EXPECT_EQ(truncateToInt(r.value), r.truncated) << r.situation;
}

TEST(StationPressure, ReducedToTheAltitude)
{
    constexpr int hPa = unitCode(PressureUnit::Hpa);
    constexpr int mmHg = unitCode(PressureUnit::MmHg);
    constexpr int inHg = unitCode(PressureUnit::InchHg);
    struct Row {
        const char *situation;
        double pressureHpa;
        int invalid;
        int altitudeM;
        double indoorC;
        int unit;
        const char *text;
    };
    const Row rows[] = {
        {"100 m at 20 °C", 1000, 0, 100, 20, hPa, "988.2"},
        {"200 m at 20 °C", 1013, 0, 200, 20, hPa, "989.2"},
        {"colder air, lower pressure", 1000, 0, 100, -20, hPa, "986.3"},
        {"warmer air, higher pressure", 1000, 0, 100, 40, hPa, "988.9"},
        {"below sea level the pressure rises", 1000, 0, -100, 20, hPa, "1012.0"},
        {"1000 m", 1000, 0, 1000, 20, hPa, "887.7"},
        {"converted before the reduction, mmHg", 1013.25, 0, 200, 20, mmHg, "742.1"},
        {"converted before the reduction, inchHg", 1013.25, 0, 200, 20, inHg, "29.2"},
        {"invalid pressure", 1000, 1, 100, 20, hPa, "----,-"},
        {"any non-zero state is invalid", 1000, 0x8000, 0, 20, mmHg, "----,-"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(formatStationPressure(r.pressureHpa, r.invalid, r.altitudeM, r.indoorC, r.unit,
                                        QLatin1Char('.')),
                  QString::fromUtf8(r.text))
            << r.situation;
}

TEST(StationPressure, AltitudeZeroShowsTheSeaLevelFigure)
{
    for (int unit = -1; unit <= 4; ++unit) {
        for (const double indoorC : {-30.0, 0.0, 20.0, 45.5}) {
            EXPECT_EQ(formatStationPressure(1013.25, 0, 0, indoorC, unit, QLatin1Char('.')),
                      formatFixed(pressureInUnit(1013.25, unit), 1, QLatin1Char('.')))
                << "unit " << unit << ", indoor " << indoorC;
        }
    }
    EXPECT_EQ(stationPressure(1013.25, 0, 20), 1013.25);
}

TEST(DateFormat, TranslatesToQtFormats)
{
    struct Row {
        const char *situation;
        const char *pattern;
        const char *qtFormat;
    };
    const Row rows[] = {
        {"clock date", "dd mmmm yyyy", "dd MMMM yyyy"},
        {"clock time", "hh:mm:ss", "HH:mm:ss"},
        {"hour without leading zero", "h:mm", "H:mm"},
        {"time stamps of extremes", "dd.mm.yyyy hh:mm", "dd.MM.yyyy HH:mm"},
        {"week axis: month, then minutes", "d.mm hh:mm", "d.MM HH:mm"},
        {"month axis", "d mmmm yy", "d MMMM yy"},
        {"day labels", "dd.mm.yy", "dd.MM.yy"},
        {"month labels", "mmmm yy", "MMMM yy"},
        {"year labels", "yyyy", "yyyy"},
        {"weekday names", "dddd ddd", "dddd ddd"},
        {"mm alone is the month", "mm", "MM"},
        {"m alone is the month", "m", "M"},
        {"n is always minutes", "hh:nn n", "HH:mm m"},
        {"minutes after nn are months again", "hh:nn mm", "HH:mm MM"},
        {"a blank keeps the hour link", "hh mm", "HH mm"},
        {"a quoted literal keeps the hour link", "hh'h'mm", "HH'h'mm"},
        {"another letter breaks the hour link", "hhxmm", "HH'x'MM"},
        {"upper-case specifiers", "DD.MM.YYYY HH:MM", "dd.MM.yyyy HH:mm"},
        {"one and three y", "y yyy", "yy yyyy"},
        {"separators stay literal", "yy/mm/dd", "yy/MM/dd"},
        {"double-quoted literal with an apostrophe", "h\"o'clock\"", "H'o''clock'"},
        {"unclosed quote runs to the end", "hh 'at", "HH' at'"},
        {"milliseconds", "ss.zzz", "ss.zzz"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(toQtDateTimeFormat(QString::fromUtf8(r.pattern), QLocale(QLocale::English)),
                  QString::fromUtf8(r.qtFormat))
            << r.situation;
}

TEST(DateFormat, TextsWithTheLocaleNames)
{
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QDateTime sunday(QDate(2025, 12, 7), QTime(9, 5, 3, 45));
    const QDateTime lateMarch(QDate(2005, 3, 31), QTime(23, 59, 59));
    struct Row {
        const char *situation;
        QLocale locale;
        QDateTime when;
        const char *pattern;
        const char *text;
    };
    const Row rows[] = {
        {"clock date, Russian month after a day", ru, sunday, "dd mmmm yyyy", "07 декабря 2025"},
        {"clock date, English", en, sunday, "dd mmmm yyyy", "07 December 2025"},
        {"March after a day", ru, lateMarch, "d mmmm yy", "31 марта 05"},
        {"month without a day stands alone", ru, sunday, "mmmm yy", "декабрь 25"},
        {"March standing alone", ru, lateMarch, "mmmm yyyy", "март 2005"},
        {"month without a day, English", en, sunday, "mmmm yy", "December 25"},
        {"long weekday, Russian", ru, sunday, "dddd", "воскресенье"},
        {"long weekday, English", en, sunday, "dddd", "Sunday"},
        {"short weekday, English", en, sunday, "ddd", "Sun"},
        {"clock time", ru, sunday, "hh:mm:ss", "09:05:03"},
        {"hour without leading zero", ru, sunday, "h:mm", "9:05"},
        {"24-hour clock", en, lateMarch, "h:mm", "23:59"},
        {"time stamp of an extreme", ru, sunday, "dd.mm.yyyy hh:mm", "07.12.2025 09:05"},
        {"week axis", ru, sunday, "d.mm hh:mm", "7.12 09:05"},
        {"day label", ru, sunday, "dd.mm.yy", "07.12.25"},
        {"two-digit year keeps its zero", ru, lateMarch, "yy", "05"},
        {"month number without leading zero", ru, lateMarch, "m", "3"},
        {"minute without leading zero after h", ru, sunday, "h:m", "9:5"},
        {"explicit minutes", ru, sunday, "n:ss", "5:03"},
        {"milliseconds", ru, sunday, "ss.zzz z", "03.045 45"},
        {"quoted literals", en, sunday, "'Day' d \"of\" yyyy", "Day 7 of 2025"},
        {"year label", en, sunday, "yyyy", "2025"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(formatDateTime(r.when, QString::fromUtf8(r.pattern), r.locale),
                  QString::fromUtf8(r.text))
            << r.situation;

    EXPECT_EQ(formatDateTime(QDateTime(), QStringLiteral("dd.mm.yyyy"), ru), QString());
    EXPECT_EQ(formatDateTime(sunday, QStringLiteral("ddddd"), ru), ru.toString(sunday.date(), QLocale::ShortFormat));
    EXPECT_EQ(formatDateTime(sunday, QStringLiteral("dddddd"), en), en.toString(sunday.date(), QLocale::LongFormat));
}

TEST(DateFormat, QtFormatGivesTheSameTextAsTheFormatter)
{
    // Chart axes format through Qt; labels through formatDateTime. Both must
    // agree wherever a month name follows a day (Qt has no stand-alone form).
    const char *const patterns[] = {
        "dd mmmm yyyy", "hh:mm:ss", "h:mm", "dd.mm.yyyy hh:mm", "d.mm hh:mm",
        "d mmmm yy",    "dd.mm.yy", "yyyy", "dddd",             "ddd d mmm",
    };
    const QLocale locales[] = {QLocale(QLocale::Russian, QLocale::Russia),
                               QLocale(QLocale::English, QLocale::UnitedStates)};
    const QDateTime moments[] = {
        QDateTime(QDate(2025, 12, 7), QTime(9, 5, 3)),
        QDateTime(QDate(2024, 2, 29), QTime(0, 0, 0)),
        QDateTime(QDate(2001, 5, 1), QTime(23, 59, 59)),
    };
    for (const char *p : patterns) {
        const QString pattern = QString::fromLatin1(p);
        for (const QLocale &locale : locales) {
            for (const QDateTime &when : moments) {
                EXPECT_EQ(formatDateTime(when, pattern, locale),
                          locale.toString(when, toQtDateTimeFormat(pattern, locale)))
                    << p << " " << qPrintable(locale.name()) << " "
                    << qPrintable(when.toString(Qt::ISODate));
            }
        }
    }
}

}  // namespace
