#include "DateFormat.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace nimbrel {

namespace {

enum class Field { Literal, Day, Month, Year, Hour, Minute, Second, Millisecond };

struct Token {
    Field field = Field::Literal;
    int count = 0;  // letters in the run, capped to the meaningful maximum
    QString text;   // Literal only
};

void appendLiteral(std::vector<Token> &tokens, QStringView text)
{
    if (tokens.empty() || tokens.back().field != Field::Literal)
        tokens.push_back(Token{Field::Literal, 0, QString()});
    tokens.back().text += text;
}

std::vector<Token> tokenize(const QString &pattern)
{
    std::vector<Token> tokens;
    QChar lastLetter;  // lower-case letter of the last letter token, 'n' for minutes
    const qsizetype size = pattern.size();
    qsizetype i = 0;
    while (i < size) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            qsizetype end = pattern.indexOf(c, i + 1);
            if (end < 0)
                end = size;
            appendLiteral(tokens, QStringView(pattern).mid(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        if (!c.isLetter()) {
            appendLiteral(tokens, QStringView(pattern).mid(i, 1));
            ++i;
            continue;
        }
        const QChar letter = c.toLower();
        qsizetype run = 1;
        while (i + run < size && pattern.at(i + run).toLower() == letter)
            ++run;
        const int count = static_cast<int>(std::min<qsizetype>(run, 6));
        Token t;
        if (letter == QLatin1Char('d')) {
            t = {Field::Day, count, {}};
        } else if (letter == QLatin1Char('m') && lastLetter == QLatin1Char('h')) {
            t = {Field::Minute, std::min(count, 2), {}};
        } else if (letter == QLatin1Char('m')) {
            t = {Field::Month, std::min(count, 4), {}};
        } else if (letter == QLatin1Char('y')) {
            t = {Field::Year, count <= 2 ? 2 : 4, {}};
        } else if (letter == QLatin1Char('h')) {
            t = {Field::Hour, std::min(count, 2), {}};
        } else if (letter == QLatin1Char('n')) {
            t = {Field::Minute, std::min(count, 2), {}};
        } else if (letter == QLatin1Char('s')) {
            t = {Field::Second, std::min(count, 2), {}};
        } else if (letter == QLatin1Char('z')) {
            t = {Field::Millisecond, count >= 3 ? 3 : 1, {}};
        } else {
            // Not a specifier: the letters are text, and the run ends any h ... m link.
            appendLiteral(tokens, QStringView(pattern).mid(i, run));
            lastLetter = letter;
            i += run;
            continue;
        }
        lastLetter = t.field == Field::Minute ? QLatin1Char('n') : letter;
        tokens.push_back(t);
        i += run;
    }
    return tokens;
}

QString quotedForQt(const QString &literal)
{
    bool needsQuotes = false;
    for (const QChar c : literal) {
        if (c.isLetter() || c == QLatin1Char('\''))
            needsQuotes = true;
    }
    if (!needsQuotes)
        return literal;
    QString escaped = literal;
    escaped.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QString number(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

}  // namespace

QString toQtDateTimeFormat(const QString &pattern, const QLocale &locale)
{
    static const char *const dayForms[] = {"d", "dd", "ddd", "dddd"};
    static const char *const monthForms[] = {"M", "MM", "MMM", "MMMM"};
    QString out;
    for (const Token &t : tokenize(pattern)) {
        switch (t.field) {
        case Field::Literal:
            out += quotedForQt(t.text);
            break;
        case Field::Day:
            if (t.count <= 4)
                out += QLatin1String(dayForms[t.count - 1]);
            else
                out += locale.dateFormat(t.count == 5 ? QLocale::ShortFormat : QLocale::LongFormat);
            break;
        case Field::Month:
            out += QLatin1String(monthForms[t.count - 1]);
            break;
        case Field::Year:
            out += t.count == 2 ? QLatin1String("yy") : QLatin1String("yyyy");
            break;
        case Field::Hour:
            out += t.count == 1 ? QLatin1String("H") : QLatin1String("HH");
            break;
        case Field::Minute:
            out += t.count == 1 ? QLatin1String("m") : QLatin1String("mm");
            break;
        case Field::Second:
            out += t.count == 1 ? QLatin1String("s") : QLatin1String("ss");
            break;
        case Field::Millisecond:
            // Qt's "z" is a trimmed fraction, not a plain count; three digits
            // keep the value readable in either case.
            out += QLatin1String("zzz");
            break;
        }
    }
    return out;
}

QString formatDateTime(const QDateTime &dateTime, const QString &pattern, const QLocale &locale)
{
    if (!dateTime.isValid())
        return QString();
    const std::vector<Token> tokens = tokenize(pattern);
    bool dayNumberShown = false;
    for (const Token &t : tokens) {
        if (t.field == Field::Day && t.count <= 2)
            dayNumberShown = true;
    }

    const QDate date = dateTime.date();
    const QTime time = dateTime.time();
    QString out;
    for (const Token &t : tokens) {
        switch (t.field) {
        case Field::Literal:
            out += t.text;
            break;
        case Field::Day:
            switch (t.count) {
            case 1:
            case 2:
                out += number(date.day(), t.count);
                break;
            case 3:
                out += locale.dayName(date.dayOfWeek(), QLocale::ShortFormat);
                break;
            case 4:
                out += locale.dayName(date.dayOfWeek(), QLocale::LongFormat);
                break;
            case 5:
                out += locale.toString(date, QLocale::ShortFormat);
                break;
            default:
                out += locale.toString(date, QLocale::LongFormat);
                break;
            }
            break;
        case Field::Month:
            if (t.count <= 2) {
                out += number(date.month(), t.count);
            } else {
                const auto form = t.count == 3 ? QLocale::ShortFormat : QLocale::LongFormat;
                out += dayNumberShown ? locale.monthName(date.month(), form)
                                      : locale.standaloneMonthName(date.month(), form);
            }
            break;
        case Field::Year:
            out += t.count == 2 ? number(std::abs(date.year()) % 100, 2) : number(date.year(), 4);
            break;
        case Field::Hour:
            out += number(time.hour(), t.count);
            break;
        case Field::Minute:
            out += number(time.minute(), t.count);
            break;
        case Field::Second:
            out += number(time.second(), t.count);
            break;
        case Field::Millisecond:
            out += number(time.msec(), t.count);
            break;
        }
    }
    return out;
}

}  // namespace nimbrel
