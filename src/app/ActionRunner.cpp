#include "ActionRunner.h"

#include "Component.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <cmath>
#include <cstdio>

namespace nimbrel {

namespace {

// The longest wait one action may ask for: a day.
constexpr double kLongestWaitSeconds = 86400;

// Splits at spaces; a word in double quotes may hold spaces or be empty,
// with \" and \\ standing for a quote and a backslash inside the quotes.
bool splitWords(const QString &text, QStringList &words, QString &error)
{
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i].isSpace()) {
            ++i;
            continue;
        }
        QString word;
        if (text[i] == QLatin1Char('"')) {
            ++i;
            bool closed = false;
            while (i < text.size()) {
                const QChar c = text[i++];
                if (c == QLatin1Char('"')) {
                    closed = true;
                    break;
                }
                if (c == QLatin1Char('\\') && i < text.size() &&
                    (text[i] == QLatin1Char('"') || text[i] == QLatin1Char('\\')))
                    word += text[i++];
                else
                    word += c;
            }
            if (!closed) {
                error = QStringLiteral("a quoted word has no closing quote");
                return false;
            }
            if (i < text.size() && !text[i].isSpace()) {
                error = QStringLiteral("a closing quote must end its word");
                return false;
            }
        } else {
            while (i < text.size() && !text[i].isSpace())
                word += text[i++];
        }
        words << word;
    }
    return true;
}

struct VerbShape {
    const char *word;
    Action::Verb verb;
    int arguments;  // words after the verb
    const char *usage;
};

constexpr VerbShape kVerbs[] = {
    {"select", Action::Verb::Select, 2, "select NAME INDEX"},
    {"click", Action::Verb::Click, 1, "click NAME"},
    {"type", Action::Verb::Type, 2, "type NAME TEXT (a text with spaces in double quotes)"},
    {"check", Action::Verb::Check, 2, "check NAME on|off"},
    {"hover", Action::Verb::Hover, 3, "hover NAME X Y"},
    {"wait", Action::Verb::Wait, 1, "wait SECONDS"},
    {"answer", Action::Verb::Answer, 1, "answer yes|no"},
};

bool parseWholeNumber(const QString &word, int &out)
{
    bool ok = false;
    out = word.toInt(&ok, 10);
    return ok;
}

void sendClick(QWidget *widget, const QPoint &position)
{
    const QPointF local(position);
    const QPointF global(widget->mapToGlobal(position));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &release);
}

void sendEnter(QWidget *widget)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(widget, &release);
}

QString describe(const QObject *object)
{
    return QStringLiteral("%1 (%2)").arg(object->objectName(), componentKind(object));
}

}  // namespace

