// The time-zone edit: hours east of Greenwich with as many decimals as the
// zone needs ("3", "-5", "5.5", "5.75"), not a fixed "3.00".
#pragma once

#include <QDoubleSpinBox>
#include <QLocale>

namespace nimbrel {

class ZoneSpinBox : public QDoubleSpinBox {
public:
    using QDoubleSpinBox::QDoubleSpinBox;

    QString textFromValue(double value) const override
    {
        QString text = locale().toString(value, 'f', decimals());
        const QChar point = locale().decimalPoint().front();
        if (text.contains(point)) {
            while (text.endsWith(QLatin1Char('0')))
                text.chop(1);
            if (text.endsWith(point))
                text.chop(1);
        }
        return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
    }
};

}  // namespace nimbrel
