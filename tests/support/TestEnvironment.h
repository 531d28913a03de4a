// Small helpers every test may use: a temporary working directory, and waiting with a running
// event loop.
#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <functional>

namespace testing_support {

// A fresh temporary folder that is the working directory for the helper's life.
class ScopedWorkingDir {
 public:
  ScopedWorkingDir();
  ~ScopedWorkingDir();
  QString Path() const { return dir_.path(); }
  QString File(const QString& name) const { return dir_.filePath(name); }

 private:
  QTemporaryDir dir_;
  QString previous_;
};

// Runs the event loop until `done` holds or `timeoutMs` passed; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Runs the event loop for `ms` milliseconds.
void RunEventLoop(int ms);

QByteArray ReadFileBytes(const QString& path);
void WriteFileBytes(const QString& path, const QByteArray& bytes);

}  // namespace testing_support
