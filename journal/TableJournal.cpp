#include "journal/TableJournal.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <exception>

#include "i18n/ExtraTexts.h"
#include "journal/Log.h"

namespace journal {

static_assert(table::kColumnCount == kTextsPerRow, "the journal keeps a row's texts as the table holds them");

TableJournal::TableJournal(table::MeasurementModel& rows, const i18n::LanguageState& language, QWidget* window,
                           const QString& folder, const QString& name)
    : rows_(rows),
      language_(language),
      window_(window),
      store_(std::make_unique<JournalStore>(folder, Durability::SyncAway, name)),
      rowAt_([this](int index) {
        const table::MeasurementRow& row = rows_.Row(index);
        return RowRef{row.texts, {row.uuid, row.takenMsecs, row.utcOffsetSeconds}};
      }) {
  const QString file = QDir::toNativeSeparators(store_->DatabasePath());
  switch (store_->State()) {
    case OpenState::InUse:
      qCWarning(lcJournal,
                "korvanta: another copy of the program keeps its journal in %s; this copy runs without one, "
                "so its readings are not kept if it ends abnormally",
                qPrintable(QDir::toNativeSeparators(store_->Folder())));
      return;
    case OpenState::Newer:
      qCWarning(lcJournal,
                "korvanta: the journal %s was written by a newer version of the program; this version leaves it "
                "as it is and runs without one",
                qPrintable(file));
      Tell(Problem::Newer);
      return;
    case OpenState::Unwritable:
      qCWarning(lcJournal, "korvanta: the journal %s cannot be written: %s; the program goes on without it",
                qPrintable(file), qPrintable(store_->Problem()));
      Tell(Problem::WriteFailed);
      return;
    case OpenState::Open:
      break;
  }
  if (!store_->SetAsidePath().isEmpty()) {
    qCWarning(lcJournal, "korvanta: the journal %s could not be used (%s); it is kept as %s and a new one is started",
              qPrintable(file), qPrintable(store_->SetAsideReason()),
              qPrintable(QDir::toNativeSeparators(store_->SetAsidePath())));
    Tell(Problem::SetAside);
  }
  Follow();
  // Rows the table holds already (none, when the program starts) are this run's first rows.
  if (rows_.Count() > 0 && !store_->Insert(0, rows_.Count(), rowAt_)) Failed();
}

TableJournal::~TableJournal() {
  StopFollowing();
  if (std::uncaught_exceptions() == 0) store_->EndSession();
}

void TableJournal::Follow() {
  following_ = true;
  connections_ = {
      connect(&rows_, &QAbstractItemModel::rowsInserted, this,
              [this](const QModelIndex&, int first, int last) {
                // Rows brought back are in the journal already (AskRestore).
                if (!adopting_ && !store_->Insert(first, last - first + 1, rowAt_)) Failed();
              }),
      connect(&rows_, &QAbstractItemModel::rowsRemoved, this,
              [this](const QModelIndex&, int first, int last) {
                if (!store_->Remove(first, last - first + 1)) Failed();
              }),
      connect(&rows_, &QAbstractItemModel::dataChanged, this,
              [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                if (!store_->Update(topLeft.row(), bottomRight.row() - topLeft.row() + 1, rowAt_)) Failed();
              }),
      connect(&rows_, &QAbstractItemModel::modelReset, this,
              [this] {
                if (!store_->Replace(rows_.Count(), rowAt_)) Failed();
              }),
  };
}

void TableJournal::StopFollowing() {
  for (const QMetaObject::Connection& c : connections_) disconnect(c);
  connections_.clear();
  following_ = false;
}

void TableJournal::Failed() {
  if (!following_) return;
  StopFollowing();
  qCWarning(lcJournal, "korvanta: the journal %s cannot be written: %s; the program goes on without it",
            qPrintable(QDir::toNativeSeparators(store_->DatabasePath())), qPrintable(store_->Problem()));
  Tell(Problem::WriteFailed);
}

void TableJournal::Tell(Problem problem) {
  untold_.push_back(problem);
  // Never inside the tick or the handler whose change failed, and never across the start-up
  // sequence: the message box waits for the event loop, and for the end of that sequence.
  if (startupEnded_) QTimer::singleShot(0, this, &TableJournal::ShowToldProblems);
}

void TableJournal::ShowToldProblems() {
  while (!untold_.empty()) {
    const Problem problem = untold_.front();
    untold_.erase(untold_.begin());
    const int lang = language_.LanguageIndex;
    const QString file = QDir::toNativeSeparators(store_->DatabasePath());
    QString text;
    switch (problem) {
      case Problem::SetAside:
        text = i18n::ExtraText(i18n::Extra::JournalSetAside, lang)
                   .arg(store_->SetAsideReason(), QDir::toNativeSeparators(store_->SetAsidePath()));
        break;
      case Problem::Newer:
        text = i18n::ExtraText(i18n::Extra::JournalNewer, lang).arg(file);
        break;
      case Problem::WriteFailed:
        text = i18n::ExtraText(i18n::Extra::JournalWriteFailed, lang).arg(file, store_->Problem());
        break;
    }
    QMessageBox::warning(window_, i18n::ExtraText(i18n::Extra::JournalTitle, lang), text);
  }
}

void TableJournal::StartupSequenceEnded() {
  if (startupEnded_) return;
  startupEnded_ = true;
  ShowToldProblems();
  AskRestore();
}

void TableJournal::AskRestore() {
  if (asked_ || !following_ || store_->LeftOverCount() == 0) return;
  asked_ = true;
  std::vector<LeftOverRow> texts;
  if (!store_->ReadLeftOver(texts)) {
    Failed();
    return;
  }
  const int lang = language_.LanguageIndex;
  const int n = static_cast<int>(texts.size());
  const QString question = n == 1 ? i18n::ExtraText(i18n::Extra::JournalRestoreOne, lang)
                                  : i18n::ExtraText(i18n::Extra::JournalRestore, lang).arg(n);
  QMessageBox box(QMessageBox::Question, language_.Text(i18n::Txt::Question), question,
                  QMessageBox::Yes | QMessageBox::No, window_);
  box.setDefaultButton(QMessageBox::Yes);
  // Only an explicit No deletes readings. Escape and the title bar's close mean "not now", as the
  // third button says.
  QPushButton* later = box.addButton(i18n::ExtraText(i18n::Extra::JournalRestoreLater, lang), QMessageBox::RejectRole);
  box.setEscapeButton(later);
  // Polling goes on behind the question; readings taken meanwhile are this run's rows. The journal
  // may fail meanwhile: the answer holds all the same (see JournalStore).
  box.exec();
  if (box.clickedButton() == box.button(QMessageBox::Yes)) {
    std::vector<table::MeasurementRow> restored(texts.size());
    // Each keeps its identity: the lab record knows a restored reading and never records it twice.
    for (std::size_t i = 0; i < texts.size(); ++i) {
      restored[i].texts = std::move(texts[i].texts);
      restored[i].uuid = texts[i].identity.uuid;
      restored[i].takenMsecs = texts[i].identity.takenMsecs;
      restored[i].utcOffsetSeconds = texts[i].identity.utcOffsetSeconds;
    }
    // They are in the journal already, just ahead of this run's rows.
    const bool adopted = store_->AdoptLeftOver();
    adopting_ = true;
    rows_.InsertRowsAtFront(std::move(restored));
    adopting_ = false;
    if (!adopted) Failed();
  } else if (box.clickedButton() == box.button(QMessageBox::No)) {
    if (!store_->DiscardLeftOver()) Failed();
  }
}

}  // namespace journal
