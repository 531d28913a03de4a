// What the statistics and trend windows do alike: the keys that close them, and a notice line that
// says briefly that an action has done its work.
#pragma once

#include <QString>

class QKeyEvent;
class QLabel;

namespace analysis {

// Escape, and Ctrl+W (the platform's Close key where it has one).
bool IsCloseKey(const QKeyEvent& event);

// Shows `text` in `label` for a few seconds.
void ShowNotice(QLabel* label, const QString& text);

}  // namespace analysis
