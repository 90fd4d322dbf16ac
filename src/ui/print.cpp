#include "print.h"

namespace tafelix {

TOKBottomDlg2::TOKBottomDlg2(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OKBottomDlg2"));
    setWindowTitle(QStringLiteral("Druckoptionen"));
}

} // namespace tafelix
