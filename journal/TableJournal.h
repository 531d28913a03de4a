// The journal of the measurement table as the program uses it: it follows the table model's own
// change signals into the store (one transaction per change, in the handler that made the
// change), asks once after the start-up sequence whether the rows of a session that ended
// abnormally come back, and tells the operator once when the journal cannot be kept. The model
// stays the one place that holds the rows; the journal reads them from it when they change.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

#include "i18n/Language.h"
#include "journal/JournalStore.h"
#include "table/MeasurementModel.h"

namespace journal {

class TableJournal : public QObject {
  Q_OBJECT
 public:
  // Opens the journal `name` in `folder` and follows `rows`. Messages go to `window` in the
  // language of `language`; problems met now are told on standard error at once and in a message
  // box once the start-up sequence has ended. A run on the virtual instrument uses a name of its
  // own (chosen in app/ from the backend), so that its rows and the operator's never meet.
  TableJournal(table::MeasurementModel& rows, const i18n::LanguageState& language, QWidget* window,
               const QString& folder = DefaultFolder(), const QString& name = QLatin1String(kDefaultName));
  // The program ends normally: this run's rows leave the journal. While an exception unwinds the
  // end is not a normal one, and they stay.
  ~TableJournal() override;

  // Following the table into the journal.
  bool Active() const { return following_; }
  JournalStore& Store() { return *store_; }

  // The start-up sequence has closed its dialog: tells of a problem met so far, then asks whether
  // the rows left over from a session that ended abnormally come back (ahead of this run's rows).
  // Yes brings them back, No deletes them; "Later", Escape or closing the question leaves them in
  // the journal, and the next start asks again (with this run's rows after them, should this run
  // end abnormally too).
  void StartupSequenceEnded();

 private:
  enum class Problem { WriteFailed, SetAside, Newer };

  void Follow();
  void StopFollowing();
  // A change did not reach the journal: told once, and the journal is given up for this run.
  void Failed();
  void Tell(Problem problem);
  void ShowToldProblems();
  void AskRestore();

  table::MeasurementModel& rows_;
  const i18n::LanguageState& language_;
  QPointer<QWidget> window_;
  std::unique_ptr<JournalStore> store_;
  RowAt rowAt_;
  std::vector<QMetaObject::Connection> connections_;
  bool following_ = false;
  bool adopting_ = false;
  bool startupEnded_ = false;
  bool asked_ = false;
  std::vector<Problem> untold_;
};

}  // namespace journal
