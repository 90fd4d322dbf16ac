#include "print.h"

#include "Widgets.h"

#include <QCheckBox>
#include <QFrame>
#include <QPushButton>

namespace tafelix {

TOKBottomDlg2::TOKBottomDlg2(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OKBottomDlg2"));
    setWindowTitle(QStringLiteral("Druckoptionen"));
    useDesignedFont(this);
    setFixedSize(330, 142);

    auto* bevel = new QFrame(this);
    bevel->setFrameShape(QFrame::Panel);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(8, 8, 314, 82);

    CheckBox1 = new QCheckBox(QStringLiteral("Drucken in Datei (rtf)"), bevel);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(14, 12, 290, 24);
    CheckBox1->setChecked(true);
    CheckBox2 = new QCheckBox(QStringLiteral("Eingestellte Schrifart verwenden"), bevel);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox2->setGeometry(14, 46, 290, 24);
    CheckBox2->setToolTip(QStringLiteral("Sonst wird \"Courier New\" verwendet"));

    Button1 = new QPushButton(QStringLiteral("Einstellungen"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(8, 102, 104, 28);
    Button1->setAutoDefault(false);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(136, 102, 84, 28);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Abbrechen"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(228, 102, 94, 28);
    CancelBtn->setAutoDefault(false);

    // The set-up keeps the options open: the learner comes back here to print.
    connect(Button1, &QPushButton::clicked, this, &TOKBottomDlg2::setupRequested);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TOKBottomDlg2::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    // Enter prints with the options as they stand.
    OKBtn->setFocus();
}

} // namespace tafelix
