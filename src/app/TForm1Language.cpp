// The main window's language switch: the translation table `lang` and the
// texts it puts into both windows.
#include "TForm1.h"

#include "LangTable.h"
#include "Translation.h"

#include <QComboBox>
#include <QLabel>

namespace nimbrel {

namespace {

// The table as a language switch finds it: it must hold rows, or there is
// nothing to switch to.
std::unique_ptr<LangTable> openLangTable(const QString &path, const QDateTime &now, const QString &shipped,
                                         LangTable::Opened *details = nullptr)
{
    LangTable::Opened opened = LangTable::open(path, now, shipped);
    std::unique_ptr<LangTable> table = std::move(opened.table);
    if (table && table->rowCount() == 0) {
        table.reset();
        opened.error = QStringLiteral("%1 holds no translations").arg(path);
    }
    if (details) {
        details->problem = opened.problem;
        details->setAside = opened.setAside;
        details->error = opened.error;
    }
    return table;
}

}  // namespace

void TForm1::checkTranslationTable()
{
    const QString path = filePath(QStringLiteral("lang"));
    // First start in this folder: begin with the table the program ships.
    if (!context_.defaultLangTable.isEmpty())
        installDefaultLangTable(context_.defaultLangTable, path);
    LangTable::Opened details;
    const bool usable = bool(openLangTable(path, now(), context_.defaultLangTable, &details));
    if (usable) {
        // A damaged table replaced by the shipped one is said once the
        // window is up, like the other table files.
        const QString sentence = tableProblemSentence(QStringLiteral("lang"), details.problem, details.setAside);
        if (!sentence.isEmpty())
            tableProblems_ += (tableProblems_.isEmpty() ? QString() : QStringLiteral(" ")) + sentence;
        return;
    }
    // Without the table no language can be chosen: the box is emptied,
    // disabled and no longer switches; every text stays as designed.
    qWarning("The translation table cannot be used: %s", qPrintable(details.error));
    const QSignalBlocker block(LangBox);
    LangBox->clear();
    LangBox->setEnabled(false);
    disconnect(LangBox, nullptr, this, nullptr);
}

void TForm1::LangBoxChange()
{
    std::unique_ptr<LangTable> table =
        openLangTable(filePath(QStringLiteral("lang")), now(), context_.defaultLangTable);
    // A table that went missing since start-up leaves every text as it is.
    if (!table)
        return;
    const int language = LangBox->currentIndex();
    if (!languageColumn(language).isEmpty()) {
        translateWindow(this, table->rows(1), language, false);
        translateWindow(this, table->rows(2), language, false);
        if (historyWindow_)
            translateWindow(historyWindow_, table->rows(3), language, true);
    }
    table.reset();

    // Status panel 0 shows the link state once it is known; the switch has
    // put the panel's caption there, so the state is said again, in the
    // new language.
    if (linkStateShown_)
        showLinkState();

    // The comfort words on screen follow at once. A label the refresh left
    // empty (no channel sensor) stays empty.
    const std::pair<const char *, const char *> comfort[] = {{"ComfStateL", "ComfState"},
                                                             {"ComfState1L", "ComfStateCH"}};
    for (const auto &[labelName, wordsName] : comfort) {
        auto *label = findChild<QLabel *>(QLatin1String(labelName));
        auto *words = findChild<QComboBox *>(QLatin1String(wordsName));
        if (label && words && !label->text().isEmpty())
            label->setText(words->currentText());
    }
}

void TForm1::HistoryWindowCreated(QWidget *form3)
{
    historyWindow_ = form3;
    LangBoxChange();
}

}  // namespace nimbrel
