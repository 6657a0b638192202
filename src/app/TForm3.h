// The history window. Created at start-up after the main window and kept
// until the program ends; it shows the stored history as charts.
#pragma once

#include <QWidget>

namespace nimbrel {

class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);
};

}  // namespace nimbrel
