#include "TForm3.h"

#include "Component.h"

namespace nimbrel {

TForm3::TForm3(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TForm3"));
    setProperty(kKindProperty, QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("История"));
    resize(900, 640);
}

}  // namespace nimbrel
