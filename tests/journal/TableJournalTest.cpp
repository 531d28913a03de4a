// The restore question over a table model, without the program around it: what each answer does to
// the table and to what the next start finds, also when the journal fails while the question is
// open.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest/QTest>
#include <memory>

#include "journal/TableJournal.h"
#include "tests/support/ModalAnswerer.h"

namespace {

using journal::RowTexts;

RowTexts Row(int i, const QString& comment) {
  return {QStringLiteral("01.02.2024"),
          QStringLiteral("12:00:%1").arg(i, 2, 10, QLatin1Char('0')),
          QString(),
          QStringLiteral("L"),
          QString::number(i) + QStringLiteral(".5"),
          QStringLiteral("---"),
          comment};
}

// A session that ended abnormally with these rows.
void LeaveRows(const QString& folder, const std::vector<RowTexts>& rows) {
  journal::JournalStore store(folder);
  ASSERT_EQ(store.State(), journal::OpenState::Open);
  ASSERT_TRUE(store.Insert(0, static_cast<int>(rows.size()),
                           [&](int i) -> const RowTexts& { return rows[static_cast<std::size_t>(i)]; }));
}

TEST(TableJournal, OnlyAnExplicitAnswerTakesOrDropsTheRowsAndTheAnswerHoldsWhenTheJournalFails) {
  enum class Answer { Yes, No, Later, Escape, TitleBarClose };
  struct Case {
    const char* name;
    Answer answer;
    bool journalFails;  // while the question is open
    bool restored;
    int nextStartAsks;  // after this run's normal end
  };
  const Case cases[] = {
      {"Yes", Answer::Yes, false, true, 0},
      {"No", Answer::No, false, false, 0},
      {"Later", Answer::Later, false, false, 3},
      {"Escape is not No", Answer::Escape, false, false, 3},
      {"closing the box is not No", Answer::TitleBarClose, false, false, 3},
      {"Yes while the journal fails", Answer::Yes, true, true, 0},
      {"No while the journal fails", Answer::No, true, false, 0},
      {"Later while the journal fails", Answer::Later, true, false, 3},
  };
  // Control characters (a line break, a TAB) that an older version may have journaled become
  // blanks in the table, as every text of the table is one line.
  const std::vector<RowTexts> left = {Row(1, QStringLiteral("first")), Row(2, QStringLiteral("two\nlines\tand tab")),
                                      Row(3, QStringLiteral("third"))};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("korvanta"));
    LeaveRows(folder, left);
    if (testing::Test::HasFatalFailure()) return;

    QWidget window;
    i18n::LanguageState language;
    table::MeasurementModel rows;
    auto journal = std::make_unique<journal::TableJournal>(rows, language, &window, folder);
    ASSERT_TRUE(journal->Active());
    rows.AppendRow({Row(9, QStringLiteral("this run"))});

    testing_support::ModalAnswerer answers;
    QString question;
    answers.Expect([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      question = box->text();
      if (c.journalFails) {
        journal->Store().SetPageLimit(1);
        for (int i = 0; i < 1000 && journal->Active(); ++i) rows.AppendRow({Row(10, QString(200, 'x'))});
        ASSERT_FALSE(journal->Active());
      }
      switch (c.answer) {
        case Answer::Yes:
          box->button(QMessageBox::Yes)->click();
          break;
        case Answer::No:
          box->button(QMessageBox::No)->click();
          break;
        case Answer::Later:
          for (QAbstractButton* b : box->buttons()) {
            if (b->text() == QStringLiteral("Later")) b->click();
          }
          break;
        case Answer::Escape:
          QTest::keyClick(box, Qt::Key_Escape);
          break;
        case Answer::TitleBarClose:
          box->close();
          break;
      }
    });
    if (c.journalFails) answers.ExpectMessageBox(QMessageBox::Ok);  // the journal's failure, told after
    journal->StartupSequenceEnded();
    ASSERT_TRUE(answers.WaitAllAnswered());
    EXPECT_EQ(question, QStringLiteral("The last session ended unexpectedly with 3 readings. Restore them?"));

    if (c.restored) {
      // The rows come back in their order, ahead of this run's, each text one line.
      ASSERT_GE(rows.Count(), 4);
      for (int i = 0; i < 3; ++i) {
        RowTexts expected = left[static_cast<std::size_t>(i)];
        expected[6].replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\t'), QLatin1Char(' '));
        EXPECT_EQ(rows.Row(i).texts, expected) << "row " << i;
      }
      EXPECT_EQ(rows.Row(3).texts[6], QStringLiteral("this run"));
    } else {
      EXPECT_EQ(rows.Row(0).texts[6], QStringLiteral("this run"));
    }

    journal.reset();  // the normal end
    journal::JournalStore next(folder);
    ASSERT_EQ(next.State(), journal::OpenState::Open);
    EXPECT_EQ(next.LeftOverCount(), c.nextStartAsks);
    if (c.nextStartAsks > 0) {
      std::vector<journal::LeftOverRow> read;
      ASSERT_TRUE(next.ReadLeftOver(read));
      ASSERT_EQ(read.size(), left.size());
      for (std::size_t i = 0; i < read.size(); ++i) EXPECT_EQ(read[i].texts, left[i]);
    }
  }
}

}  // namespace
