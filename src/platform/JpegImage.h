#pragma once

#include <QImage>
#include <QString>

namespace tafelix {

// Decodes a baseline or progressive JPEG file (grayscale or colour) with libjpeg. A missing,
// unreadable, truncated or otherwise damaged file gives a null image; a bad file never ends
// the program. Qt's own image plugins are not involved.
QImage decodeJpegFile(const QString& path);

} // namespace tafelix