std::optional<Action> parseAction(const QString &text, QString &error)
{
    QStringList words;
    if (!splitWords(text, words, error))
        return std::nullopt;
    if (words.isEmpty()) {
        error = QStringLiteral("an action is empty; write VERB NAME [ARG]");
        return std::nullopt;
    }
    // The history window's prefix may stand on the verb ("Form3.select
    // IntervalBox 4") or on the name ("select Form3.IntervalBox 4").
    const QLatin1String historyPrefix("Form3.");
    bool historyWindow = false;
    if (words[0].startsWith(historyPrefix)) {
        historyWindow = true;
        words[0] = words[0].mid(historyPrefix.size());
    }
    const VerbShape *shape = nullptr;
    for (const VerbShape &v : kVerbs) {
        if (words[0] == QLatin1String(v.word))
            shape = &v;
    }
    if (!shape) {
        error = QStringLiteral("unknown verb \"%1\" (known: select, click, type, check, hover, wait, answer)").arg(words[0]);
        return std::nullopt;
    }
    if (words.size() - 1 != shape->arguments) {
        error = QStringLiteral("wrong number of words; write it as: %1").arg(QLatin1String(shape->usage));
        return std::nullopt;
    }

    Action action;
    action.verb = shape->verb;
    action.source = text;
    if (action.verb == Action::Verb::Wait) {
        bool ok = false;
        const double seconds = words[1].toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > kLongestWaitSeconds) {
            error = QStringLiteral("wait wants a number of seconds from 0 to %1, not \"%2\"")
                        .arg(kLongestWaitSeconds)
                        .arg(words[1]);
            return std::nullopt;
        }
        action.waitMs = static_cast<int>(std::lround(seconds * 1000));
        return action;
    }
    if (action.verb == Action::Verb::Answer) {
        if (historyWindow || (words[1] != QLatin1String("yes") && words[1] != QLatin1String("no"))) {
            error = QStringLiteral("answer wants yes or no, not \"%1\"").arg(words[1]);
            return std::nullopt;
        }
        action.on = words[1] == QLatin1String("yes");
        return action;
    }

    action.name = words[1];
    action.historyWindow = historyWindow;
    if (action.name.startsWith(historyPrefix)) {
        action.historyWindow = true;
        action.name = action.name.mid(historyPrefix.size());
    }
    if (action.name.isEmpty()) {
        error = QStringLiteral("the component's name is empty");
        return std::nullopt;
    }

    switch (action.verb) {
    case Action::Verb::Select:
        if (!parseWholeNumber(words[2], action.index) || action.index < 0) {
            error = QStringLiteral("select wants an item number 0, 1, 2, ..., not \"%1\"").arg(words[2]);
            return std::nullopt;
        }
        break;
    case Action::Verb::Type:
        action.text = words[2];
        break;
    case Action::Verb::Check:
        if (words[2] != QLatin1String("on") && words[2] != QLatin1String("off")) {
            error = QStringLiteral("check wants on or off, not \"%1\"").arg(words[2]);
            return std::nullopt;
        }
        action.on = words[2] == QLatin1String("on");
        break;
    case Action::Verb::Hover: {
        int x = 0;
        int y = 0;
        if (!parseWholeNumber(words[2], x) || !parseWholeNumber(words[3], y)) {
            error = QStringLiteral("hover wants the pixel position X Y as whole numbers, not \"%1 %2\"")
                        .arg(words[2], words[3]);
            return std::nullopt;
        }
        action.position = QPoint(x, y);
        break;
    }
    case Action::Verb::Click:
    case Action::Verb::Wait:
    case Action::Verb::Answer:
        break;
    }
    return action;
}

ActionRunner::ActionRunner(QList<Action> actions, QWidget *mainWindow, QWidget *historyWindow, QObject *parent)
    : QObject(parent),
      actions_(std::move(actions)),
      mainWindow_(mainWindow),
      historyWindow_(historyWindow),
      next_(new QTimer(this))
{
    next_->setSingleShot(true);
    next_->setTimerType(Qt::PreciseTimer);  // a wait lasts what it says
    connect(next_, &QTimer::timeout, this, &ActionRunner::step);
}

void ActionRunner::start()
{
    position_ = 0;
    stopped_ = false;
    const QString problem = check();
    if (problem.isEmpty()) {
        next_->start(0);
        return;
    }
    stopped_ = true;
    QMetaObject::invokeMethod(this, [this, problem] { Q_EMIT failed(problem); }, Qt::QueuedConnection);
}

QString ActionRunner::check() const
{
    for (qsizetype i = 0; i < actions_.size(); ++i) {
        const Action &action = actions_.at(i);
        QString problem;
        if (action.verb == Action::Verb::Answer) {
            const Action *before = i > 0 ? &actions_.at(i - 1) : nullptr;
            QObject *asker = before && before->verb == Action::Verb::Click ? find(*before, problem) : nullptr;
            if (!asker || !asker->property(kAsksFirstProperty).toBool())
                problem = QStringLiteral("no question to answer: answer follows a click that asks one (click N1)");
        } else if (action.verb != Action::Verb::Wait) {
            if (QObject *object = find(action, problem))
                problem = unsuitable(action, object);
            // A component in a window the click before it opens (a modal
            // dialog) is only there once that click has run.
            else if (i > 0 && actions_.at(i - 1).verb == Action::Verb::Click)
                problem.clear();
        }
        if (!problem.isEmpty())
            return QStringLiteral("--action \"%1\": %2; no action was carried out").arg(action.source, problem);
    }
    return {};
}

