#include "HistoryWriter.h"

#include "HistoryStore.h"

namespace nimbrel {

struct HistoryWriter::OpenBatch {
    explicit OpenBatch(HistoryStore &store) : transaction(store) {}
    HistoryStore::Batch transaction;
    QDateTime first;  // the oldest record appended in it
};

HistoryWriter::HistoryWriter() = default;

HistoryWriter::~HistoryWriter()
{
    batch_.reset();
}

void HistoryWriter::setStore(HistoryStore *store)
{
    batch_.reset();
    store_ = store;
    kept_.clear();
    failing_ = false;
    firstLost_ = QDateTime();
}

void HistoryWriter::fail(const QString &why)
{
    failing_ = true;
    lastError_ = why;
}

void HistoryWriter::lose(const QDateTime &first)
{
    if (first.isValid() && (!firstLost_.isValid() || first < firstLost_))
        firstLost_ = first;
}

void HistoryWriter::keep(const Measurement &m)
{
    kept_.push_back(m);
    if (kept_.size() > kKeptLimit) {
        lose(kept_.front().Dat);
        kept_.pop_front();
    }
}

HistoryWriter::Outcome HistoryWriter::write(const Measurement &m)
{
    if (!store_)
        return Outcome::None;
    if (!m.Dat.isValid()) {
        lastError_ = QStringLiteral("the record has no valid date");
        return Outcome::Failed;  // never storable: not kept
    }
    if (failing_) {
        keep(m);
        return Outcome::Kept;
    }
    const AppendResult appended = store_->append(m);
    if (appended != AppendResult::Failed) {
        if (appended == AppendResult::Appended)
            ++appended_;
        if (batch_ && !batch_->first.isValid())
            batch_->first = m.Dat;
        return Outcome::Stored;
    }
    // A failed statement may have rolled the batch back (SQLite does so on a
    // full disk): its earlier rows are then gone.
    if (batch_ && batch_->first.isValid())
        lose(batch_->first);
    fail(store_->lastError());
    keep(m);
    return Outcome::Failed;
}

void HistoryWriter::beginBatch()
{
    if (store_ && !failing_ && !batch_)
        batch_ = std::make_unique<OpenBatch>(*store_);
}

bool HistoryWriter::commitBatch()
{
    if (!batch_)
        return true;
    const std::unique_ptr<OpenBatch> batch = std::move(batch_);
    if (batch->transaction.commit())
        return true;
    if (batch->first.isValid())
        lose(batch->first);
    const bool told = failing_;
    fail(store_->lastError());
    return told;
}

bool HistoryWriter::retry()
{
    if (!store_ || !failing_ || kept_.empty() || batch_)
        return !failing_;
    long long appended = 0;
    {
        HistoryStore::Batch transaction(*store_);
        for (const Measurement &m : kept_) {
            const AppendResult result = store_->append(m);
            if (result == AppendResult::Failed) {
                lastError_ = store_->lastError();
                return false;  // the batch ends with nothing of it lost: all are still kept
            }
            appended += result == AppendResult::Appended ? 1 : 0;
        }
        if (!transaction.commit()) {
            lastError_ = store_->lastError();
            return false;
        }
    }
    kept_.clear();
    failing_ = false;
    appended_ += appended;
    return true;
}

bool HistoryWriter::takeReadBack()
{
    if (!readBackDue())
        return false;
    firstLost_ = QDateTime();
    return true;
}

}  // namespace nimbrel
