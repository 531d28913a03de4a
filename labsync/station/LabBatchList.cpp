#include "labsync/station/LabBatchList.h"

#include <QLocale>

#include "lab/LabTexts.h"
#include "labsync/LabSyncTexts.h"
#include "labsync/station/Convert.h"
#include "labsync/station/StationTexts.h"

namespace labsync::station {
namespace {

enum Column { kId, kProduct, kOperator, kStation, kStart, kEnd, kCount, kPass, kWarn, kFail, kColumns };

}  // namespace

LabBatchList::LabBatchList(LabClient& client, const i18n::LanguageState& language, Opener opener, QObject* parent)
    : lab::SharedBatchList(parent), client_(client), language_(language), opener_(std::move(opener)) {
  filter_.limit = kLimit;
  // A filter typed letter by letter asks the server once the typing pauses.
  debounce_.setSingleShot(true);
  debounce_.setInterval(250);
  connect(&debounce_, &QTimer::timeout, this, &LabBatchList::Ask);
}

QString LabBatchList::ScopeName(bool wholeLab) const {
  return Text(wholeLab ? StationText::WholeLab : StationText::ThisStation, language_.LanguageIndex);
}

void LabBatchList::SetFilter(const QString& text, const QDate& from, const QDate& to) {
  filter_.text = text.trimmed();
  filter_.from = from;
  filter_.to = to;
  debounce_.start();
}

void LabBatchList::Reload() {
  debounce_.stop();
  Ask();
}

void LabBatchList::Ask() {
  const int ticket = ++asked_;
  SetStatus(Text(StationText::ReadingList, language_.LanguageIndex));
  client_.List(filter_, [this, ticket](const Outcome& outcome, const std::vector<LabBatch>& batches) {
    if (ticket != asked_) return;
    beginResetModel();
    batches_ = outcome.Ok() ? batches : std::vector<LabBatch>();
    endResetModel();
    lastOutcome_ = outcome;
    SetStatus(StatusOf(outcome, batches_.size()));
  });
}

QString LabBatchList::StatusOf(const Outcome& outcome, std::size_t shown) const {
  const int lang = language_.LanguageIndex;
  if (!outcome.Ok()) return ReasonText(outcome, lang);
  if (static_cast<int>(shown) >= kLimit) return Text(StationText::NewestShown, lang).arg(QLocale().toString(kLimit));
  return {};
}

void LabBatchList::ApplyLanguage() {
  emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
  if (!batches_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kColumns - 1));
  SetStatus(StatusOf(lastOutcome_, batches_.size()));
}

void LabBatchList::SetStatus(const QString& status) {
  if (status == status_) return;
  status_ = status;
  emit StatusChanged();
}

void LabBatchList::Open(int row, View view) {
  const LabBatch* b = At(row);
  if (b == nullptr) return;
  const LabBatch batch = *b;
  SetStatus(Text(StationText::ReadingBatch, language_.LanguageIndex).arg(batch.batchId));
  client_.ReadBatch(batch.batch, batch.specification,
                    [this, batch, view](const Outcome& outcome, const std::vector<LabReading>& readings,
                                        const std::optional<SpecificationAdded>& version) {
                      if (!outcome.Ok()) {
                        SetStatus(ReasonText(outcome, language_.LanguageIndex));
                        return;
                      }
                      SetStatus(QString());
                      std::optional<lab::Specification> spec;
                      if (version) spec = SpecificationOf(*version);
                      opener_(QStringLiteral("lab:") + batch.batch.toString(QUuid::WithoutBraces), BatchOf(batch),
                              batch.stationName, spec, ReadingsOf(readings), view);
                    });
}

const LabBatch* LabBatchList::At(int row) const {
  if (row < 0 || row >= static_cast<int>(batches_.size())) return nullptr;
  return &batches_[static_cast<std::size_t>(row)];
}

int LabBatchList::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(batches_.size());
}

int LabBatchList::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant LabBatchList::data(const QModelIndex& index, int role) const {
  const LabBatch* b = At(index.row());
  if (b == nullptr) return {};
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(Qt::AlignVCenter | (index.column() >= kCount ? Qt::AlignRight : Qt::AlignLeft));
  }
  if (role != Qt::DisplayRole) return {};
  const int lang = language_.LanguageIndex;
  switch (index.column()) {
    case kId:
      return b->batchId;
    case kProduct:
      return b->product.isEmpty() ? lab::Text(lab::LabText::NoProduct, lang) : b->product;
    case kOperator:
      return b->operatorName;
    case kStation:
      return b->stationName;
    case kStart:
      return QLocale().toString(b->startedAt, QLocale::ShortFormat);
    case kEnd:
      return b->closedAt ? QLocale().toString(*b->closedAt, QLocale::ShortFormat)
                         : lab::Text(lab::LabText::OpenBatchState, lang);
    case kCount:
      return QVariant::fromValue(static_cast<qlonglong>(b->readings));
    case kPass:
      return QVariant::fromValue(static_cast<qlonglong>(b->passes));
    case kWarn:
      return QVariant::fromValue(static_cast<qlonglong>(b->warnings));
    case kFail:
      return QVariant::fromValue(static_cast<qlonglong>(b->fails));
    default:
      return {};
  }
}

QVariant LabBatchList::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns) return {};
  const int lang = language_.LanguageIndex;
  if (section == kStation) return Text(StationText::StationColumn, lang);
  static const lab::LabText headings[kColumns] = {
      lab::LabText::BatchId,   lab::LabText::Product,  lab::LabText::Operator, lab::LabText::Operator,
      lab::LabText::Start,     lab::LabText::End,      lab::LabText::Count,    lab::LabText::PassCount,
      lab::LabText::WarnCount, lab::LabText::FailCount};
  return lab::Text(headings[section], lang);
}

}  // namespace labsync::station
