#include "fail.h"

#include "Widgets.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tafelix {

TOKBottomDlg::TOKBottomDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OKBottomDlg"));
    setWindowTitle(QStringLiteral("Fehler"));
    useDesignedFont(this);
    setFixedSize(320, 170);

    Label1 = new QLabel(QStringLiteral("Leider falsch, richtig wäre:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(10, 10, 300, 24);
    Label1->setAlignment(Qt::AlignCenter);
    QFont f1(QStringLiteral("Arial"));
    f1.setPixelSize(16);
    Label1->setFont(f1);
    setTextColor(Label1, QColor(0xff, 0x00, 0x00));

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    // Blue on a dark desktop palette could hardly be read: the answer keeps its light panel.
    useDesignedFace(frame);
    frame->setGeometry(10, 40, 300, 78);
    Label2 = new QLabel(frame);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(4, 4, 292, 70);
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setWordWrap(true);
    Label2->setTextFormat(Qt::PlainText);
    QFont f2(QStringLiteral("Arial"));
    f2.setPixelSize(16);
    f2.setBold(true);
    Label2->setFont(f2);
    setTextColor(Label2, QColor(0x00, 0x00, 0xff));

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(70, 130, 84, 28);
    OKBtn->setDefault(true);
    Button1 = new QPushButton(QStringLiteral("Korrektur"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(166, 130, 84, 28);
    Button1->setToolTip(QStringLiteral("Vokabeln gewusst, aber verschrieben"));
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
}

void TOKBottomDlg::present(const QString& expected, const QString& fontName)
{
    if (!fontName.isEmpty()) {
        QFont f = Label2->font();
        f.setFamily(fontName);
        Label2->setFont(f);
    }
    Label2->setText(expected);
}

void TOKBottomDlg::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    // Enter confirms the answer as wrong; "Korrektur" has to be chosen on purpose.
    OKBtn->setFocus();
}

} // namespace tafelix
