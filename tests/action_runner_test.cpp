// Scripted input reaches the same signals a user's mouse and keyboard do.
#include "ActionRunner.h"
#include "Component.h"
#include "TrendChart.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

#include <gtest/gtest.h>

using namespace nimbrel;

namespace {

// A window with one component of each kind; every signal a handler could
// use is written down as "Name.signal value".
struct Window {
    Window()
    {
        auto *box = named(new QComboBox(&window), "Box", "TComboBox");
        box->addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        QObject::connect(box, &QComboBox::currentIndexChanged, [this](int i) { note("Box.changed", i); });
        QObject::connect(box, &QComboBox::activated, [this](int i) { note("Box.activated", i); });
        auto *spin = named(new QSpinBox(&window), "Spin", "TEdit");
        spin->setRange(-100, 100);
        QObject::connect(spin, &QSpinBox::editingFinished, [this, spin] { note("Spin.finished", spin->value()); });
        auto *line = named(new QLineEdit(&window), "Line", "TEdit");
        QObject::connect(line, &QLineEdit::returnPressed, [this, line] { note("Line.return", line->text()); });
        auto *check = named(new QCheckBox(&window), "Check", "TCheckBox");
        QObject::connect(check, &QCheckBox::clicked, [this](bool on) { note("Check.clicked", on); });
        auto *chart = named(new TrendChart(&window), "Chart", TrendChart::kKind);
        chart->setGeometry(0, 100, 200, 100);
        QObject::connect(chart, &TrendChart::mouseMoved, [this](Qt::KeyboardModifiers, const QPoint &p) {
            note("Chart.moved", QStringLiteral("%1,%2").arg(p.x()).arg(p.y()));
        });
        named(new QPushButton(&window), "Off", "TButton")->setEnabled(false);
        // A button that opens a modal window, which a choice in it closes.
        auto *open = named(new QPushButton(&window), "Open", "TButton");
        QObject::connect(open, &QPushButton::clicked, [this] {
            QDialog dialog(&window);
            auto *pick = named(new QComboBox(&dialog), "Pick", "TComboBox");
            pick->addItems({QStringLiteral("x"), QStringLiteral("y")});
            QObject::connect(pick, &QComboBox::activated, &dialog, &QDialog::accept);
            dialog.exec();
            note("Open.closed", pick->currentIndex());
        });
        // A button whose click asks first, as clearing the history does.
        auto *ask = named(new QPushButton(&window), "Ask", "TButton");
        ask->setProperty(kAsksFirstProperty, true);
        QObject::connect(ask, &QPushButton::clicked, [this] {
            auto *q = new QMessageBox(QMessageBox::Question, QString(), QStringLiteral("Sure?"),
                                      QMessageBox::Yes | QMessageBox::No, &window);
            q->setAttribute(Qt::WA_DeleteOnClose);
            QObject::connect(q, &QMessageBox::finished, [this, q] {
                note("Ask.answer", q->clickedButton() == q->button(QMessageBox::Yes) ? "yes" : "no");
            });
            q->open();
        });
        window.resize(400, 300);
        window.show();
    }
    void note(const char *what, const QVariant &value) { seen << QStringLiteral("%1 %2").arg(what, value.toString()); }

    // Plays the actions; the failure message, or empty.
    QString play(const QStringList &texts)
    {
        QList<Action> actions;
        for (const QString &text : texts) {
            QString error;
            const std::optional<Action> a = parseAction(text, error);
            if (!a)
                return error;
            actions << *a;
        }
        ActionRunner runner(actions, &window, nullptr);
        QEventLoop loop;
        QString failure;
        QObject::connect(&runner, &ActionRunner::finished, &loop, &QEventLoop::quit);
        QObject::connect(&runner, &ActionRunner::failed, &loop, [&](const QString &m) {
            failure = m;
            loop.quit();
        });
        runner.start();
        loop.exec();
        return failure;
    }

