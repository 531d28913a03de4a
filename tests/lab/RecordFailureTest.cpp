// A record that fails while readings arrive (a full disk) is told in the Batch window and on
// standard error, never in a box the reading opened; the readings stay in the table.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTableView>
#include <QTemporaryDir>

#include "lab/windows/LabWindows.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"

namespace lab {
namespace {

TEST(RecordFailure, AFullDiskIsToldInTheBatchWindowWithoutABox) {
  QTemporaryDir dir;
  table::MeasurementModel rows;
  QWidget owner;
  i18n::LanguageState language;
  language.LanguageIndex = i18n::kGerman;
  analysis::ReadingAnalysis analysis(rows, *new QTableView(&owner), language, &owner);
  LabWindows windows(rows, analysis, language, &owner, dir.filePath(QStringLiteral("lab.db")),
                     dir.filePath(QStringLiteral("korvanta.conf")), {});
  windows.StartupSequenceEnded();
  ASSERT_TRUE(windows.Session()->Start(QStringLiteral("B"), std::nullopt, QString()));
  windows.Store().SetPageLimit(1);
  testing::internal::CaptureStderr();
  for (int i = 0; i < 20; ++i) {
    table::MeasurementRow row({"08.12.2026", "17:20:00", "", "", "40,5", "80.1", QString(3000, QLatin1Char('c'))});
    row.uuid = QUuid::createUuid();
    row.takenMsecs = QDateTime::currentMSecsSinceEpoch();
    rows.AppendRow(row);
  }
  testing_support::RunEventLoop(50);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(rows.Count(), 20);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  ASSERT_NE(windows.Batch(), nullptr) << "the Batch window opens to tell it";
  EXPECT_FALSE(windows.Batch()->isModal());
  EXPECT_TRUE(windows.Batch()->ProblemLabel->text().startsWith(QStringLiteral("Das Laborprotokoll")))
      << qPrintable(windows.Batch()->ProblemLabel->text());
  std::size_t told = 0;
  for (std::size_t at = err.find("korvanta: "); at != std::string::npos; at = err.find("korvanta: ", at + 1)) ++told;
  EXPECT_EQ(told, 1u) << err;
}

TEST(RecordFailure, ANewerVersionsRecordIsToldAfterTheStartUpAndShownReadOnly) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("lab.db"));
  {
    LabStore store(path);
    Batch batch;
    ASSERT_TRUE(store.StartBatch(QStringLiteral("OLD-1"), std::nullopt, QString(), Instant::Now(), batch));
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
  sqlite3_exec(db, "PRAGMA user_version = 9", nullptr, nullptr, nullptr);
  sqlite3_close(db);

  table::MeasurementModel rows;
  QWidget owner;
  i18n::LanguageState language;
  language.LanguageIndex = i18n::kFrench;
  analysis::ReadingAnalysis analysis(rows, *new QTableView(&owner), language, &owner);
  testing::internal::CaptureStderr();
  LabWindows windows(rows, analysis, language, &owner, path, dir.filePath(QStringLiteral("korvanta.conf")), {});
  EXPECT_NE(testing::internal::GetCapturedStderr().find("newer version"), std::string::npos);
  EXPECT_EQ(windows.Store().State(), LabStore::OpenState::ReadOnly);
  EXPECT_EQ(windows.Session(), nullptr);
  // Nothing before the start-up sequence has ended; then the message, in the operator's language.
  testing_support::RunEventLoop(20);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  testing_support::ModalAnswerer answers;
  QString text;
  answers.ExpectMessageBox(QMessageBox::Ok, &text);
  windows.StartupSequenceEnded();
  ASSERT_TRUE(answers.WaitAllAnswered());
  EXPECT_TRUE(text.startsWith(QStringLiteral("Le registre du laboratoire"))) << qPrintable(text);
  // Its batches can be looked at, not continued.
  windows.OpenBatches();
  ASSERT_NE(windows.Batches(), nullptr);
  ASSERT_EQ(windows.Batches()->Model().Shown(), 1);
  windows.Batches()->Choose(0);
  EXPECT_FALSE(windows.Batches()->ContinueButton->isEnabled());
}

}  // namespace
}  // namespace lab
