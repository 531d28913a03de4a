// A station joined to a real lab database, wired as main() wires it: its configuration, every
// change of its record through the real outbox, the lab's products at the first join and in a
// lead's and an operator's Specifications window, two stations at once, a silent server, and a
// station killed with readings waiting. Counts are exact; waits only bound a hang.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSet>
#include <QSysInfo>
#include <QTemporaryDir>

#include "analysis/windows/StatisticsWindow.h"
#include "labsync/Products.h"
#include "labsync/station/LabBatchList.h"
#include "tests/labsync/LabDatabaseTest.h"
#include "tests/labsync/StationFixture.h"
#include "tests/support/TestEnvironment.h"

namespace labsync::station {
namespace {

using std::chrono::seconds;
using testing_support::LabDatabaseTest;
using testing_support::Station;
using testing_support::WaitUntil;

constexpr int kPatienceMs = 120000;

QString Folder(const QTemporaryDir& dir, const char* name) {
  QDir(dir.path()).mkpath(QLatin1String(name));
  return dir.filePath(QLatin1String(name));
}

// The configuration as lab.conf and the command line give it.
TEST(StationConfigTest, FromTheFileAndTheCommandLine) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("lab.conf"));
  struct Case {
    const char* what;
    const char* file;  // lab.conf's content; nullptr: no file
    std::optional<QString> commandLine;
    bool simulated;
    bool configured;
    const char* conninfo;
    Failure problem;
    const char* name;  // the shown name; empty: the host name
    std::chrono::seconds timeout;
  };
  const Case cases[] = {
      {"nothing", nullptr, std::nullopt, false, false, "", Failure::None, "", seconds(10)},
      {"the file's", "connection = host=db dbname=lab\n", std::nullopt, false, true, "host=db dbname=lab",
       Failure::None, "", seconds(10)},
      {"its own name", "connection = service=lab\nstation = Line 3\n", std::nullopt, false, true, "service=lab",
       Failure::None, "Line 3", seconds(10)},
      {"the command line's first", "connection = host=db\n", QStringLiteral("host=other connect_timeout=3"), false,
       true, "host=other connect_timeout=3", Failure::None, "", seconds(3)},
      {"simulated: never the file's", "connection = host=db\n", std::nullopt, true, false, "", Failure::None, "",
       seconds(10)},
      {"simulated: its own command line", "connection = host=db\n", QStringLiteral("host=demo"), true, true,
       "host=demo", Failure::None, " (simulated)", seconds(10)},
      {"a password", "connection = host=db password=s3cret\n", std::nullopt, false, true, "host=db password=s3cret",
       Failure::PasswordInConnInfo, "", seconds(10)},
      {"a password in an address", nullptr, QStringLiteral("postgresql://station:s3cret@db/lab"), false, true,
       "postgresql://station:s3cret@db/lab", Failure::PasswordInConnInfo, "", seconds(10)},
      {"unreadable", "connection = host='db\n", std::nullopt, false, true, "host='db", Failure::BadConnInfo, "",
       seconds(10)},
  };
  const QString host = QSysInfo::machineHostName().simplified();
  for (const Case& c : cases) {
    QFile::remove(path);
    if (c.file != nullptr) testing_support::WriteFileBytes(path, c.file);
    const StationConfig config = ReadStationConfig(path, c.commandLine, c.simulated);
    EXPECT_EQ(config.configured, c.configured) << c.what;
    EXPECT_EQ(config.conninfo, QByteArray(c.conninfo)) << c.what;
    EXPECT_EQ(config.problem.failure, c.problem) << c.what;
    if (!c.configured) {
      // Nothing is written for a station that joins nothing.
      EXPECT_EQ(QFile::exists(path), c.file != nullptr) << c.what;
      EXPECT_EQ(testing_support::ReadFileBytes(path), QByteArray(c.file != nullptr ? c.file : "")) << c.what;
      continue;
    }
    const QString name = QString::fromLatin1(c.name);
    EXPECT_EQ(config.stationName, name.isEmpty() || name.startsWith(QLatin1Char(' ')) ? host + name : name) << c.what;
    EXPECT_EQ(config.connectTimeout, c.timeout) << c.what;
    // The identity is made once, kept, and the file stays its owner's.
    ASSERT_FALSE(config.station.isNull()) << c.what;
    EXPECT_EQ(ReadStationConfig(path, c.commandLine, c.simulated).station, config.station) << c.what;
    EXPECT_EQ(QFile::permissions(path) & 0x0077, 0) << c.what;
    EXPECT_NE(ReadStationConfig(path, c.commandLine, !c.simulated).station, config.station) << c.what;
  }
}

