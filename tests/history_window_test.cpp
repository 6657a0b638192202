// The history window: the per-pixel picture, the rain bars and their
// boundaries, and the window's handlers over a real history file.
#include "HistoryStore.h"
#include "HistorySource.h"
#include "PanelStatusBar.h"
#include "TForm3.h"
#include "UiDump.h"

#include <QCheckBox>
#include <set>
#include <QComboBox>
#include <QCoreApplication>
#include <QJsonArray>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace nimbrel;
using namespace nimbrel::history;

namespace {

const QDate kD(2026, 3, 18);

// A history of records every `minutes` from `from` to `to`, each built by `fill`.
struct History {
    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> store;
    History() { store = HistoryStore::open(dir.filePath(QStringLiteral("datat")), QDateTime()).store; }
    void add(const QDateTime &at, const std::function<void(HistoryRow &)> &fill = {})
    {
        HistoryRow r;
        r.Dat = at;
        r.PressLocal = 1013.3;
        if (fill)
            fill(r);
        store->appendRow(r);
    }
};

struct Window {
    TForm3 form;
    explicit Window(const History &h, const QDateTime &readings)
    {
        const HistoryStore *store = h.store.get();
        form.setHistory([store] { return store; });
        form.setReadings([readings] {
            Measurement m;
            m.Dat = readings;
            return m;
        });
        form.setToday([] { return kD; });
        form.resize(1200, 900);
        form.HistoryTempClick();
    }
    void select(QComboBox *box, int index, void (TForm3::*handler)())
    {
        box->setCurrentIndex(index);
        (form.*handler)();
    }
};

TEST(PixelPicture, KeepsEveryColumnsExtremesInTimeOrder)
{
    QRandomGenerator random(7);
    std::vector<PlotPoint> all;
    for (int i = 0; i < 20000; ++i)
        all.push_back({i * 3.7, random.bounded(1000.0) - 500});
    const int columns = 333;
    const auto reduced = reduceToColumns(all, 0, 20000 * 3.7, columns);
    MinMaxReducer grid(0, 20000 * 3.7, columns);
    std::map<int, std::pair<double, double>> full, picture;
    auto track = [&grid](std::map<int, std::pair<double, double>> &m, const PlotPoint &p) {
        auto [it, fresh] = m.try_emplace(grid.columnOf(p.x), p.y, p.y);
        it->second = {std::min(it->second.first, p.y), std::max(it->second.second, p.y)};
    };
    for (const PlotPoint &p : all)
        track(full, p);
    for (const PlotPoint &p : reduced)
        track(picture, p);
    EXPECT_EQ(full, picture);
    EXPECT_LE(reduced.size(), 2u * columns);
    EXPECT_TRUE(std::is_sorted(reduced.begin(), reduced.end(), [](auto a, auto b) { return a.x < b.x; }));
}

// Counters of records at given times (plain seconds from midnight of kD).
std::vector<RainSample> samples(std::initializer_list<std::pair<PlainSeconds, int>> list)
{
    std::vector<RainSample> out;
    for (auto [t, count] : list)
        out.push_back({plainSeconds(kD) + t, count});
    return out;
}

TEST(RainBars, PeriodsBoundariesAndLabels)
{
    const PlainSeconds end = windowEndOf(kD);
    // "день" window, rain per day: the last second of D-1 and D itself.
    auto day = aggregateRain(end - kSecondsPerDay, end, RainSumPeriod::Day, 1.0, samples({{3600, 10}, {7200, 14}}));
    ASSERT_EQ(day.size(), 2u);
    EXPECT_EQ(day[0].date, kD.addDays(-1));
    EXPECT_EQ(day[0].label, QStringLiteral("17.03.26"));
    EXPECT_EQ(day[1].amount, 4.0);

    // A counter reset gives 0; the next day counts from the lower value.
    auto reset = aggregateRain(end - 3 * kSecondsPerDay, end, RainSumPeriod::Day, 0.6875,
                               samples({{-2 * 86400 + 60, 500}, {-2 * 86400 + 600, 510}, {-86400 + 60, 3},
                                        {-86400 + 600, 3}, {600, 7}}));
    ASSERT_EQ(reset.size(), 4u);
    EXPECT_EQ(reset[1].amount, 10 * 0.6875);
    EXPECT_EQ(reset[2].amount, 0.0);
    EXPECT_EQ(reset[3].amount, 4 * 0.6875);

    // Yearly bars carry their own year.
    const PlainSeconds longAgo = plainSeconds(QDate(2023, 5, 2), QTime(8, 0));
    auto years = aggregateRain(longAgo, end, RainSumPeriod::Year, 1.0, {});
    QStringList labels;
    for (const RainBar &b : years)
        labels << b.label;
    EXPECT_EQ(labels, QStringList({"2023", "2024", "2025"}));  // the last period starts 2025-05-02
    EXPECT_TRUE(aggregateRain(longAgo, end, RainSumPeriod::Day, 1.0, {}, true).empty());
}

TEST(RainBars, SummaryGivesTheSameBarsAsTheRecords)
{
    History h;
    int tips = 0;
    HistoryStore::Batch batch(*h.store);
    for (QDateTime t(kD.addDays(-70), QTime(0, 0)); t.date() <= kD; t = t.addSecs(1800))
        h.add(t, [&](HistoryRow &r) { r.RainCount = (tips += (t.time().hour() % 5 == 0) ? 3 : 0) % 700; });
    batch.commit();
    HistorySource records(h.store.get());
    HistorySource summary(h.store.get());
    ASSERT_EQ(summary.prepare(), SummaryState::Rebuilt);
    const PlainSeconds end = windowEndOf(kD);
    for (PlainSeconds start : {end - 30 * kSecondsPerDay, end - 55 * kSecondsPerDay + 77, *summary.oldest()}) {
        for (RainSumPeriod p : {RainSumPeriod::Day, RainSumPeriod::Week, RainSumPeriod::Month}) {
            const auto a = aggregateRain(start, end, p, 1.0, records.rainSamples(start, end));
            const auto b = aggregateRain(start, end, p, 1.0, summary.rainSamples(start, end));
            ASSERT_EQ(a.size(), b.size());
            for (std::size_t i = 0; i < a.size(); ++i)
                EXPECT_EQ(a[i].amount, b[i].amount) << a[i].date.toString().toStdString();
        }
    }
    // Appends keep the summaries whole.
    h.add(QDateTime(kD.addDays(1), QTime(1, 0)));
    EXPECT_EQ(summary.prepare(), SummaryState::Ready);
    // Clearing leaves them counting records that are gone: rebuilt empty.
    ASSERT_TRUE(h.store->clear());
    h.add(QDateTime(kD, QTime(5, 0)));
    EXPECT_EQ(summary.prepare(), SummaryState::Rebuilt);
    EXPECT_EQ(summary.read(windowEndOf(kD) - kSecondsPerDay * 400, windowEndOf(kD), 100, {pressureField(0)})[0].size(),
              1u);
}

TEST(HistoryWindowTest, WeekAxisUnitsAndChannels)
{
    History h;
    HistoryStore::Batch batch(*h.store);
    for (QDateTime t(kD.addDays(-9), QTime(0, 0)); t.date() <= kD; t = t.addSecs(600)) {
        h.add(t, [](HistoryRow &r) {
            for (int c = 0; c < kChannelCount; ++c) {
                r.TempCH[c] = 10 + c;
                r.HumCH[c] = 50 + c;
            }
        });
    }
    batch.commit();
    Window w(h, QDateTime(kD, QTime(14, 20)));
    TForm3 &f = w.form;
    EXPECT_EQ(plainText(f.windowStart()), QStringLiteral("2026-03-11T23:59:59"));
    EXPECT_EQ(plainText(f.windowEnd()), QStringLiteral("2026-03-18T23:59:59"));
    EXPECT_EQ(f.PressureChart->xMin(), static_cast<double>(f.windowStart()));
    EXPECT_TRUE(f.sStatusBar1->panelText(1).endsWith(QStringLiteral(" 14:20")));

    ASSERT_GT(f.PressureChart->pointCount(0), 0);
    const double hpa = f.PressureChart->point(0, 0).y();
    w.select(f.PressureEdBox, 1, &TForm3::PressureEdBoxChange);
    EXPECT_EQ(f.PressureChart->point(0, 0).y(), hpa);

    w.select(f.CH1Box, 2, &TForm3::CH1BoxChange);
    EXPECT_EQ(f.CHBox->currentIndex(), 2);
    EXPECT_EQ(f.TempChart->point(1, 0).y(), 12.0);
    EXPECT_EQ(f.HumChart->point(1, 0).y(), 52.0);

    // Hovering over a pressure point shows it with two decimals.
    const QPoint at = f.PressureChart->pointPosition(0, 3).toPoint();
    QWidget *plot = f.PressureChart->findChildren<QWidget *>().value(0);
    ASSERT_NE(plot, nullptr);
    QMouseEvent move(QEvent::MouseMove, at, plot->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(plot, &move);
    EXPECT_TRUE(f.sStatusBar1->panelText(1).endsWith(QStringLiteral(" : 1013.30")))
        << f.sStatusBar1->panelText(1).toStdString();
}

TEST(HistoryWindowTest, HidingGroupsSharesTheHeight)
{
    History h;
    Window w(h, QDateTime(kD, QTime(9, 0)));
    TForm3 &f = w.form;
    f.CheckBox2->click();
    EXPECT_GT(f.TemperPanel->height(), 1);  // the channel temperature still shows
    for (QCheckBox *box : {f.CheckBox7, f.CheckBox3, f.CheckBox8})
        box->click();
    EXPECT_EQ(f.TemperPanel->height(), 1);
    EXPECT_EQ(f.HumPanel->height(), 1);
    EXPECT_FALSE(f.TempChart->seriesVisible(0));
    EXPECT_EQ(f.PressurePanel->height(), (f.frameGeometry().height() - 22 - f.Panel3->height() - 30) / 4);
}

// Pressure labels ("1013.5") are wider than humidity's ("50"): the plots
// still begin at one x, so the same time lines up in every chart; a hidden
// group's chart leaves nothing in its one-pixel panel.
TEST(HistoryWindowTest, ChartsShareOneLeftEdgeAndHiddenOnesDrawNothing)
{
    History h;
    HistoryStore::Batch batch(*h.store);
    for (QDateTime t(kD.addDays(-2), QTime(0, 0)); t.date() <= kD; t = t.addSecs(1800))
        h.add(t, [&](HistoryRow &r) { r.PressLocal = 1013.25 + (t.time().hour() % 5) * 0.25; });
    batch.commit();
    Window w(h, QDateTime(kD, QTime(14, 20)));
    TForm3 &f = w.form;
    auto lefts = [&] {
        std::set<int> at;
        for (HistoryChart *c : {f.PressureChart, f.TempChart, f.HumChart, f.WindChart, f.RainChart, f.UVIChart}) {
            if (c->isHidden())
                continue;
            c->replotNow();
            at.insert(c->plotLeft());
        }
        return at;
    };
    EXPECT_EQ(lefts().size(), 1u);
    EXPECT_GT(f.PressureChart->valueLabelWidth(), f.HumChart->valueLabelWidth());
    f.CheckBox1->click();
    EXPECT_EQ(f.PressurePanel->height(), 1);
    EXPECT_TRUE(f.PressureChart->isHidden());
    EXPECT_EQ(lefts().size(), 1u);
    f.CheckBox1->click();
    EXPECT_FALSE(f.PressureChart->isHidden());
}

TEST(HistoryWindowTest, OwnRainFactorAndEmptyHistory)
{
    History empty;
    Window blank(empty, QDateTime());
    blank.select(blank.form.IntervalBox, 4, &TForm3::IntervalBoxChange);
    EXPECT_TRUE(blank.form.RainChart->bars().empty());
    EXPECT_EQ(blank.form.PressureChart->pointCount(0), 0);
    EXPECT_EQ(plainText(blank.form.windowEnd()), QStringLiteral("2026-03-18T23:59:59"));
    EXPECT_EQ(blank.form.windowEnd() - blank.form.windowStart(), kSecondsPerDay - 0);

    History h;
    h.add(QDateTime(kD, QTime(1, 0)), [](HistoryRow &r) { r.RainCount = 100; });
    h.add(QDateTime(kD, QTime(2, 0)), [](HistoryRow &r) { r.RainCount = 108; });
    Window w(h, QDateTime(kD, QTime(2, 0)));
    w.select(w.form.RainEdBox, 1, &TForm3::RainEdBoxChange);
    ASSERT_FALSE(w.form.RainChart->bars().empty());
    EXPECT_EQ(w.form.RainChart->bars().back().amount, 8 * 0.6875);
    // A record stored while the window is open shows at once.
    const int before = w.form.PressureChart->pointCount(0);
    h.add(QDateTime(kD, QTime(3, 0)), [](HistoryRow &r) { r.RainCount = 110; });
    w.form.recordTaken();
    EXPECT_EQ(w.form.RainChart->bars().back().amount, 10 * 0.6875);
    EXPECT_EQ(w.form.PressureChart->pointCount(0), before + 1);

    // The dump: the rain bars as [date, amount, label], the panels' heights.
    const QJsonObject dump = dumpComponents(&w.form);
    const QJsonArray bar = dump["RainChart"]["series"][0]["points"].toArray().last().toArray();
    EXPECT_EQ(bar, QJsonArray({"2026-03-18", 10 * 0.6875, "18.03.26"}));
    EXPECT_EQ(dump["RainPanel"]["height"].toInt(), w.form.RainPanel->height());
    EXPECT_EQ(dump["PressureChart"]["xMax"].toString(), QStringLiteral("2026-03-18T23:59:59"));
}

}  // namespace
