// What the program knows at one moment, as every face shows it: the current
// record and header as decoded, the user's choices, the connection and the
// exchange, and what the history says about the current record. The engine
// makes a new one after every change and never alters one it has handed
// out, so a face may keep it as long as it likes.
#pragma once

#include "CurrentConditions.h"
#include "Destination.h"
#include "DisplayRules.h"
#include "HistoryAggregates.h"
#include "Measurement.h"
#include "RainView.h"
#include "Recorder.h"
#include "StationSummary.h"
#include "WindView.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace nimbrel {

// What changed since the snapshot before. Faces that redraw only part of
// what they show look here; everything else is in the snapshot itself.
enum class SnapshotChange {
    Opened,           // the tables are open; nothing read yet
    Record,           // a new current record was taken over and stored
    StoredData,       // without a station: the newest stored record and the header copy
    SettingWritten,   // a station setting was written (or refused): writeResult
    HistoryCleared,
    Units,            // unit choices or the channel
    Language,
    Location,         // the location shown replaces the station's
    Connection,       // the first link check's finding, then every change
    LinkError,
    Exchange,         // an exchange with the station starts or ends
    FullRead,         // a full read starts or ends
    Stage,            // the full read's stage, or a retried block (stageAttempt)
    Progress,
    StoreFailed,      // a record could not be stored: storeError
    HeaderCopyUnreadable,
    HeaderCopyNotSaved,   // sumlocal.bin could not be written: headerCopyError
    Repaint,          // a read ended without a new record
    Publishing,       // the MQTT or upload state changed: publishWord, publishLines
    Handover,         // the station was handed to another program, or taken back: stationHeld
    HistoryRebuilt,   // the background check found datat damaged and it was rebuilt (or not): tableNotice
};

struct StationSnapshot {
    SnapshotChange change = SnapshotChange::Opened;

    // The current record as decoded, with the unit choices and channel in its
    // unit fields and the figures derived from the history (rain in the
    // chosen unit, pressure extremes) filled in.
    Measurement record;
    // The header as decoded, with the location shown in place of the
    // station's when the user's city or a city of the table replaces it.
    StationSummary summary;
    bool headerRead = false;     // a real header, not the filler of a station never read
    int stationPeriodCode = 0;   // the station's history interval, byte 254 (1..11)
    // How far the newest record is dated ahead of the computer's clock when
    // that is more than one history period (the clocks differ); 0 otherwise.
    qint64 clockAheadSecs = 0;

    // The user's choices.
    UnitChoices units;
    int language = 1;            // LangBox item; -1 when no translation table can be used
    bool userCity = false;       // the stored city replaces the station's location

    // Computed once per record from the history.
    RainWindows rain;
    WindDays wind;
    RecordedExtremes extremes;
    CurrentConditions conditions;  // the current record as it is published

    // The connection and the exchange.
    bool linkAvailable = false;  // a device was opened: link checks run
    bool connected = false;
    int linkError = 0;           // the link library's last word (USBGetError)
    bool exchangeActive = false;
    bool fullReadActive = false;
    ReadStage stage = ReadStage::LoadingFromStation;
    int stageAttempt = 1;
    int progress = 0;            // 0..16000
    int slotsTakenOver = 0;
    int handoversContinued = 0;  // reads that carried on from a mirror another program left
    long long recordsStored = 0;  // records new to the history since the start
    // This program has the station and the tables; false while another
    // program on the same data folder (a window) has them.
    bool stationHeld = true;
    int writeAddress = 0;
    WriteError writeResult = WriteError::None;
    QString storeError;
    QString headerCopyError;
    QString tableNotice;  // one sentence for the user about a table file found damaged while running

    // Publishing, in a word and in whole sentences.
    QString publishWord;
    QStringList publishLines;
    // Each destination's word, sentence and newest record delivered.
    std::vector<DestinationStatus> destinations;
};

using SnapshotPtr = std::shared_ptr<const StationSnapshot>;

}  // namespace nimbrel
