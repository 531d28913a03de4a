// A station as main() wires its lab windows and its link to the lab database, for the station's
// kill test: `station_child FOLDER CONNINFO READINGS MODE`. With READINGS above 0 it starts a batch
// and records that many readings at once. It prints the Batch window's lab database line each time
// it changes ("station-child: <line>"); MODE "hold" runs until it is killed, "until-sent" ends with
// status 0 once the line says connected with nothing waiting.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "tests/labsync/StationFixture.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  if (argc != 5) {
    std::fprintf(stderr, "usage: station_child FOLDER CONNINFO READINGS hold|until-sent\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  const int readings = std::atoi(argv[3]);
  const bool untilSent = QByteArray(argv[4]) == "until-sent";
  testing_support::Station station(folder, QByteArray(argv[2]), QStringLiteral("Killed station"), false);
  if (station.Store().State() != lab::LabStore::OpenState::Open) {
    std::fprintf(stderr, "station-child: no record\n");
    return 3;
  }
  if (readings > 0) station.Measure(QStringLiteral("KILL-%1").arg(readings), std::nullopt, readings);
  station.Join();
  const auto show = [&station, untilSent] {
    std::printf("station-child: %s\n", qPrintable(station.link->Line()));
    std::fflush(stdout);
    const labsync::LinkStatus& status = station.link->Status();
    if (untilSent && status.state == labsync::LinkStatus::State::Connected && status.waiting == 0) {
      QApplication::exit(0);
    }
  };
  QObject::connect(station.link.get(), &labsync::station::StationLink::LineChanged, show);
  show();
  return QApplication::exec();
}
