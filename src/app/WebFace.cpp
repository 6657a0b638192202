#include "WebFace.h"

#include "CurrentConditions.h"
#include "LangTable.h"
#include "PressureView.h"
#include "PublishSettings.h"
#include "TForm1.h"
#include "WebServer.h"

#include <QComboBox>
#include <QDir>
#include <cstdio>

namespace nimbrel {

WebFace::WebFace(TForm1 &form, const AppContext &context) : form_(form)
{
    // Problems of the file are reported by Publishing, which reads it too.
    const PublishSettings settings =
        loadPublishSettings(QDir(context.workDir).filePath(QLatin1String(kPublishSettingsFile)));
    if (!settings.web.enabled)
        return;
    server_ = std::make_unique<web::WebServer>(settings.web, form.history());
    QString why;
    if (!server_->start(&why)) {
        std::fprintf(stderr, "nimbrel: %s\n", qPrintable(why));
        server_.reset();
        return;
    }
    std::fprintf(stderr, "nimbrel: the web page is at http://%s:%u/\n", qPrintable(settings.web.bind),
                 unsigned(server_->port()));
    if (context.clock) {
        LangTable::Opened lang = LangTable::open(form.filePath(QStringLiteral("lang")), context.clock->now());
        if (lang.table) {
            std::vector<LangRow> rows;
            for (int f = 1; f <= 3; ++f)
                for (LangRow &row : lang.table->rows(f))
                    rows.push_back(std::move(row));
            server_->setTranslations(std::move(rows));
        }
    }

    Recorder &recorder = form.recorder();
    connect(&recorder, &Recorder::recordTakenOver, this, &WebFace::push);
    connect(&recorder, &Recorder::storedDataLoaded, this, &WebFace::push);
    connect(&recorder, &Recorder::connectionChanged, this, &WebFace::push);
    for (QComboBox *box : {form.TempEdBox, form.PressureEdBox, form.SpeedEdBox, form.RainEdBox, form.UVIEdBox,
                           form.LangBox})
        connect(box, &QComboBox::currentIndexChanged, this, &WebFace::push);
    push();
}

WebFace::~WebFace() = default;

void WebFace::push()
{
    Recorder &recorder = form_.recorder();
    const Measurement &m = recorder.measurement();
    web::WebSnapshot s;
    s.hasConditions = m.Dat.isValid();
    if (s.hasConditions)
        s.conditions = currentConditions(m, recorder.summary(), form_.history(), recorder.headerRead());
    s.connected = recorder.connected();
    s.pressureTrend = pressureTrendIndex(recorder.summary());
    s.units.temperature = form_.TempEdBox->currentIndex();
    s.units.pressure = form_.PressureEdBox->currentIndex();
    s.units.speed = form_.SpeedEdBox->currentIndex();
    s.units.rain = form_.RainEdBox->currentIndex();
    s.units.uv = form_.UVIEdBox->currentIndex();
    s.language = form_.LangBox->currentIndex();
    server_->update(s);
}

}  // namespace nimbrel
