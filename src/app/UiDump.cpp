#include "UiDump.h"

#include "Component.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QJsonArray>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>

namespace nimbrel {

namespace {

void dumpOne(const QObject *object, QJsonObject &out)
{
    out.insert(QStringLiteral("kind"), componentKind(object));
    if (auto *widget = qobject_cast<const QWidget *>(object)) {
        out.insert(QStringLiteral("hint"), widget->toolTip());
        // Visible as designed: hidden components say false even while the
        // window itself is not shown.
        out.insert(QStringLiteral("visible"), !widget->isHidden());
        out.insert(QStringLiteral("enabled"), widget->isEnabled());
    }
    if (auto *action = qobject_cast<const QAction *>(object)) {
        out.insert(QStringLiteral("text"), action->text());
        out.insert(QStringLiteral("hint"), action->toolTip() == action->text() ? QString() : action->toolTip());
        out.insert(QStringLiteral("visible"), action->isVisible());
        out.insert(QStringLiteral("enabled"), action->isEnabled());
    } else if (auto *label = qobject_cast<const QLabel *>(object)) {
        out.insert(QStringLiteral("text"), label->text());
    } else if (auto *box = qobject_cast<const QGroupBox *>(object)) {
        out.insert(QStringLiteral("text"), box->title());
    } else if (auto *check = qobject_cast<const QCheckBox *>(object)) {
        out.insert(QStringLiteral("text"), check->text());
        out.insert(QStringLiteral("checked"), check->isChecked());
    } else if (auto *button = qobject_cast<const QAbstractButton *>(object)) {
        out.insert(QStringLiteral("text"), button->text());
    } else if (auto *combo = qobject_cast<const QComboBox *>(object)) {
        QJsonArray items;
        for (int i = 0; i < combo->count(); ++i)
            items.append(combo->itemText(i));
        out.insert(QStringLiteral("items"), items);
        out.insert(QStringLiteral("index"), combo->currentIndex());
        out.insert(QStringLiteral("text"), combo->currentText());
    } else if (auto *progress = qobject_cast<const QProgressBar *>(object)) {
        out.insert(QStringLiteral("value"), progress->value());
    } else if (auto *spin = qobject_cast<const QAbstractSpinBox *>(object)) {
        out.insert(QStringLiteral("text"), spin->text());
    } else if (auto *widget = qobject_cast<const QWidget *>(object)) {
        out.insert(QStringLiteral("text"), widget->windowTitle());
    }
    if (auto *own = dynamic_cast<const DumpableComponent *>(object))
        own->dumpState(out);
}

}  // namespace

QJsonObject dumpComponents(const QObject *window)
{
    QJsonObject components;
    const QList<QObject *> children = window->findChildren<QObject *>();
    for (const QObject *child : children) {
        if (child->objectName().isEmpty() || componentKind(child).isEmpty())
            continue;
        QJsonObject entry;
        dumpOne(child, entry);
        components.insert(child->objectName(), entry);
    }
    return components;
}

QJsonObject dumpWindows(const QList<const QWidget *> &windows)
{
    QJsonObject all;
    for (const QWidget *w : windows)
        all.insert(w->objectName(), dumpComponents(w));
    return all;
}

QJsonObject dumpTimings(const UiTimings &timings)
{
    return QJsonObject{{QStringLiteral("refreshDisplayMs"), timings.refreshDisplayMs}};
}

}  // namespace nimbrel
