// nimbrel-tool astro, run as a user runs it: the sun, moon, daylight-saving
// and calendar labels for a local clock and a location, and clear refusals
// of bad arguments.
#include "support/ProcessRun.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace {

using Result = nimbrel::test::ProcessRun;

Result runAstro(const QStringList &arguments, const QString &locale = QStringLiteral("en_US.UTF-8"))
{
    const Result r = nimbrel::test::runProcess(QStringLiteral(NIMBREL_TOOL), QStringList{QStringLiteral("astro")} + arguments,
                                               {}, {{QStringLiteral("LC_ALL"), locale}}, 20000);
    if (r.exitCode == -1)
        ADD_FAILURE() << "nimbrel-tool did not finish";
    return r;
}

// --at and the location as the station or the city table holds it.
QStringList place(const char *at, int lat, int latMin, int lon, int lonMin, int hemispheres, double zone, int dst)
{
    return {QStringLiteral("--at"),          QString::fromLatin1(at),
            QStringLiteral("--lat"),         QString::number(lat),
            QStringLiteral("--latmin"),      QString::number(latMin),
            QStringLiteral("--lon"),         QString::number(lon),
            QStringLiteral("--lonmin"),      QString::number(lonMin),
            QStringLiteral("--hemispheres"), QString::number(hemispheres),
            QStringLiteral("--zone"),        QString::number(zone),
            QStringLiteral("--dst"),         QString::number(dst)};
}

std::string text(const QJsonValue &v)
{
    return v.toString().toStdString();
}

