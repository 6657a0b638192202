// Putting the texts of the translation table into the components of a window.
//
// Each component reports its designed kind name ("TLabel", "TComboBox",
// "TChart", ...); a row's Type says which of its texts the row sets, and only
// these kinds take a type:
//
//   1 caption      TGroupBox TLabel TVrPowerMeter TvrThermoMeter TBitBtn
//                  TMenuItem TCheckBox
//   2 hint         TVrLabel TLabel TCheckBox TVrPowerMeter TvrThermoMeter
//                  TVrDemoButton TImage TVrBitmapImage TBitBtn TSpeedButton
//                  TDateTimePicker TComboBox TVrBlinkLed TEdit TVrAnimate
//                  TChart TDBChart
//   3 status panel Item of a TStatusBar; on a TChart or TDBChart the title of
//                  series 0, whatever Item says
//   4 list item    Item of a TComboBox; a selected item stays selected
//   5 series title series Item of a TChart or TDBChart
//
// Any other pair is left alone, and so is an Item the component does not
// have (a panel, list item or series beyond its end).
#pragma once

#include "LangTable.h"

#include <QString>
#include <vector>

class QObject;
class QWidget;

namespace nimbrel {

// Sets one text of one component as its kind and the type say. No result:
// a pair the table does not list, or an item out of range, does nothing.
void ApplyTranslation(QObject *component, int item, const QString &text, int type);

// Whether ApplyTranslation acts on this kind with this type.
bool translationReaches(const QString &kind, int type);

// The name a history window row uses for the window itself (its caption).
QString historyWindowName();  // "Form3"

// One pass of a language switch: every row in order, the column of the
// language (0..4), components looked up by name among the window's named
// components. Rows naming nothing are skipped; with historyWindow, a row
// named "Form3" that matches no component sets the window's caption.
void translateWindow(QWidget *window, const std::vector<LangRow> &rows, int language, bool historyWindow);

}  // namespace nimbrel