    QStringList seen;  // outlives the window: closing it may still signal
    QWidget window;
};

}  // namespace

TEST(ActionRunner, EachVerbFiresWhatTheUsersInputFires)
{
    const struct {
        QStringList actions;
        QStringList seen;
    } rows[] = {
        {{"select Box 2", "select Box 2"}, {"Box.changed 2", "Box.activated 2", "Box.activated 2"}},
        {{"type Spin -12"}, {"Spin.finished -12"}},
        {{"type Spin 500"}, {"Spin.finished 0"}},  // out of range: the edit keeps its value
        {{"type Line \"two words\""}, {"Line.return two words"}},
        {{"check Check on", "check Check on", "check Check off"}, {"Check.clicked true", "Check.clicked false"}},
        {{"hover Chart 120 40"}, {"Chart.moved 120,40"}},
        // The next action reaches the modal window while it is open.
        {{"click Open", "select Pick 1"}, {"Open.closed 1"}},
    };
    for (const auto &r : rows) {
        Window w;
        EXPECT_EQ(w.play(r.actions), QString()) << qPrintable(r.actions.join(" | "));
        EXPECT_EQ(w.seen, r.seen) << qPrintable(r.actions.join(" | "));
    }
}

TEST(ActionRunner, StopsAtTheFirstActionThatCannotBeDone)
{
    Window w;
    const QString failure = w.play({"select Box 1", "click Off", "select Box 2"});
    EXPECT_TRUE(failure.contains(QStringLiteral("Off (TButton) is disabled"))) << qPrintable(failure);
    EXPECT_EQ(w.seen, QStringList({"Box.changed 1", "Box.activated 1"}));
    EXPECT_TRUE(w.play({"select Spin 1"}).contains(QStringLiteral("not a drop-down list")));
    EXPECT_TRUE(w.play({"hover Chart 500 5"}).contains(QStringLiteral("lies outside Chart")));
}

// A run is checked whole first: a mistake anywhere in it, however late,
// and not even the actions before it are carried out.
TEST(ActionRunner, ARunWithAMistakeDoesNothing)
{
    const struct {
        QStringList actions;
        const char *why;
    } rows[] = {
        {{"select Box 1", "type Nothing 3"}, "has no component named Nothing"},
        {{"select Box 1", "wait 0", "select Box 7"}, "has no item 7"},
        {{"select Box 1", "hover Chart 500 5"}, "lies outside Chart"},
        {{"select Box 1", "type Check x"}, "not an edit"},
        {{"select Box 1", "click Check", "answer yes"}, "no question to answer"},
    };
    for (const auto &r : rows) {
        Window w;
        const QString failure = w.play(r.actions);
        EXPECT_TRUE(failure.contains(QLatin1String(r.why)) && failure.contains(QStringLiteral("no action was carried out")))
            << qPrintable(failure);
        EXPECT_EQ(w.seen, QStringList()) << qPrintable(r.actions.join(" | "));
    }
}

// A click that asks is answered by the action after it; left unanswered,
// nothing is answered for the user.
TEST(ActionRunner, AnswerGoesToTheQuestionTheClickOpened)
{
    const struct {
        QStringList actions;
        QStringList seen;
    } rows[] = {
        {{"click Ask", "answer yes"}, {"Ask.answer yes"}},
        {{"click Ask", "answer no"}, {"Ask.answer no"}},
        {{"click Ask"}, {}},
    };
    for (const auto &r : rows) {
        Window w;
        EXPECT_EQ(w.play(r.actions), QString()) << qPrintable(r.actions.join(" | "));
        EXPECT_EQ(w.seen, r.seen) << qPrintable(r.actions.join(" | "));
    }
    QString error;
    for (const char *wrong : {"answer maybe", "Form3.answer yes", "answer"})
        EXPECT_FALSE(parseAction(QString::fromLatin1(wrong), error)) << wrong;
}