TEST(ToolAstro, LabelsForRealPlacesAndDays)
{
    struct Row {
        const char *situation;
        QStringList arguments;
        const char *locale;
        const char *voshod, *zahod, *dlinaDny, *voshodMoon, *zahodMoon;
        int moonPicture, earthPicture, dstActive;
        const char *dst, *weekday, *week, *day;
    };
    const Row rows[] = {
        {"Moscow, 21 June 2024, computed at 12:00", place("2024-06-21T12:00:00", 55, 45, 37, 37, 1, 3, 8), "en_US.UTF-8",
         "3:44", "21:18", "17:34", "21:46", "2:12", 18, 1, 0, "Irkutsk, Moscow DST", "Friday", "25", "173/193"},
        {"Los Angeles, 15 January 2024 at 23:00, Russian weekday", place("2024-01-15T23:00:00", 34, 3, 118, 15, 0, -8, 14),
         "ru_RU.UTF-8", "6:58", "17:06", "10:08", "10:07", "22:14", 7, 0, 0, "Syandard American DST", "Понедельник", "3",
         "15/351"},
        {"New York, 15 March 2024: summer time already in force", place("2024-03-15T12:00:00", 40, 43, 74, 0, 0, -5, 14),
         "en_US.UTF-8", "7:06", "19:03", "11:57", "9:59", "0:43", 8, 5, 1, "Syandard American DST", "Friday", "11",
         "75/291"},
        {"Murmansk, 15 December 2024: polar night, the Moon never sets", place("2024-12-15T12:00:00", 68, 58, 33, 5, 1, 3, 8),
         "en_US.UTF-8", " ", " ", " ", "24:00", "24:00", 20, 2, 0, "Irkutsk, Moscow DST", "Sunday", "50", "350/16"},
        {"Murmansk, 21 June 2024: polar day, the Moon never rises", place("2024-06-21T12:00:00", 68, 58, 33, 5, 1, 3, 8),
         "en_US.UTF-8", "24:00", "24:00", "24:00", " ", " т", 18, 1, 0, "Irkutsk, Moscow DST", "Friday", "25", "173/193"},
        {"Sydney, 31 December 2024 at 20:00, summer time, young moon: week 1 of 2025", place("2024-12-31T20:00:00", 33, 52, 151, 13, 3, 10, 1),
         "en_US.UTF-8", "5:46", "20:09", "14:23", "5:26", "20:46", 2, 1, 1, "Australian DST", "Tuesday", "1", "366/0"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        const Result r = runAstro(row.arguments, QString::fromLatin1(row.locale));
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(text(r.json.value("VoshodL")), row.voshod);
        EXPECT_EQ(text(r.json.value("ZahodL")), row.zahod);
        EXPECT_EQ(text(r.json.value("DlinaDnyL")), row.dlinaDny);
        EXPECT_EQ(text(r.json.value("VoshodMoonL")), row.voshodMoon);
        EXPECT_EQ(text(r.json.value("ZahodMoonL")), row.zahodMoon);
        EXPECT_EQ(r.json.value("moonPicture").toInt(-1), row.moonPicture);
        EXPECT_EQ(r.json.value("earthPicture").toInt(-1), row.earthPicture);
        EXPECT_EQ(r.json.value("dstActive").toInt(-1), row.dstActive);
        EXPECT_EQ(text(r.json.value("DSTL")), row.dst);
        EXPECT_EQ(text(r.json.value("WeekDayL")), row.weekday);
        EXPECT_EQ(text(r.json.value("NumWeekL")), row.week);
        EXPECT_EQ(text(r.json.value("NumDayL")), row.day);
    }
}

TEST(ToolAstro, PrintsExactlyTheLabelsAndValues)
{
    const Result r = runAstro(place("2024-06-21T12:00:00", 55, 45, 37, 37, 1, 3, 8));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QStringList keys = r.json.keys();
    keys.sort();
    QStringList expected{"sunrise",     "sunset",      "moonrise",       "moonset",     "VoshodL",
                         "ZahodL",      "DlinaDnyL",   "VoshodMoonL",    "ZahodMoonL",  "moonPhaseAngle",
                         "moonPicture", "earthPicture", "dstActive",     "DSTL",        "WeekDayL",
                         "NumWeekL",    "NumDayL"};
    expected.sort();
    EXPECT_EQ(keys, expected);
    // Hours and the angle are numbers, not texts.
    EXPECT_NEAR(r.json.value("sunrise").toDouble(-1), 3.7448, 1e-3);
    EXPECT_NEAR(r.json.value("sunset").toDouble(-1), 21.3036, 1e-3);
    EXPECT_NEAR(r.json.value("moonPhaseAngle").toDouble(-1000), 173.12, 0.01);
    EXPECT_TRUE(r.json.value("moonrise").isDouble());
    EXPECT_TRUE(r.json.value("moonset").isDouble());
}

TEST(ToolAstro, RecordTimeAndRuleCodes)
{
    // Berlin at 15:00 on 21 June 2024: with a summer reading the Earth
    // picture counts the European hour back twice; with a winter one once.
    const QStringList berlin = place("2024-06-21T15:00:00", 52, 31, 13, 24, 1, 1, 4);
    const Result summer = runAstro(berlin);
    const Result winter = runAstro(berlin + QStringList{"--record-time", "2024-01-15T12:00:00"});
    ASSERT_EQ(summer.exitCode, 0) << summer.err.toStdString();
    ASSERT_EQ(winter.exitCode, 0) << winter.err.toStdString();
    EXPECT_EQ(summer.json.value("earthPicture").toInt(-1), 3);
    EXPECT_EQ(winter.json.value("earthPicture").toInt(-1), 4);

    // Code 0 is the rule "none": never in force, and no name (an empty text,
    // still a string). Code 16 is no rule at all: refused (see below).
    const Result none = runAstro(place("2024-06-21T15:00:00", 52, 31, 13, 24, 1, 1, 0));
    EXPECT_EQ(text(none.json.value("DSTL")), "");
    EXPECT_TRUE(none.json.value("DSTL").isString());
}

TEST(ToolAstro, BadArgumentsAreRefusedWithExitStatus2)
{
    const QStringList moscow = place("2024-06-21T12:00:00", 55, 45, 37, 37, 1, 3, 8);
    auto without = [&](const QString &option) {
        QStringList a = moscow;
        const qsizetype i = a.indexOf(option);
        a.remove(i, 2);
        return a;
    };
    auto with = [&](const QString &option, const QString &value) {
        QStringList a = moscow;
        a[a.indexOf(option) + 1] = value;
        return a;
    };
    struct Row {
        const char *situation;
        QStringList arguments;
        const char *message;
    };
    const Row rows[] = {
        {"no arguments at all", {}, "--at is missing"},
        {"no clock", without("--at"), "--at is missing"},
        {"no rule code", without("--dst"), "--dst is missing"},
        {"a date without a time", with("--at", "2024-06-21"), "not a date-time"},
        {"the 13th month", with("--at", "2024-13-01T00:00:00"), "not a date-time"},
        {"31 June", with("--at", "2024-06-31T12:00:00"), "not a date-time"},
        {"a bad record time", moscow + QStringList{"--record-time", "yesterday"}, "--record-time"},
        {"latitude past the editors' range", with("--lat", "180"), "--lat: 180 is outside 0..179"},
        {"60 minutes of arc", with("--lonmin", "60"), "--lonmin: 60 is outside 0..59"},
        {"hemisphere code 4", with("--hemispheres", "4"), "--hemispheres: 4 is outside 0..3"},
        {"a latitude past the pole", with("--lat", "91"), "past 90 degrees of latitude"},
        {"a minute past the pole", with("--lat", "90") + QStringList{"--latmin", "1"}, "past 90 degrees"},
        {"a longitude past the date line", with("--lon", "181"), "past 180 degrees of longitude"},
        {"a rule code past the table", with("--dst", "16"), "--dst: 16 is no daylight-saving rule"},
        {"a zone in words", with("--zone", "east"), "--zone: \"east\" is not a number"},
        {"a zone past +14 hours", with("--zone", "15"), "outside -12..14"},
        {"a fractional degree", with("--lat", "55.5"), "not a whole number"},
        {"an option without its value", moscow + QStringList{"--record-time"}, "--record-time needs a value"},
        {"an unknown option", moscow + QStringList{"--city", "Moscow"}, "unknown option \"--city\""},
        {"a stray word", moscow + QStringList{"Moscow"}, "unexpected argument \"Moscow\""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        const Result r = runAstro(row.arguments);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_NE(r.err.indexOf(row.message), -1) << r.err.toStdString();
        EXPECT_NE(r.err.indexOf("usage: nimbrel-tool astro"), -1);
    }
}

}  // namespace
