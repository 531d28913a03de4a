// Texts of the statistics and trend windows beyond the program's text table, in the three
// languages, kept beside the windows.
#pragma once

#include <QString>

namespace analysis {

enum class WindowText {
  Copied,      // after Copy: the statistics are on the clipboard
  Saved,       // after Save image: %1 the file's name
  ImageTitle,  // the saved picture's title line: %1 date and time, %2 serial number, %3 number of readings
};

QString Text(WindowText id, int languageIndex);

}  // namespace analysis
