// Every named component of the two windows carries its object name and the
// kind name the translation table and the UI dump address it by ("TLabel",
// "TComboBox", "TVrBlinkLed", ...).
#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

namespace nimbrel {

inline constexpr const char *kKindProperty = "kind";

template <class T>
T *named(T *object, const char *name, const char *kind)
{
    object->setObjectName(QString::fromLatin1(name));
    object->setProperty(kKindProperty, QString::fromLatin1(kind));
    return object;
}

inline QString componentKind(const QObject *object)
{
    return object->property(kKindProperty).toString();
}

// Widgets of our own kit report what they show beyond text and hint.
class DumpableComponent {
public:
    virtual ~DumpableComponent() = default;
    virtual void dumpState(QJsonObject &out) const = 0;
};

}  // namespace nimbrel
