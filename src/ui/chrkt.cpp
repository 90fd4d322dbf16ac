#include "chrkt.h"

#include "platform/Platform.h"

namespace tafelix {

TSonderzeichen::TSonderzeichen(IClipboard& clipboard, std::function<QFont()> inputFont,
                               QWidget* parent)
    : QWidget(parent, Qt::Tool), clipboard_(clipboard), inputFont_(std::move(inputFont))
{
    setObjectName(QStringLiteral("Sonderzeichen"));
    setWindowTitle(QStringLiteral("Sonderzeichen"));
}

} // namespace tafelix
