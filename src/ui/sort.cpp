#include "sort.h"

#include "Widgets.h"

#include <QPushButton>

namespace tafelix {

TOKBottomDlg3::TOKBottomDlg3(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OKBottomDlg3"));
    setWindowTitle(QStringLiteral("Sortieren"));
    useDesignedFont(this);
    setFixedSize(260, 110);
    RadioGroup1 = new TRadioGroup(this, "RadioGroup1", QStringLiteral("Sortieren in"),
                                  {QStringLiteral("Deutsch"), QStringLiteral("Fremdsprache")},
                                  QRect(10, 8, 240, 52), 0);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(60, 72, 84, 28);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setGeometry(152, 72, 92, 28);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace tafelix
