// The history table: every history record taken over from the station, one
// row per date, kept in date order in the SQLite file `datat`.
//
// Every append is on disk when it returns (a batch of appends is one
// transaction), so a crash or a power cut loses no record that was shown.
// Values that were not readings (a non-zero state word, an invalid flag) are
// stored as 0; a stored 0 cannot be told from a real 0.
#pragma once

#include "Measurement.h"
#include "TableFile.h"



#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <atomic>
#include <memory>
#include <vector>

class QSqlQuery;

namespace nimbrel {

struct Calibration;

// One stored row, fields as in the table.
struct HistoryRow {
    QDateTime Dat;
    int DayWeek = 0;
    double TempDoor = 0;
    int HumDoor = 0;
    double TempCH[kChannelCount] = {};
    int HumCH[kChannelCount] = {};
    double UV = 0;
    double PressLocal = 0;
    int Weather = 0;
    double WindChill = 0;
    double WindGust = 0;
    double WindSpeed = 0;
    int RainCount = 0;
    int RainState = 0;
    int WindDirection = 0;
};

enum class AppendResult { Appended, Duplicate, Failed };
enum class RowOrder { OldestFirst, NewestFirst };

// Wind values of 266 mph or more, and wind chills of 167 or more, are not
// readings and are stored as 0.
constexpr double kWindStoreLimit = 266.0;
constexpr double kWindChillStoreLimit = 167.0;

// The row a Measurement is stored as.
HistoryRow rowFromMeasurement(const Measurement &m);
// Copies a row's fields into m; states and flags keep their values.
void loadMeasurement(const HistoryRow &row, Measurement &m);

class HistoryStore {
public:
    // 2: the kept extremes (table Extremes) and the rain-mark index.
    static constexpr int kSchemaVersion = 2;

    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    struct Opened {
        std::unique_ptr<HistoryStore> store;  // null when the file cannot be used at all
        TableProblem problem = TableProblem::None;
        QString setAside;  // where a damaged file was moved, if one was
        QString error;
        // Opened after an unclean end without reading every page (a large
        // file): run HistoryCheck on it.
        bool fullCheckPending = false;
    };
    // Opens the file, creating it when missing. A file proven damaged is
    // moved aside as "<name>.damaged-YYYYMMDD-HHMMSS" and a new one is
    // created: the user's old history is never destroyed. A file that is
    // locked, read-only or on a full disk stays as it is; the store is then
    // read-only (appends fail) or null, and `problem` says why (TableFile.h).
    // `now` names the moved file.
    static Opened open(const QString &path, const QDateTime &now);
    // Opens an existing history for reading only (queries only; appends and
    // clear fail): nothing is created or moved and no row changes. Null, with
    // `error` set, when the file is missing or is not a history this program
    // can read. Another process may append meanwhile.
    static std::unique_ptr<HistoryStore> openForReading(const QString &path, QString *error = nullptr);

    // Appends unless a row with the same date exists; older rows take their
    // place in date order.
    AppendResult append(const Measurement &m);
    AppendResult appendRow(const HistoryRow &row);

    // Groups appends into one transaction (the full read's 209 slots).
    // Commits when the batch object ends, or at commit().
    class Batch {
    public:
        explicit Batch(HistoryStore &store);
        ~Batch();
        // Ends the batch now; false when the transaction could not be
        // committed (its appends are then lost, see lastError). An inner
        // batch only reports whether its transaction could be started.
        bool commit();
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;

    private:
        HistoryStore &store_;
        bool active_;
        bool ended_ = false;
    };

    bool newest(HistoryRow &row) const;
    bool oldest(HistoryRow &row) const;
    long long count() const;

    // Rows with after < Dat <= upTo.
    std::vector<HistoryRow> rowsBetween(const QDateTime &after, const QDateTime &upTo,
                                        RowOrder order = RowOrder::OldestFirst) const;
    // Calls visit for each row with after < Dat <= upTo; visit returns false to stop.
    template <class Visit>
    void forEachBetween(const QDateTime &after, const QDateTime &upTo, RowOrder order, Visit visit) const;

    bool clear();
    // A consistent copy of the whole file (rows, kept extremes, indexes) as
    // a new file at `path`, taken through this connection, so appends that
    // are committed are in it. Fails, leaving no file, when `path` exists.
    bool copyTo(const QString &path) const;

    // Copies every row of the history table in `source` (a damaged file,
    // opened on the calling thread) that can still be read into this store,
    // skipping the rows that cannot: rows are read in storage order, and
    // after a failed read the reading resumes past it in growing steps.
    // Returns the number of rows read; stops early when `cancel` is set.
    long long copyReadableRows(QSqlDatabase &source, const std::atomic<bool> &cancel);

    // The corrections every face applies to what it reads (Calibration.h).
    // Rows read through this class stay as stored, for the code that copies
    // them; each face applies the correction to what it shows.
    void setCalibration(std::shared_ptr<const Calibration> calibration) { calibration_ = std::move(calibration); }
    const Calibration *calibration() const { return calibration_.get(); }

    QString path() const { return path_; }
    QString lastError() const { return lastError_; }
    QSqlDatabase database() const;

    // Date-times are stored as text "YYYY-MM-DDTHH:MM:SS", which sorts in
    // date order.
    static QString dateText(const QDateTime &dt);
    static QDateTime dateFromText(const QString &text);
    // Every field of a row but its date, from a query that selects the
    // table's columns in their stored order (the date first).
    static void readValues(const QSqlQuery &q, HistoryRow &row);

private:
    explicit HistoryStore(QString connection, QString path);
    bool beginBatch();
    bool endBatch();
    bool query(const QString &sql) const;
    using RowVisitor = bool (*)(void *, const HistoryRow &);
    void visitBetween(const QDateTime &after, const QDateTime &upTo, RowOrder order, void *context,
                      RowVisitor visitor) const;

    QString connection_;
    QString path_;
    mutable QString lastError_;
    int batchDepth_ = 0;
    std::unique_ptr<QSqlQuery> insert_;  // prepared once, reused for every append
    std::shared_ptr<const Calibration> calibration_;  // null: readings as stored
};

template <class Visit>
void HistoryStore::forEachBetween(const QDateTime &after, const QDateTime &upTo, RowOrder order, Visit visit) const
{
    visitBetween(after, upTo, order, &visit,
                 [](void *context, const HistoryRow &row) { return (*static_cast<Visit *>(context))(row); });
}

}  // namespace nimbrel
