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

// A folder in which files can be written but none created, as a shared folder an operator may
// only update: `File()` names a file in it. File permissions are checked for the calling thread
// as the unprivileged user "nobody" while it lives, so that they count when the tests run as root
// (as CI does).
class LockedFolder {
 public:
  explicit LockedFolder(const ScopedWorkingDir& dir, const QByteArray& fileContent, int fileMode = 0666);
  ~LockedFolder();
  QString File() const { return file_; }

 private:
  QString folder_;
  QString file_;
  bool droppedRoot_ = false;
};

// Runs the event loop until `done` holds or `timeoutMs` passed; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Runs the event loop for `ms` milliseconds.
void RunEventLoop(int ms);

QByteArray ReadFileBytes(const QString& path);
void WriteFileBytes(const QString& path, const QByteArray& bytes);

}  // namespace testing_support