class StationTest : public LabDatabaseTest {
 protected:
  // Runs the event loop until the station's outbox is empty and its link says so.
  bool Sent(Station& station) {
    return WaitUntil(
        [&] {
          const LinkStatus& s = station.link->Status();
          return s.state == LinkStatus::State::Connected && s.waiting == 0 && station.Store().Outbox().empty();
        },
        kPatienceMs);
  }
  static bool ProductsTaken(Station& station, std::size_t count) {
    return WaitUntil([&] { return station.Store().LabProducts().size() == count; }, kPatienceMs);
  }
  static lab::Specification Product(const QString& name, lab::AngleLimits at60) {
    lab::Specification spec;
    spec.name = name;
    spec.limits.angle[1] = at60;
    return spec;
  }
  static std::optional<lab::Specification> Latest(lab::LabStore& store, const QString& name) {
    for (const lab::Specification& s : store.Products(true)) {
      if (s.name == name) return s;
    }
    return std::nullopt;
  }
};

// Every kind of change the record makes arrives once, and a row that cannot be read holds the rest
// back with a message.
TEST_F(StationTest, EveryChangeOfTheRecordArrivesOnce) {
  InitLab();
  QTemporaryDir dir;
  Station station(Folder(dir, "a"), ConnInfo(), QStringLiteral("Line 1"));
  lab::LabStore& store = station.Store();
  lab::Specification satin = Product(QStringLiteral("Satin white"), lab::AngleLimits::Around(8000, 500));
  ASSERT_TRUE(store.AddProduct(satin));
  satin.limits.angle[1] = lab::AngleLimits::Around(8100, 500);
  ASSERT_TRUE(store.ReviseProduct(satin));
  lab::Specification gone = Product(QStringLiteral("Gone"), lab::AngleLimits::AtLeast(5000));
  ASSERT_TRUE(store.AddProduct(gone));
  ASSERT_TRUE(store.DeleteProduct(gone.product));
  lab::Specification old = Product(QStringLiteral("Old"), lab::AngleLimits::AtMost(2000));
  ASSERT_TRUE(store.AddProduct(old));
  ASSERT_TRUE(store.RetireProduct(old.product));
  const lab::Batch batch = station.Measure(QStringLiteral("B-1"), satin.id, 3);
  const std::vector<lab::Reading> readings = store.Readings(batch.id);
  ASSERT_EQ(readings.size(), 3u);
  ASSERT_TRUE(store.WithdrawReading(readings[0].input.uuid, lab::Instant::Now()));
  ASSERT_TRUE(store.ChangeComment(readings[1].input.uuid, QStringLiteral("Kratzer « rayure »"), lab::Instant::Now()));
  ASSERT_TRUE(station.windows->Session()->Close());
  ASSERT_TRUE(station.windows->Session()->Continue(batch.id));
  ASSERT_TRUE(station.windows->Session()->Close());
  ASSERT_TRUE(Sent(station)) << qPrintable(station.link->Reason());
  ASSERT_TRUE(ProductsTaken(station, 1));

  const std::pair<const char*, long long> expected[] = {
      {"stations", 1}, {"specifications", 6}, {"specification_retirements", 1},
      {"products", 1}, {"batches", 1},        {"batch_events", 3},
      {"readings", 3}, {"withdrawals", 1},    {"comment_changes", 1},
  };
  for (const auto& [table, rows] : expected) EXPECT_EQ(Rows(table), rows) << table;
  EXPECT_EQ(Scalar("SELECT string_agg(state, ',' ORDER BY state) FROM korvanta.specifications"),
            "active,active,active,active,deleted,retired");
  EXPECT_EQ(Scalar("SELECT count(DISTINCT product_uuid) FROM korvanta.specifications"), "3");
  EXPECT_EQ(Scalar("SELECT p.product || ' ' || s.tolerance_60 || ' ' || s.target_60 FROM korvanta.products p "
                   "JOIN korvanta.specifications s USING (spec_uuid)"),
            "Satin white 5.00 81.00");
  EXPECT_EQ(Scalar("SELECT b.spec_uuid = s.spec_uuid FROM korvanta.batches b, korvanta.specifications s "
                   "WHERE s.target_60 = 81"),
            "t");
  EXPECT_EQ(Scalar("SELECT comment FROM korvanta.comment_changes"), "Kratzer « rayure »");
  EXPECT_EQ(Scalar("SELECT name FROM korvanta.stations"), "Line 1");
  EXPECT_EQ(station.link->Line(), QStringLiteral("Lab database: connected · 0 waiting"));

  // A row whose payload cannot be read, and a reading after it: nothing is skipped or sent past it.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(QFile::encodeName(store.Path()).constData(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "INSERT INTO outbox (kind, at, payload) VALUES ('reading_recorded', "
                         "'2026-05-04T14:02:00.000+02:00', '{\"reading_uuid\": 7')",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  ASSERT_TRUE(station.windows->Session()->Continue(batch.id));
  ASSERT_TRUE(WaitUntil([&] { return station.link->Status().reason.failure == Failure::BadLocalData; }, kPatienceMs));
  EXPECT_TRUE(station.link->Reason().startsWith(
      QStringLiteral("A change waiting on this station cannot be sent as it stands (outbox row")))
      << qPrintable(station.link->Reason());
  EXPECT_TRUE(station.link->Reason().contains(QLatin1String("reading_recorded: reading_uuid")));
  EXPECT_EQ(store.Outbox().size(), 2u);
  EXPECT_EQ(Rows("batch_events"), 3);
}

