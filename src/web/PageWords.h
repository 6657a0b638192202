// The words of the web page in the user's language. Most come from the
// translation table the windows use (the same captions, so the page and the
// window say the same thing); the few the windows never show ("today", the
// trend's words, "no records") are kept here in the table's five languages.
#pragma once

#include "LangTable.h"

#include <QJsonObject>
#include <vector>

namespace nimbrel::web {

// The page's words as {key: text}, for language 0..4 (any other index:
// English). `rows` are the translation table's rows of both windows (forms
// 1, 2 and 3); a word whose row is missing or empty falls back to the
// page's own English.
QJsonObject pageWords(const std::vector<LangRow> &rows, int language);

// "ru", "en", "de", "fr", "it": the page's lang attribute.
QString languageTag(int language);

}  // namespace nimbrel::web
