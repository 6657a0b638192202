// Scripted user input for the command line (--action): a short list of
// steps such as "select TempEdBox 1" or "Form3.click Button", played after
// the first display refresh through the same paths a mouse and keyboard take,
// so the windows' own handlers run exactly as for a user.
//
// An action is "VERB NAME [ARG]", words separated by spaces; a word in
// double quotes may hold spaces or be empty (\" and \\ inside the quotes):
//   select NAME INDEX   a drop-down list's item (0 is the first)
//   click NAME          a button, menu item or any other component
//   type NAME TEXT      replaces an edit's text, then presses Enter
//   check NAME on|off   clicks a check box when it is not already so
//   hover NAME X Y      moves the mouse to X, Y inside the component
//   wait SECONDS        lets the program run that long (timers, polls)
//   answer yes|no       answers the question the click before it opened
//                       ("click N1" then "answer yes" clears the history;
//                       a question left unanswered is answered no)
// NAME is a component's object name in the main window; the prefix "Form3."
// on the verb or on the name ("Form3.select IntervalBox 4", "select
// Form3.IntervalBox 4") looks in the history window instead.
//
// A run is checked whole before its first action: every name, every kind
// of component, every item number and position, every answer. One mistake
// and nothing is done. Two things can only be seen when their turn comes
// and then end the run there: a component that is disabled by then, and
// one missing right after a click (it may be in the window that click
// opens).
#pragma once

#include <QList>
#include <functional>
#include <QObject>
#include <QPoint>
#include <QString>
#include <optional>

class QTimer;
class QWidget;

namespace nimbrel {

// Set (true) on a component whose click opens a question that must be
// answered before anything happens; only such a click may be followed by
// "answer".
inline constexpr const char *kAsksFirstProperty = "asksFirst";

struct Action {
    enum class Verb { Select, Click, Type, Check, Hover, Wait, Answer };
    Verb verb = Verb::Click;
    bool historyWindow = false;  // the name had the "Form3." prefix
    QString name;
    int index = 0;      // select
    QString text;       // type
    bool on = false;    // check; answer: yes
    QPoint position;    // hover, in the component's coordinates
    int waitMs = 0;     // wait
    QString source;     // as written, for messages
};

// Reads one action; on a mistake returns nothing and says why in error.
std::optional<Action> parseAction(const QString &text, QString &error);

// Plays the actions one after another from the event loop. Each step is
// scheduled before the current one runs, so an action that opens a modal
// window (its own event loop) does not hold up the ones after it.
class ActionRunner : public QObject {
    Q_OBJECT
public:
    ActionRunner(QList<Action> actions, QWidget *mainWindow, QWidget *historyWindow, QObject *parent = nullptr);

    // Checks every action, then begins with the first one once control is
    // back in the event loop; a run that fails the check does nothing and
    // reports failed.
    void start();
    // The first mistake in the run, found without doing anything; empty
    // when every action can be carried out as things stand.
    QString check() const;
    // Each action, and the end, waits until this says the program is ready.
    void setReadyCheck(std::function<bool()> ready) { ready_ = std::move(ready); }

Q_SIGNALS:
    // Every action ran; emitted from the event loop, one turn after the last.
    void finished();
    // An action could not be carried out (no such component, disabled, index
    // out of range, ...); the actions after it do not run.
    void failed(const QString &message);

private:
    void step();
    // An empty text when the action was carried out, the reason otherwise.
    QString perform(const Action &action);
    // The action's component, or the reason there is none.
    QObject *find(const Action &action, QString &problem) const;
    // What stands in the way of the action on this component as it is now.
    QString unsuitable(const Action &action, QObject *object) const;
    QString answer(const Action &action);

    QList<Action> actions_;
    QWidget *mainWindow_;
    QWidget *historyWindow_;
    QTimer *next_;
    int position_ = 0;
    bool stopped_ = false;
    std::function<bool()> ready_;
};

}  // namespace nimbrel