// The first join: the station's batches go with the versions they used; its product whose name the
// lab lacks becomes a lab product; the lab's product of the same name as another wins for new
// batches. Products the server should not hold are refused with a message and change nothing.
TEST_F(StationTest, FirstJoinTakesTheLabsProducts) {
  InitLab();
  {
    Connection admin;
    ASSERT_TRUE(admin.Open(ConnInfo(), In(seconds(30))).Ok());
    ProductEdit edit;
    edit.version.specification = QUuid::createUuid();
    edit.version.productUuid = QUuid::createUuid();
    edit.version.product = QStringLiteral("Satin white");
    edit.version.version = 4;
    edit.version.at60 = {8500, 400, std::nullopt, std::nullopt};
    edit.version.at = QDateTime::currentDateTime();
    ASSERT_TRUE(EditLabProduct(admin, QUuid::createUuid(), QStringLiteral("Line 9"), edit, In(seconds(30))).Ok());
  }
  QTemporaryDir dir;
  Station station(Folder(dir, "a"), ConnInfo(), QStringLiteral("Line 1"), false);
  lab::LabStore& store = station.Store();
  lab::Specification satin = Product(QStringLiteral("SATIN WHITE"), lab::AngleLimits::Around(8000, 500));
  lab::Specification gloss = Product(QStringLiteral("Gloss 60"), lab::AngleLimits::AtLeast(5000));
  ASSERT_TRUE(store.AddProduct(satin));
  ASSERT_TRUE(store.AddProduct(gloss));
  const lab::Batch local = station.Measure(QStringLiteral("B-LOCAL"), gloss.id, 2);
  ASSERT_TRUE(station.windows->Session()->Close());

  station.Join();
  ASSERT_TRUE(Sent(station)) << qPrintable(station.link->Reason());
  ASSERT_TRUE(ProductsTaken(station, 2));
  EXPECT_EQ(Scalar("SELECT string_agg(product, ',' ORDER BY product) FROM korvanta.products"), "Gloss 60,Satin white");
  EXPECT_EQ(Scalar("SELECT b.spec_uuid FROM korvanta.batches b"), gloss.uuid.toString(QUuid::WithoutBraces));
  EXPECT_EQ(Rows("readings"), 2);
  const std::optional<lab::Specification> taken = Latest(store, QStringLiteral("Satin white"));
  ASSERT_TRUE(taken.has_value());
  EXPECT_EQ(taken->product, satin.product);  // the station's own product carries the lab's version
  EXPECT_EQ(taken->limits.angle[1], lab::AngleLimits::Around(8500, 400));
  EXPECT_EQ(taken->version, 2);
  EXPECT_EQ(store.Products(false).size(), 2u);

  // A new batch of it is judged against the lab's version, and says so on the server.
  station.Measure(QStringLiteral("B-NEW"), taken->id, 1);
  ASSERT_TRUE(Sent(station)) << qPrintable(station.link->Reason());
  EXPECT_EQ(Scalar("SELECT s.target_60 FROM korvanta.batches b JOIN korvanta.specifications s USING (spec_uuid) "
                   "WHERE b.batch_id = 'B-NEW'"),
            "85.00");
  EXPECT_EQ(Rows("specifications"), 3);  // the lab's, and the station's two

  // Bad data from the server: refused with a message; the station keeps its copy.
  ASSERT_TRUE(
      Exec("ALTER TABLE korvanta.products DROP CONSTRAINT products_product_check; "
           "UPDATE korvanta.products SET product = repeat('é', 201) WHERE product = 'Gloss 60'"));
  station.link->ReadProductsNow();
  ASSERT_TRUE(WaitUntil([&] { return station.link->Status().products.failure == Failure::BadData; }, kPatienceMs));
  EXPECT_EQ(
      station.link->Reason(),
      QStringLiteral("The lab database sent data that cannot be used (products.product, row 2); it was refused."));
  EXPECT_EQ(station.link->Status().state, LinkStatus::State::Connected);
  EXPECT_EQ(store.LabProducts().size(), 2u);
  EXPECT_EQ(store.Products(false).size(), 2u);
  (void)local;
}

