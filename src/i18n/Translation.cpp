#include "Translation.h"

#include "Component.h"
#include "PanelStatusBar.h"
#include "PowerMeter.h"
#include "ThermoMeter.h"
#include "TrendChart.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMetaObject>
#include <QSignalBlocker>
#include <QWidget>

namespace nimbrel {

namespace {

bool oneOf(const QString &kind, std::initializer_list<const char *> kinds)
{
    for (const char *k : kinds) {
        if (kind == QLatin1String(k))
            return true;
    }
    return false;
}

bool isChart(const QString &kind)
{
    return oneOf(kind, {"TChart", "TDBChart"});
}

void setCaption(QObject *component, const QString &text)
{
    if (auto *label = qobject_cast<QLabel *>(component))
        label->setText(text);
    else if (auto *box = qobject_cast<QGroupBox *>(component))
        box->setTitle(text);
    else if (auto *gauge = qobject_cast<PowerMeter *>(component))
        gauge->setCaption(text);
    else if (auto *thermometer = qobject_cast<ThermoMeter *>(component))
        thermometer->setCaption(text);
    else if (auto *button = qobject_cast<QAbstractButton *>(component))
        button->setText(text);
    else if (auto *entry = qobject_cast<QAction *>(component))
        entry->setText(text);
}

// Charts of our own kit have one series; a chart with more series offers
// setSeriesTitle(int, QString) returning false for a series it lacks.
void setSeriesTitle(QObject *component, int series, const QString &text)
{
    if (auto *trend = qobject_cast<TrendChart *>(component)) {
        trend->setSeriesTitle(series, text);
        return;
    }
    bool done = false;
    QMetaObject::invokeMethod(component, "setSeriesTitle", Qt::DirectConnection, Q_RETURN_ARG(bool, done),
                              Q_ARG(int, series), Q_ARG(QString, text));
}

void setListItem(QObject *component, int item, const QString &text)
{
    auto *box = qobject_cast<QComboBox *>(component);
    if (!box || item < 0 || item >= box->count())
        return;
    // The box shows its selected item's new text; no change is announced,
    // as none was chosen.
    const QSignalBlocker block(box);
    const bool selected = box->currentIndex() == item;
    box->setItemText(item, text);
    if (selected)
        box->setCurrentIndex(item);
}

}  // namespace

bool translationReaches(const QString &kind, int type)
{
    switch (type) {
    case 1:
        return oneOf(kind, {"TGroupBox", "TLabel", "TVrPowerMeter", "TvrThermoMeter", "TBitBtn", "TMenuItem",
                            "TCheckBox"});
    case 2:
        return oneOf(kind, {"TVrLabel", "TLabel", "TCheckBox", "TVrPowerMeter", "TvrThermoMeter", "TVrDemoButton",
                            "TImage", "TVrBitmapImage", "TBitBtn", "TSpeedButton", "TDateTimePicker", "TComboBox",
                            "TVrBlinkLed", "TEdit", "TVrAnimate", "TChart", "TDBChart"});
    case 3:
        return kind == QLatin1String("TStatusBar") || isChart(kind);
    case 4:
        return kind == QLatin1String("TComboBox");
    case 5:
        return isChart(kind);
    default:
        return false;
    }
}

void ApplyTranslation(QObject *component, int item, const QString &text, int type)
{
    if (!component)
        return;
    const QString kind = componentKind(component);
    if (!translationReaches(kind, type))
        return;
    switch (type) {
    case 1:
        setCaption(component, text);
        break;
    case 2:
        if (auto *widget = qobject_cast<QWidget *>(component))
            widget->setToolTip(text);
        break;
    case 3:
        if (isChart(kind)) {
            setSeriesTitle(component, 0, text);
        } else if (auto *bar = qobject_cast<PanelStatusBar *>(component)) {
            if (item >= 0 && item < bar->panelCount())
                bar->setPanelText(item, text);
        }
        break;
    case 4:
        setListItem(component, item, text);
        break;
    case 5:
        setSeriesTitle(component, item, text);
        break;
    }
}

QString historyWindowName()
{
    return QStringLiteral("Form3");
}

void translateWindow(QWidget *window, const std::vector<LangRow> &rows, int language, bool historyWindow)
{
    if (!window || language < 0 || language >= kLanguageCount)
        return;
    for (const LangRow &row : rows) {
        QObject *component = nullptr;
        const QList<QObject *> candidates = window->findChildren<QObject *>(row.Name);
        for (QObject *candidate : candidates) {
            if (!componentKind(candidate).isEmpty()) {
                component = candidate;
                break;
            }
        }
        if (component)
            ApplyTranslation(component, row.Item, row.text(language), row.Type);
        else if (historyWindow && row.Name == historyWindowName())
            window->setWindowTitle(row.text(language));
    }
}

}  // namespace nimbrel
