// The settings of the program's additions (the operator's name, the report's lab name and logo,
// ...): `$XDG_CONFIG_HOME/korvanta/korvanta.conf`, one `key = value` a line, UTF-8, `#` starting a
// comment line. Never 318qx.ini, whose bytes belong to the instrument program's own settings.
//
// Writing one key keeps every other line as it was (comments, order, unknown keys); the file is
// replaced in one step (no half-written file after a crash) and only its owner may read it (0600,
// its folder 0700), since it names people.
#pragma once

#include <QString>
#include <optional>

namespace lab {

// $XDG_CONFIG_HOME/korvanta/korvanta.conf, or ~/.config/korvanta/korvanta.conf when that is not
// set to an absolute path.
QString DefaultSettingsPath();

// The value of `key` (case-sensitive; the last line that sets it counts, as a person editing the
// file would expect), without surrounding blanks. Nothing when the file or the key is missing.
std::optional<QString> ReadSetting(const QString& path, const QString& key);

// Sets `key` to `value`, creating the file and its folder when missing. A key must be letters,
// digits, '.', '_' or '-'; line breaks and other control characters in the value become blanks.
// On failure returns false with the reason in `error`, and the file is as it was.
bool WriteSetting(const QString& path, const QString& key, const QString& value, QString& error);

}  // namespace lab
