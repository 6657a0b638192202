#include "PageWords.h"

#include <QHash>

namespace nimbrel::web {

namespace {

// A word taken from a component's text in the translation table.
struct TableWord {
    const char *key;
    int form;
    const char *name;
    int item;
    int type;
    const char *english;  // when the table lacks the row
    bool trimColon;       // labels end in ':' that the page does not want
};

const TableWord kTableWords[] = {
    {"temperature_group", 1, "GroupBox7", 0, 1, "Temperature and humidity", false},
    {"indoor_temperature", 3, "TempChart", 0, 5, "Indoor temperature", false},
    {"indoor_humidity", 3, "HumChart", 0, 5, "Indoor humidity", false},
    {"channel_temperature", 3, "TempChart", 1, 5, "Channel temperature", false},
    {"channel_humidity", 3, "HumChart", 1, 5, "Channel humidity", false},
    {"dew_point", 1, "Label30", 0, 1, "Dew point", true},
    {"pressure_group", 1, "GroupBox1", 0, 1, "Weather forecast and air pressure", false},
    {"pressure", 3, "PressureChart", 0, 3, "Pressure", false},
    {"pressure_sea_level", 1, "Label4", 0, 1, "Sea-level pressure", true},
    {"pressure_station", 1, "Label5", 0, 1, "Local pressure", true},
    {"pressure_trend", 1, "PressureTrend", 0, 2, "Pressure trend", false},
    {"wind_group", 1, "GroupBox5", 0, 1, "Wind", false},
    {"wind_speed", 1, "Label38", 0, 1, "Wind speed", true},
    {"wind_gust", 1, "Label40", 0, 1, "Gust", true},
    {"wind_direction", 1, "Label43", 0, 1, "Wind direction", true},
    {"wind_chill", 1, "Label42", 0, 1, "Wind chill", true},
    {"rain_group", 1, "GroupBox6", 0, 1, "Rain", false},
    {"rain_last_hour", 1, "RainLHV", 0, 1, "1 h", false},
    {"rain_24h", 1, "RainLDV", 0, 1, "24 h", false},
    {"uv_group", 1, "GroupBox3", 0, 1, "UV index", false},
    {"uv_index", 1, "Label6", 0, 1, "Current UV", true},
    {"connected", 2, "StationOn", 0, 1, "Station connected", false},
    {"disconnected", 2, "StationOff", 0, 1, "Station disconnected", false},
    {"last_update", 1, "sStatusBar1", 1, 3, "Last update", true},
    {"history", 3, "Form3", 0, 1, "History of readings", false},
    {"range", 3, "IntervalBox", 0, 2, "Period shown", false},
    {"range_day", 3, "IntervalBox", 0, 4, "day", false},
    {"range_week", 3, "IntervalBox", 1, 4, "week", false},
    {"range_month", 3, "IntervalBox", 2, 4, "month", false},
    {"range_year", 3, "IntervalBox", 3, 4, "year", false},
    {"range_all", 3, "IntervalBox", 4, 4, "all", false},
    {"chart_temperature", 3, "CheckBox2", 0, 1, "Temperature", false},
    {"chart_humidity", 3, "CheckBox3", 0, 1, "Humidity", false},
    {"chart_wind", 3, "WindChart", 0, 3, "Wind speed", false},
    {"chart_rain", 3, "RainChart", 0, 3, "Rain", false},
    {"chart_uv", 3, "UVIChart", 0, 3, "UV index", false},
};

// Words no window shows, in the table's order of languages: RUS, ENG, DEU,
// FRA, ITA.
struct OwnWord {
    const char *key;
    const char16_t *texts[kLanguageCount];
};

const OwnWord kOwnWords[] = {
    {"rain_today", {u"сегодня", u"today", u"heute", u"aujourd’hui", u"oggi"}},
    {"trend_rising", {u"растёт", u"rising", u"steigend", u"en hausse", u"in aumento"}},
    {"trend_falling", {u"падает", u"falling", u"fallend", u"en baisse", u"in calo"}},
    {"trend_steady", {u"без изменений", u"steady", u"gleichbleibend", u"stable", u"stabile"}},
    // The list of destinations: its heading and the state words of
    // /api/status ("ok", "sending", "waiting", "failing", "off").
    {"destinations", {u"Отправка записей", u"Sending records", u"Versand der Aufzeichnungen",
                      u"Envoi des enregistrements", u"Invio delle registrazioni"}},
    {"destination_ok", {u"работает", u"ok", u"in Ordnung", u"fonctionne", u"funziona"}},
    {"destination_sending", {u"отправляет", u"sending", u"sendet", u"envoi en cours", u"invio in corso"}},
    {"destination_waiting", {u"ожидает", u"waiting", u"wartet", u"en attente", u"in attesa"}},
    {"destination_failing", {u"ошибка", u"failing", u"gestört", u"en échec", u"in errore"}},
    {"destination_off", {u"выключено", u"off", u"aus", u"désactivé", u"disattivato"}},
    {"no_records", {u"Записей пока нет", u"No records yet", u"Noch keine Aufzeichnungen",
                    u"Aucun enregistrement pour l’instant", u"Ancora nessuna registrazione"}},
    {"server_lost", {u"Нет связи с программой", u"The program cannot be reached", u"Das Programm ist nicht erreichbar",
                     u"Le programme est injoignable", u"Il programma non è raggiungibile"}},
    // The page's own fault (a script error), never to be taken for a lost
    // connection; the error's text follows.
    {"page_error", {u"Страница не смогла построить графики:", u"The page failed to draw the charts:",
                    u"Die Seite konnte die Diagramme nicht zeichnen:", u"La page n’a pas pu tracer les graphiques :",
                    u"La pagina non è riuscita a disegnare i grafici:"}},
    {"chart_library_missing",
     {u"Графики не показаны: нет библиотеки графиков. Установите пакет libjs-chart.js или укажите chartScript "
      u"в разделе [web] файла nimbrel.ini.",
      u"No charts: the chart library is missing. Install the package libjs-chart.js or name it as chartScript "
      u"under [web] in nimbrel.ini.",
      u"Keine Diagramme: Die Diagrammbibliothek fehlt. Installieren Sie das Paket libjs-chart.js oder geben Sie "
      u"sie als chartScript unter [web] in nimbrel.ini an.",
      u"Pas de graphiques : la bibliothèque de graphiques manque. Installez le paquet libjs-chart.js ou indiquez-la "
      u"comme chartScript dans la section [web] de nimbrel.ini.",
      u"Nessun grafico: manca la libreria dei grafici. Installate il pacchetto libjs-chart.js o indicatela come "
      u"chartScript nella sezione [web] di nimbrel.ini."}},
};

QString key(int form, const QString &name, int item, int type)
{
    return QStringLiteral("%1/%2/%3/%4").arg(form).arg(name).arg(item).arg(type);
}

}  // namespace

QJsonObject pageWords(const std::vector<LangRow> &rows, int language)
{
    const int shown = language >= 0 && language < kLanguageCount ? language : 1;
    QHash<QString, QString> table;
    for (const LangRow &row : rows)
        table.insert(key(row.Form, row.Name, row.Item, row.Type), row.text(shown));

    QJsonObject words;
    for (const TableWord &w : kTableWords) {
        QString text = table.value(key(w.form, QString::fromLatin1(w.name), w.item, w.type)).trimmed();
        if (text.isEmpty())
            text = QString::fromUtf8(w.english);
        // "Dew point:" and the French "Point de rosée :" alike.
        if (w.trimColon && text.endsWith(QLatin1Char(':')))
            text = text.chopped(1).trimmed();
        words[QLatin1String(w.key)] = text;
    }
    for (const OwnWord &w : kOwnWords)
        words[QLatin1String(w.key)] = QString::fromUtf16(w.texts[shown]);
    return words;
}

QString languageTag(int language)
{
    static const char *const tags[kLanguageCount] = {"ru", "en", "de", "fr", "it"};
    return QLatin1String(language >= 0 && language < kLanguageCount ? tags[language] : "en");
}

}  // namespace nimbrel::web
