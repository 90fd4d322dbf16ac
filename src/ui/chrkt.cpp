#include "chrkt.h"

namespace tafelix {

TSonderzeichen::TSonderzeichen(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("Sonderzeichen"));
    setWindowTitle(QStringLiteral("Sonderzeichen"));
}

} // namespace tafelix