QLineEdit* Field(lab::SpecificationsWindow* window, const char* name) {
  return window->findChild<QLineEdit*>(QLatin1String(name));
}

// A lead edits the lab's products in the Specifications window; an operator sees them read-only and
// is told why; an edit from an old look meets the change someone else made meanwhile.
TEST_F(StationTest, OnlyALeadChangesTheLabsProducts) {
  EnsureRole(kStationRole);
  EnsureRole(kLeadRole);
  EnsureRole(QStringLiteral("lead_c"), QString::fromLatin1(kLeadRole));
  EnsureRole(QStringLiteral("station_c"), QString::fromLatin1(kStationRole));
  InitLab();
  QTemporaryDir dir;
  Station lead(Folder(dir, "lead"), ConnInfo(QStringLiteral("lead_c")), QStringLiteral("QC office"));
  Station op(Folder(dir, "op"), ConnInfo(QStringLiteral("station_c")), QStringLiteral("Line 2"));
  ASSERT_TRUE(Sent(lead)) << qPrintable(lead.link->Reason());
  ASSERT_TRUE(Sent(op)) << qPrintable(op.link->Reason());
  EXPECT_TRUE(lead.link->Status().lead);
  EXPECT_FALSE(op.link->Status().lead);

  lead.windows->OpenSpecifications();
  lab::SpecificationsWindow* specs = lead.windows->Specifications();
  ASSERT_TRUE(WaitUntil([&] { return specs->SaveButton->isEnabled(); }, kPatienceMs));
  EXPECT_TRUE(specs->LabNoteLabel->text().contains(QLatin1String("You are a lead")));
  specs->AddButton->click();
  Field(specs, "NameEdit")->setText(QStringLiteral("Satin white"));
  Field(specs, "Target60Edit")->setText(QStringLiteral("80"));
  Field(specs, "Tolerance60Edit")->setText(QStringLiteral("5"));
  specs->SaveButton->click();
  ASSERT_TRUE(WaitUntil([&] { return specs->StatusLabel->text().startsWith(QLatin1String("Saved")); }, kPatienceMs))
      << qPrintable(specs->StatusLabel->text());
  EXPECT_EQ(specs->StatusLabel->text(), QStringLiteral("Saved on the lab database as version 1."));
  ASSERT_TRUE(ProductsTaken(lead, 1));
  ASSERT_TRUE(WaitUntil([&] { return specs->ProductList->count() == 1; }, kPatienceMs));

  // The operator's station takes it, and may not change it.
  op.link->ReadProductsNow();
  ASSERT_TRUE(ProductsTaken(op, 1));
  EXPECT_EQ(Latest(op.Store(), QStringLiteral("Satin white"))->limits.angle[1], lab::AngleLimits::Around(8000, 500));
  op.windows->OpenSpecifications();
  lab::SpecificationsWindow* opSpecs = op.windows->Specifications();
  EXPECT_EQ(opSpecs->LabNoteLabel->text(),
            QStringLiteral("These are the lab database's products. Only a lab lead may change them."));
  EXPECT_FALSE(opSpecs->SaveButton->isEnabled());
  EXPECT_FALSE(opSpecs->AddButton->isEnabled());
  EXPECT_FALSE(opSpecs->RetireButton->isEnabled());
  EXPECT_FALSE(opSpecs->DeleteButton->isEnabled());
  EXPECT_TRUE(Field(opSpecs, "Tolerance60Edit")->isReadOnly());

  // The lead's second version reaches the operator's copy.
  specs->ProductList->setCurrentRow(0);
  Field(specs, "Tolerance60Edit")->setText(QStringLiteral("4"));
  specs->SaveButton->click();
  ASSERT_TRUE(WaitUntil([&] { return specs->StatusLabel->text().contains(QLatin1String("version 2")); }, kPatienceMs))
      << qPrintable(specs->StatusLabel->text());
  op.link->ReadProductsNow();
  ASSERT_TRUE(
      WaitUntil([&] { return Latest(op.Store(), QStringLiteral("Satin white"))->limits.angle[1].tolerance == 400; },
                kPatienceMs));

  // Someone else changes it on the server; the lead's next edit from the old look is refused, and the
  // window then shows what is there.
  std::vector<LabProduct> now;
  {
    Connection admin;
    ASSERT_TRUE(admin.Open(ConnInfo(), In(seconds(30))).Ok());
    ASSERT_TRUE(ReadLabProducts(admin, In(seconds(30)), now).Ok());
    ASSERT_EQ(now.size(), 1u);
    ProductEdit edit{now[0].name, now[0].version.specification, now[0].version};
    edit.version.specification = QUuid::createUuid();
    edit.version.version = 3;
    edit.version.at60.tolerance = 300;
    ASSERT_TRUE(EditLabProduct(admin, QUuid::createUuid(), QStringLiteral("Elsewhere"), edit, In(seconds(30))).Ok());
  }
  specs->ProductList->setCurrentRow(0);
  Field(specs, "Target60Edit")->setText(QStringLiteral("79"));
  specs->SaveButton->click();
  ASSERT_TRUE(WaitUntil([&] { return specs->StatusLabel->text().contains(QLatin1String("meanwhile")); }, kPatienceMs))
      << qPrintable(specs->StatusLabel->text());
  ASSERT_TRUE(
      WaitUntil([&] { return Latest(lead.Store(), QStringLiteral("Satin white"))->limits.angle[1].tolerance == 300; },
                kPatienceMs));
  EXPECT_EQ(Scalar("SELECT s.target_60 || ' ' || s.tolerance_60 FROM korvanta.products JOIN korvanta.specifications s "
                   "USING (spec_uuid)"),
            "80.00 3.00");
}

