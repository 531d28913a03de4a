// KORVANTA III: the desktop companion of the LUMARIS 318QX gloss meter.
#include <QCoreApplication>

#include "Application.h"
#include "Program.h"

int main(int argc, char** argv) {
  QCoreApplication::setApplicationVersion(QStringLiteral(KORVANTA_VERSION));
  return app::RunProgram(argc, argv, [](app::ProcessState& state, usb::UsbAccess& access) {
    return std::make_unique<app::Program>(state, access);
  });
}
