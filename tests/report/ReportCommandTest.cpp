// korvanta --report as a lab's script runs it: a child process with no display at all, beside a
// record a running program holds open, and every exit status with its one line on standard error.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "analysis/GlossValue.h"
#include "lab/LabStore.h"
#include "report/BatchReportData.h"
#include "report/ReportCommand.h"
#include "report/ReportStatistics.h"
#include "tests/report/PdfTools.h"
#include "tests/support/TestEnvironment.h"

namespace {

using testing_support::CheckReportFile;
using testing_support::WriteFileBytes;

// 2026-12-08T10:00:00+01:00.
constexpr std::int64_t kStart = 1'796'720'400'000;

lab::ReadingInput Taken(int i, const QString& value20, const QString& value60) {
  lab::ReadingInput r;
  r.uuid = QUuid::createUuid();
  r.taken = {kStart + i * 7'000, 3600};
  // The table's texts as a German desktop writes them: the report dates readings by their instant.
  r.texts = {QStringLiteral("08.12.2026"),
             QStringLiteral("10:00:%1").arg(i * 7, 2, 10, QLatin1Char('0')),
             QString(),
             QString(),
             value20,
             value60};
  r.serial = QStringLiteral("QX31804711");
  r.firmware = QStringLiteral("08 15");
  return r;
}

struct ProgramRun {
  int exitCode = -1;
  QString err;
};

ProgramRun Korvanta(const QStringList& arguments, const QString& home, const QString& dataHome,
                    const QString& workingDir) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  // No display of any kind, and no runtime folder, as under cron.
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"})
    environment.remove(QString::fromLatin1(name));
  environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
  environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
  environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
  environment.insert(QStringLiteral("XDG_STATE_HOME"), home + QStringLiteral("/state"));
  QProcess process;
  process.setProcessEnvironment(environment);
  process.setWorkingDirectory(workingDir);
  process.start(QStringLiteral(KORVANTA_PROGRAM_FILE), arguments);
  ProgramRun run;
  if (!process.waitForFinished(120000)) {
    process.kill();
    process.waitForFinished();
    run.err = QStringLiteral("(still running; killed)");
    return run;
  }
  run.err = QString::fromUtf8(process.readAllStandardError());
  if (process.exitStatus() == QProcess::NormalExit) run.exitCode = process.exitCode();
  return run;
}

TEST(ReportCommand, WritesABatchsReportWithoutADisplayAndTellsEachFailureInOneLine) {
  QTemporaryDir home;
  const QString data = home.filePath(QStringLiteral("data"));
  const QString work = home.filePath(QStringLiteral("work"));
  for (const char* folder : {"work", "config/korvanta", "broken/korvanta", "empty", "out"})
    ASSERT_TRUE(QDir().mkpath(home.filePath(QLatin1String(folder))));
  // This station's name, as the lab database knows it; the lab's name for the header.
  WriteFileBytes(home.filePath(QStringLiteral("config/korvanta/lab.conf")), "station = Line 3\n");
  WriteFileBytes(home.filePath(QStringLiteral("config/korvanta/korvanta.conf")), "report.lab_name = Coatings lab\n");

  // A closed batch judged against 20° 80 ± 5, a withdrawn reading, a changed comment, and an open
  // batch; the record stays open in this process, as a measuring program keeps it.
  auto store = std::make_unique<lab::LabStore>(data + QStringLiteral("/korvanta/lab.db"));
  ASSERT_TRUE(store->Writable()) << qPrintable(store->Problem());
  lab::Specification spec;
  spec.name = QStringLiteral("Topcoat");
  spec.limits.angle[0] = lab::AngleLimits::Around(8000, 500);
  ASSERT_TRUE(store->AddProduct(spec));
  lab::Batch lot;
  ASSERT_TRUE(store->StartBatch(QStringLiteral("LOT-7"), spec.id, QStringLiteral("Ann Example"), {kStart, 3600}, lot));
  const QStringList values20 = {"81,5", "79.9", "84.75", "77,0", "80.1", "90,0", "82.3", "78.8"};
  const QStringList values60 = {"91.2", "90,4", "92.05", "---", "89.9", "95.0", "91,7", "90.3"};
  std::vector<lab::ReadingInput> readings;
  for (int i = 0; i < values20.size(); ++i) {
    readings.push_back(Taken(i, values20[i], values60[i]));
    ASSERT_TRUE(store->RecordReading(lot.id, readings.back()));
  }
  ASSERT_TRUE(store->WithdrawReading(readings[5].uuid, {kStart + 60'000, 3600}));
  ASSERT_TRUE(store->ChangeComment(readings[2].uuid, QStringLiteral("edge of panel 3"), {kStart + 61'000, 3600}));
  ASSERT_TRUE(store->CloseBatch(lot.id, {kStart + 120'000, 3600}));
  lab::Batch open;
  ASSERT_TRUE(store->StartBatch(QStringLiteral("OPEN-1"), std::nullopt, QString(), {kStart + 200'000, 3600}, open));
  ASSERT_TRUE(store->RecordReading(open.id, Taken(30, QStringLiteral("50,0"), QStringLiteral("60.0"))));
  {
    lab::LabStore simulated(data + QStringLiteral("/korvanta/lab-simulated.db"));
    lab::Batch sim;
    ASSERT_TRUE(simulated.StartBatch(QStringLiteral("SIM-1"), std::nullopt, QString(), {kStart, 3600}, sim));
    ASSERT_TRUE(simulated.WaitSynced());
  }
  ASSERT_TRUE(store->WaitSynced());
  // A record that is no database, and a folder without any.
  const QString broken = home.filePath(QStringLiteral("broken"));
  WriteFileBytes(broken + QStringLiteral("/korvanta/lab.db"), QByteArray(8192, 'x'));
  const QString empty = home.filePath(QStringLiteral("empty"));

  const QByteArray german = "[Config]\r\nLanguage=1\r\n";
  const QString out = home.filePath(QStringLiteral("out"));
  struct Case {
    const char* what;
    QStringList arguments;
    QString dataHome;
    QByteArray settings;  // 318qx.ini in the working folder
    int exitCode;
    QString err;     // standard error's one line holds this; nothing at all when empty
    QString output;  // the file written, when one is
  };
  const Case cases[] = {
      {"the closed batch", {"--report=LOT-7", "--output=" + out + "/lot-7.pdf"}, data, {}, 0, {}, "lot-7.pdf"},
      {"its station, in another case",
       {"--report", "LOT-7", "--output", out + "/station.pdf", "--station=line 3"},
       data,
       {},
       0,
       {},
       "station.pdf"},
      {"--language over 318qx.ini",
       {"--report=OPEN-1", "--output=" + out + "/open.pdf", "--language=fr"},
       data,
       german,
       0,
       {},
       "open.pdf"},
      {"the simulated runs' record",
       {"--report=SIM-1", "--output=" + out + "/sim.pdf", "--simulate"},
       data,
       {},
       0,
       {},
       "sim.pdf"},
      {"no such batch, told in 318qx.ini's language",
       {"--report=LOT-8", "--output=" + out + "/x.pdf"},
       data,
       german,
       1,
       "Im Laborprotokoll " + data + "/korvanta/lab.db gibt es keine Charge LOT-8.",
       {}},
      {"not in the simulated record",
       {"--report=LOT-7", "--output=" + out + "/x.pdf", "--simulate"},
       data,
       {},
       1,
       "There is no batch LOT-7 in the lab record " + data + "/korvanta/lab-simulated.db.",
       {}},
      {"another station's",
       {"--report=LOT-7", "--output=" + out + "/x.pdf", "--station=Line 9"},
       data,
       {},
       1,
       "There is no batch LOT-7 of station \"Line 9\"; batch LOT-7 was measured at: Line 3.",
       {}},
      {"a file that cannot be written",
       {"--report=LOT-7", "--output=" + out + "/missing/x.pdf"},
       data,
       {},
       1,
       "The report \"" + out + "/missing/x.pdf\" could not be written",
       {}},
      {"a record that cannot be read",
       {"--report=LOT-7", "--output=" + out + "/x.pdf"},
       broken,
       {},
       1,
       "The lab record " + broken + "/korvanta/lab.db cannot be read",
       {}},
      {"no record at all",
       {"--report=LOT-7", "--output=" + out + "/x.pdf"},
       empty,
       {},
       1,
       "There is no lab record " + empty + "/korvanta/lab.db",
       {}},
      {"--output without --report", {"--output=" + out + "/x.pdf"}, data, {}, 2, "option --output needs --report", {}},
      {"--report without --output", {"--report=LOT-7"}, data, {}, 2, "option --report needs --output=FILE.pdf", {}},
      {"an empty batch ID",
       {"--report=", "--output=" + out + "/x.pdf"},
       data,
       {},
       2,
       "option --report needs a batch ID",
       {}},
      {"a language of none",
       {"--report=LOT-7", "--output=" + out + "/x.pdf", "--language=es"},
       data,
       {},
       2,
       "option --language takes en, de or fr, not 'es'",
       {}},
      {"--station alone", {"--station=Line 3"}, data, {}, 2, "option --station needs --report", {}},
      {"a scenario file",
       {"--report=LOT-7", "--output=" + out + "/x.pdf", "--simulate=s.ini"},
       data,
       {},
       2,
       "--simulate takes no scenario file",
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QFile::remove(work + QStringLiteral("/318qx.ini"));
    if (!c.settings.isEmpty()) WriteFileBytes(work + QStringLiteral("/318qx.ini"), c.settings);
    const QStringList before = QDir(out).entryList(QDir::Files);
    const ProgramRun run = Korvanta(c.arguments, home.path(), c.dataHome, work);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
    if (c.err.isEmpty()) {
      EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    } else {
      EXPECT_TRUE(run.err.startsWith(QStringLiteral("korvanta: ")) && run.err.contains(c.err)) << run.err.toStdString();
      EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
    }
    QStringList expected = before;
    if (!c.output.isEmpty()) expected << c.output;
    expected.sort();
    EXPECT_EQ(QDir(out).entryList(QDir::Files), expected) << "only the report asked for, and no partial file";
  }

  // The closed batch's report read back: every reading's values with the report's decimal mark,
  // the mean to its decimals, its date from the instant, the withdrawn reading marked, the comment
  // as it stands now, the lab's name; nothing provisional.
  const std::optional<report::ReportData> expected = report::BatchReportData(*store, lot.id, 0);
  ASSERT_TRUE(expected.has_value());
  const report::ReportStatistics statistics = report::ComputeStatistics(*expected);
  const report::ColumnFigures& g20 = statistics.columns[report::kColumn20];
  QStringList values = {analysis::FormatNumber(g20.values.Mean(), g20.Decimals(), QLatin1Char('.')),
                        QStringLiteral("2026-12-08"),
                        QStringLiteral("withdrawn"),
                        QStringLiteral("edge of panel 3"),
                        QStringLiteral("Coatings lab"),
                        QStringLiteral("Topcoat, specification version 1")};
  for (int i = 0; i < values20.size(); ++i) {
    values << QString(values20[i]).replace(QLatin1Char(','), QLatin1Char('.'));
    if (values60[i] != QLatin1String("---")) values << QString(values60[i]).replace(QLatin1Char(','), QLatin1Char('.'));
  }
  const QString text = CheckReportFile(out + QStringLiteral("/lot-7.pdf"), QStringLiteral("Batch report LOT-7"),
                                       QStringLiteral("Batch LOT-7"), values);
  EXPECT_FALSE(text.contains(QLatin1String("08.12.2026")));
  EXPECT_FALSE(text.contains(QLatin1String("PROVISIONAL")));
  EXPECT_TRUE(text.contains(QLatin1String("First reading")) &&
              text.contains(QLatin1String("2026-12-08 10:00:00 +01:00")));
  // The open batch's, in French: provisional, with the French decimal mark.
  const QString open1 = testing_support::PdfText(out + QStringLiteral("/open.pdf"));
  EXPECT_TRUE(open1.contains(QLatin1String("PROVISOIRE")) && open1.contains(QLatin1String("Page 1 sur 1")) &&
              open1.contains(QLatin1String("50,0")))
      << open1.toStdString();
}

TEST(ReportCommand, ABatchIdSeveralStationsShareIsChosenByItsStation) {
  using Kind = report::BatchChoice::Kind;
  const QDateTime at = QDateTime::fromMSecsSinceEpoch(kStart, Qt::OffsetFromUTC, 3600);
  const std::vector<report::StationBatch> two = {{QStringLiteral("Line 3"), 11, at},
                                                 {QStringLiteral("Line 4"), 12, at}};
  struct Case {
    const char* what;
    std::vector<report::StationBatch> sameId;
    QString station;
    Kind kind;
    std::int64_t id;
    QStringList others;
  };
  const Case cases[] = {
      {"one station's", {two[0]}, {}, Kind::Found, 11, {}},
      {"none", {}, {}, Kind::Missing, 0, {}},
      {"two stations': ambiguous, both listed",
       two,
       {},
       Kind::Ambiguous,
       0,
       {"Line 3 (2026-12-08T10:00:00+01:00)", "Line 4 (2026-12-08T10:00:00+01:00)"}},
      {"chosen by station, without regard to case or blanks", two, QStringLiteral(" line 4 "), Kind::Found, 12, {}},
      {"a station that has none names those that have",
       two,
       QStringLiteral("Line 9"),
       Kind::Missing,
       0,
       {"Line 3", "Line 4"}},
  };
  for (const Case& c : cases) {
    const report::BatchChoice choice = report::ChooseBatch(c.sameId, c.station);
    EXPECT_EQ(choice.kind, c.kind) << c.what;
    EXPECT_EQ(choice.id, c.id) << c.what;
    EXPECT_EQ(choice.others, c.others) << c.what;
  }
}

}  // namespace
