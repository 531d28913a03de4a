// One station as main() wires it, on a record and a lab.conf of its own in `folder`: the lab
// windows over a measurement table, and its link to the lab database. Tests make two in one program
// this way; the station's kill test runs one in a child (StationChild.cpp).
#pragma once

#include <QTableView>
#include <QUuid>
#include <QWidget>
#include <memory>
#include <optional>

#include "analysis/windows/ReadingAnalysis.h"
#include "lab/Settings.h"
#include "lab/windows/LabWindows.h"
#include "labsync/station/StationLink.h"
#include "table/MeasurementModel.h"

namespace testing_support {

class Station {
 public:
  // Joins at once unless `join` is false (Join() later).
  Station(const QString& folder, const QByteArray& conninfo, const QString& name, bool join = true)
      : folder_(folder), conninfo_(conninfo) {
    QString error;
    lab::WriteSetting(folder + QStringLiteral("/lab.conf"), QStringLiteral("station"), name, error);
    windows = std::make_unique<lab::LabWindows>(
        rows, analysis, language, &owner, folder + QStringLiteral("/lab.db"), folder + QStringLiteral("/korvanta.conf"),
        [] {
          return lab::BatchSession::Instrument{QStringLiteral("QX31804711"), QStringLiteral("08 15")};
        });
    if (join) Join();
  }
  ~Station() {
    link.reset();
    windows.reset();
  }

  void Join() {
    labsync::station::StationConfig config =
        labsync::station::ReadStationConfig(folder_ + QStringLiteral("/lab.conf"), QString::fromUtf8(conninfo_), false);
    link = std::make_unique<labsync::station::StationLink>(*windows, language, config);
  }

  lab::LabStore& Store() { return windows->Store(); }

  // Starts batch `id` (judged against the version `spec`) and records `readings` readings in it,
  // one commit each, as fast as they come.
  lab::Batch Measure(const QString& id, std::optional<std::int64_t> spec, int readings) {
    lab::BatchSession& session = *windows->Session();
    session.Start(id, spec, QStringLiteral("Ann"));
    const lab::Batch batch = *session.Current();
    for (int n = 0; n < readings; ++n) {
      lab::ReadingInput input;
      input.uuid = QUuid::createUuid();
      input.taken = lab::Instant::Now();
      const QString value60 = QString::number(78.0 + (n % 50) / 10.0, 'f', 1);
      input.texts = {QStringLiteral("04.05.2026"),
                     QStringLiteral("14:02:%1").arg(n % 60, 2, 10, QLatin1Char('0')),
                     QString(),
                     QStringLiteral("C"),
                     QStringLiteral("75.3"),
                     value60};
      input.comment = QStringLiteral("reading %1").arg(n);
      input.serial = QStringLiteral("QX31804711");
      input.firmware = QStringLiteral("08 15");
      Store().RecordReading(batch.id, input);
    }
    return batch;
  }

  i18n::LanguageState language;
  QWidget owner;
  table::MeasurementModel rows;
  QTableView view;
  analysis::ReadingAnalysis analysis{rows, view, language, &owner};
  std::unique_ptr<lab::LabWindows> windows;
  std::unique_ptr<labsync::station::StationLink> link;

 private:
  QString folder_;
  QByteArray conninfo_;
};

}  // namespace testing_support