void ActionRunner::step()
{
    if (stopped_)
        return;
    // An action that started an exchange with the station (a settings write)
    // pumps events while it waits: the next one comes once it has ended.
    if (ready_ && !ready_()) {
        next_->start(20);
        return;
    }
    if (position_ >= actions_.size()) {
        stopped_ = true;
        Q_EMIT finished();
        return;
    }
    const Action action = actions_.at(position_++);
    // Scheduled first: if this action opens a modal window, the next one
    // runs inside that window's event loop, as a user's next input would.
    next_->start(action.verb == Action::Verb::Wait ? action.waitMs : 0);
    const QString problem = perform(action);
    if (!problem.isEmpty() && !stopped_) {
        stopped_ = true;
        next_->stop();
        Q_EMIT failed(QStringLiteral("--action \"%1\": %2").arg(action.source, problem));
    }
}

QObject *ActionRunner::find(const Action &action, QString &problem) const
{
    QWidget *window = action.historyWindow ? historyWindow_ : mainWindow_;
    if (window) {
        const QList<QObject *> candidates = window->findChildren<QObject *>(action.name);
        for (QObject *candidate : candidates) {
            if (!componentKind(candidate).isEmpty())
                return candidate;
        }
    }
    problem = QStringLiteral("%1 has no component named %2")
                  .arg(action.historyWindow ? QStringLiteral("the history window (Form3)")
                                            : QStringLiteral("the main window"),
                       action.name);
    return nullptr;
}

QString ActionRunner::unsuitable(const Action &action, QObject *object) const
{
    auto *widget = qobject_cast<QWidget *>(object);
    auto *menuItem = qobject_cast<QAction *>(object);
    switch (action.verb) {
    case Action::Verb::Select: {
        auto *combo = qobject_cast<QComboBox *>(object);
        if (!combo)
            return QStringLiteral("%1 is not a drop-down list").arg(describe(object));
        if (action.index >= combo->count()) {
            return combo->count() == 0 ? QStringLiteral("%1 has no items").arg(describe(object))
                                       : QStringLiteral("%1 has no item %2; its items are 0 to %3")
                                             .arg(describe(object))
                                             .arg(action.index)
                                             .arg(combo->count() - 1);
        }
        return {};
    }
    case Action::Verb::Check: {
        auto *box = qobject_cast<QAbstractButton *>(object);
        if ((box && box->isCheckable()) || (menuItem && menuItem->isCheckable()))
            return {};
        return QStringLiteral("%1 is not a check box").arg(describe(object));
    }
    case Action::Verb::Type: {
        QLineEdit *edit = qobject_cast<QLineEdit *>(object);
        if (auto *spin = qobject_cast<QAbstractSpinBox *>(object))
            edit = spin->findChild<QLineEdit *>();
        else if (auto *combo = qobject_cast<QComboBox *>(object); combo && combo->isEditable())
            edit = combo->lineEdit();
        if (!edit)
            return QStringLiteral("%1 is not an edit").arg(describe(object));
        if (edit->isReadOnly())
            return QStringLiteral("%1 is read-only").arg(describe(object));
        return {};
    }
    case Action::Verb::Hover:
        if (!widget)
            return QStringLiteral("%1 is not shown on the screen").arg(describe(object));
        if (!widget->rect().contains(action.position)) {
            return QStringLiteral("%1, %2 lies outside %3, which is %4 x %5 pixels")
                .arg(action.position.x())
                .arg(action.position.y())
                .arg(describe(object))
                .arg(widget->width())
                .arg(widget->height());
        }
        return {};
    case Action::Verb::Click:
    case Action::Verb::Wait:
    case Action::Verb::Answer:
        break;
    }
    return {};
}

// The question is the main window's open message box; its buttons are
// pressed as a user's would be.
QString ActionRunner::answer(const Action &action)
{
    const QList<QMessageBox *> boxes = mainWindow_ ? mainWindow_->findChildren<QMessageBox *>() : QList<QMessageBox *>();
    for (QMessageBox *box : boxes) {
        if (!box->isVisible())
            continue;
        QAbstractButton *button = box->button(action.on ? QMessageBox::Yes : QMessageBox::No);
        if (!button)
            continue;
        button->click();
        return {};
    }
    return QStringLiteral("no question is open");
}

