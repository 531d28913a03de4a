#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

namespace testing_support {

ScopedWorkingDir::ScopedWorkingDir() : previous_(QDir::currentPath()) {
  EXPECT_TRUE(dir_.isValid());
  QDir::setCurrent(dir_.path());
}

ScopedWorkingDir::~ScopedWorkingDir() { QDir::setCurrent(previous_); }

LockedFolder::LockedFolder(const ScopedWorkingDir& dir, const QByteArray& fileContent, int fileMode)
    : folder_(dir.File(QStringLiteral("locked"))), file_(folder_ + QStringLiteral("/readings.dat")) {
  EXPECT_TRUE(QDir().mkpath(folder_));
  WriteFileBytes(file_, fileContent);
  chmod(QFile::encodeName(dir.Path()).constData(), 0755);
  chmod(QFile::encodeName(file_).constData(), static_cast<mode_t>(fileMode));
  chmod(QFile::encodeName(folder_).constData(), 0555);
  if (geteuid() == 0) {
    setfsuid(65534);  // this thread only
    droppedRoot_ = true;
  }
}

LockedFolder::~LockedFolder() {
  if (droppedRoot_) setfsuid(0);
  chmod(QFile::encodeName(folder_).constData(), 0755);
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

void RunEventLoop(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

QByteArray ReadFileBytes(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

void WriteFileBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

}  // namespace testing_support