// Two stations measuring at once: every reading of both arrives, and each station's lab view shows
// both batches with the station that measured it.
TEST_F(StationTest, TwoStationsAtOnceSeeEachOther) {
  InitLab();
  QTemporaryDir dir;
  Station a(Folder(dir, "a"), ConnInfo(), QStringLiteral("Line A"));
  Station b(Folder(dir, "b"), ConnInfo(), QStringLiteral("Line B"));
  a.Measure(QStringLiteral("A-1"), std::nullopt, 1000);
  b.Measure(QStringLiteral("B-1"), std::nullopt, 1000);
  ASSERT_TRUE(Sent(a)) << qPrintable(a.link->Reason());
  ASSERT_TRUE(Sent(b)) << qPrintable(b.link->Reason());
  EXPECT_EQ(Rows("readings"), 2000);
  EXPECT_EQ(Scalar("SELECT count(DISTINCT reading_uuid) FROM korvanta.readings"), "2000");
  EXPECT_EQ(Rows("stations"), 2);

  for (Station* s : {&a, &b}) {
    s->windows->OpenBatches();
    lab::BatchesWindow* batches = s->windows->Batches();
    ASSERT_TRUE(batches->ScopeBox->isVisible());
    EXPECT_EQ(batches->ScopeBox->itemText(1), QStringLiteral("Whole lab"));
    batches->ScopeBox->setCurrentIndex(1);
    LabBatchList* list = s->link->WholeLab();
    ASSERT_TRUE(WaitUntil([&] { return list->rowCount() == 2; }, kPatienceMs)) << qPrintable(list->Status());
    EXPECT_EQ(batches->BatchTable->model(), list);
    EXPECT_EQ(list->headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Station"));
    QSet<QString> seen;
    for (int row = 0; row < 2; ++row) {
      seen << list->data(list->index(row, 3), Qt::DisplayRole).toString() + QLatin1Char(' ') +
                  list->data(list->index(row, 0), Qt::DisplayRole).toString() + QLatin1Char(' ') +
                  list->data(list->index(row, 6), Qt::DisplayRole).toString();
    }
    EXPECT_EQ(seen, (QSet<QString>{QStringLiteral("Line A A-1 1000"), QStringLiteral("Line B B-1 1000")}));
    EXPECT_FALSE(batches->ContinueButton->isEnabled());
    EXPECT_FALSE(batches->ExportButton->isEnabled());

    // A batch of the other station, read-only in the statistics.
    const int other = list->data(list->index(0, 3), Qt::DisplayRole).toString() == s->link->Config().stationName;
    batches->Choose(other);
    batches->StatisticsButton->click();
    ASSERT_TRUE(WaitUntil([&] { return s->windows->BatchStatistics() != nullptr; }, kPatienceMs))
        << qPrintable(list->Status());
    EXPECT_TRUE(s->windows->BatchStatistics()->ScopeLabel->text().endsWith(QLatin1String(": 1000 readings")))
        << qPrintable(s->windows->BatchStatistics()->ScopeLabel->text());

    // And its batch report, with every reading.
    QString reportedId;
    std::size_t reported = 0;
    const QMetaObject::Connection asked = QObject::connect(
        s->windows.get(), &lab::LabWindows::ReportRequested,
        [&](const lab::Batch& batch, const std::optional<lab::Specification>&, const std::vector<lab::Reading>& r) {
          reportedId = batch.batchId;
          reported = r.size();
        });
    ASSERT_TRUE(batches->ChosenInWholeLab());
    batches->OpenSharedReport();
    ASSERT_TRUE(WaitUntil([&] { return reported != 0; }, kPatienceMs)) << qPrintable(list->Status());
    QObject::disconnect(asked);
    EXPECT_EQ(reported, 1000u);
    EXPECT_EQ(reportedId, list->data(list->index(other, 0), Qt::DisplayRole).toString());
  }
}

// A server that takes the connection and never answers: the windows go on working, and the line
// says unreachable once the connect time-out has passed, with nothing lost.
TEST_F(StationTest, ASilentServerLeavesTheWindowsWorking) {
  testing_support::SilentServer silent;
  QTemporaryDir dir;
  Station station(Folder(dir, "a"), silent.ConnInfo() + " connect_timeout=2", QStringLiteral("Line 1"));
  EXPECT_EQ(station.link->Line(), QStringLiteral("Lab database: connecting · ? waiting"));
  station.windows->OpenBatchWindow();
  lab::BatchWindow* batch = station.windows->Batch();
  ASSERT_NE(batch, nullptr);
  batch->BatchIdEdit->setText(QStringLiteral("B-OFFLINE"));
  batch->StartButton->click();
  ASSERT_TRUE(station.windows->Session()->Current().has_value()) << qPrintable(batch->MessageLabel->text());
  ASSERT_TRUE(WaitUntil([&] { return station.link->Status().state == LinkStatus::State::Unreachable; }, kPatienceMs));
  EXPECT_EQ(station.link->Status().reason.failure, Failure::TimedOut);
  EXPECT_TRUE(batch->LinkLabel->text().startsWith(QLatin1String("Lab database: unreachable since ")))
      << qPrintable(batch->LinkLabel->text());
  EXPECT_EQ(batch->LinkReasonLabel->text(), QStringLiteral("The server of the lab database did not answer in time."));
  station.Measure(QStringLiteral("B-OFFLINE-2"), std::nullopt, 5);
  ASSERT_TRUE(WaitUntil([&] { return station.link->Status().waiting == 8; }, kPatienceMs))
      << station.link->Status().waiting;
  EXPECT_TRUE(batch->LinkLabel->text().endsWith(QStringLiteral(" · 8 waiting")))
      << qPrintable(batch->LinkLabel->text());
  station.link.reset();  // as the main window closes
  EXPECT_EQ(station.Store().Outbox().size(), 8u);
}

#ifdef KORVANTA_STATION_CHILD
// The station killed with SIGKILL while 500 readings wait for a server that is down: at the next
// start, with the server back, every one of them arrives, once.
TEST_F(StationTest, AKilledStationSendsEverythingAtItsNextStart) {
  InitLab();
  QTemporaryDir dir;
  const QString folder = Folder(dir, "killed");
  ASSERT_TRUE(cluster_->Stop()) << cluster_->Problem().toStdString();
  QProcess child;
  child.start(QStringLiteral(KORVANTA_STATION_CHILD),
              {folder, QString::fromUtf8(ConnInfo()), QStringLiteral("500"), QStringLiteral("hold")});
  QByteArray out;
  ASSERT_TRUE(WaitUntil(
      [&] {
        out += child.readAllStandardOutput();
        return (out.contains("unreachable since") && out.contains(" · 501 waiting")) ||
               child.state() == QProcess::NotRunning;
      },
      kPatienceMs))
      << out.toStdString();
  ASSERT_EQ(child.state(), QProcess::Running) << out.toStdString() << child.readAllStandardError().toStdString();
  child.kill();  // SIGKILL
  ASSERT_TRUE(child.waitForFinished(kPatienceMs));
  ASSERT_TRUE(cluster_->Start()) << cluster_->Problem().toStdString();

  QProcess again;
  again.start(QStringLiteral(KORVANTA_STATION_CHILD),
              {folder, QString::fromUtf8(ConnInfo()), QStringLiteral("0"), QStringLiteral("until-sent")});
  ASSERT_TRUE(again.waitForFinished(kPatienceMs)) << again.readAllStandardOutput().toStdString();
  EXPECT_EQ(again.exitCode(), 0) << again.readAllStandardError().toStdString();
  EXPECT_EQ(Rows("readings"), 500);
  EXPECT_EQ(Rows("batches"), 1);

  lab::LabStore store(folder + QStringLiteral("/lab.db"));
  ASSERT_EQ(store.State(), lab::LabStore::OpenState::Open) << qPrintable(store.Problem());
  EXPECT_TRUE(store.Outbox().empty());
  QStringList local;
  for (const lab::Reading& r : store.Readings(store.Batches().front().id)) {
    local << r.input.uuid.toString(QUuid::WithoutBraces);
  }
  local.sort();
  EXPECT_EQ(local.size(), 500);
  EXPECT_EQ(Scalar("SELECT string_agg(reading_uuid::text, ',' ORDER BY reading_uuid::text) FROM korvanta.readings"),
            local.join(QLatin1Char(',')));
}
#endif

}  // namespace
}  // namespace labsync::station