QString ActionRunner::perform(const Action &action)
{
    if (action.verb == Action::Verb::Wait)
        return {};
    if (action.verb == Action::Verb::Answer)
        return answer(action);

    QString problem;
    QObject *object = find(action, problem);
    if (!object)
        return problem;
    auto *widget = qobject_cast<QWidget *>(object);
    auto *menuItem = qobject_cast<QAction *>(object);
    // A disabled component, or one inside a disabled panel, takes no input.
    if ((widget && !widget->isEnabled()) || (menuItem && !menuItem->isEnabled()))
        return QStringLiteral("%1 is disabled").arg(describe(object));
    problem = unsuitable(action, object);
    if (!problem.isEmpty())
        return problem;

    switch (action.verb) {
    case Action::Verb::Select: {
        auto *combo = qobject_cast<QComboBox *>(object);
        // What the list does when the user picks an item from its popup:
        // the index changes (currentIndexChanged when it differs), then the
        // choice is announced even when it is the item already shown.
        combo->setCurrentIndex(action.index);
        Q_EMIT combo->activated(action.index);
        Q_EMIT combo->textActivated(combo->itemText(action.index));
        return {};
    }
    case Action::Verb::Click:
        if (auto *button = qobject_cast<QAbstractButton *>(object))
            button->click();
        else if (menuItem)
            menuItem->trigger();
        else if (widget)
            sendClick(widget, widget->rect().center());
        return {};
    case Action::Verb::Check: {
        auto *box = qobject_cast<QAbstractButton *>(object);
        if (box && box->isCheckable()) {
            if (box->isChecked() != action.on)
                box->click();
            return {};
        }
        if (menuItem && menuItem->isCheckable()) {
            if (menuItem->isChecked() != action.on)
                menuItem->trigger();
            return {};
        }
        return QStringLiteral("%1 is not a check box").arg(describe(object));
    }
    case Action::Verb::Type: {
        QLineEdit *edit = nullptr;
        QWidget *enterTarget = nullptr;  // where the keyboard's Enter goes
        if (auto *line = qobject_cast<QLineEdit *>(object)) {
            edit = line;
            enterTarget = line;
        } else if (auto *spin = qobject_cast<QAbstractSpinBox *>(object)) {
            edit = spin->findChild<QLineEdit *>();
            enterTarget = spin;
        } else if (auto *combo = qobject_cast<QComboBox *>(object); combo && combo->isEditable()) {
            edit = combo->lineEdit();
            enterTarget = edit;
        }
        if (!edit)
            return QStringLiteral("%1 is not an edit").arg(describe(object));
        if (edit->isReadOnly())
            return QStringLiteral("%1 is read-only").arg(describe(object));
        widget->setFocus(Qt::OtherFocusReason);
        // Select everything and type over it; the edit's validator sees the
        // text as it sees a user's, and the "edited" signals fire.
        edit->selectAll();
        edit->del();
        if (!action.text.isEmpty())
            edit->insert(action.text);
        if (edit->text() != action.text) {
            std::fprintf(stderr, "nimbrel: --action \"%s\": %s took the text as \"%s\"\n",
                         qPrintable(action.source), qPrintable(describe(object)), qPrintable(edit->text()));
        }
        sendEnter(enterTarget);
        return {};
    }
    case Action::Verb::Hover: {
        // The move reaches the innermost widget under the pointer (a chart's
        // plot area), in its own coordinates, as the pointer's would.
        QWidget *target = widget->childAt(action.position);
        if (!target)
            target = widget;
        const QPointF local(target->mapFrom(widget, action.position));
        const QPointF global(widget->mapToGlobal(action.position));
        QMouseEvent move(QEvent::MouseMove, local, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &move);
        return {};
    }
    case Action::Verb::Wait:
    case Action::Verb::Answer:
        break;
    }
    return {};
}

}  // namespace nimbrel
