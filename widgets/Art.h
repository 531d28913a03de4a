// The program's own artwork, compiled in as SVG and rendered at the size it is shown.
#pragma once

#include <QPixmap>
#include <QString>

namespace widgets {

// The picture `name` (the file name in art/ without ".svg") rendered to `width` × `height`
// logical pixels at the primary screen's pixel ratio. A null pixmap when there is no such picture.
QPixmap LoadArt(const QString& name, int width, int height);

}  // namespace widgets
