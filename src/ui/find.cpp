#include "find.h"

#include "Widgets.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tafelix {

TOKBottomDlg1::TOKBottomDlg1(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OKBottomDlg1"));
    setWindowTitle(QStringLiteral("Suchen"));
    useDesignedFont(this);
    setFixedSize(260, 110);
    auto* label = new QLabel(QStringLiteral("Text suchen in"), this);
    label->setGeometry(14, 12, 200, 16);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(14, 32, 230, 24);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    // The search compares the name exactly: without a completer the box neither completes
    // "Deu" nor turns "deutsch" into "Deutsch" on Enter (it matches items case-insensitively
    // only for its completer's sake).
    ComboBox1->setCompleter(nullptr);
    ComboBox1->addItems({QStringLiteral("Deutsch"), QStringLiteral("Fremdsprache"),
                         QStringLiteral("Synonym"), QStringLiteral("Bemerkung")});
    ComboBox1->setCurrentText(QStringLiteral("Deutsch"));
    // A screen reader names the box and its field by the caption above them.
    label->setBuddy(ComboBox1);
    ComboBox1->setAccessibleName(label->text());
    ComboBox1->lineEdit()->setAccessibleName(label->text());
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(60, 72, 84, 28);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setGeometry(152, 72, 92, 28);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFindWindow::TFindWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FindDialog1"));
    setWindowTitle(QStringLiteral("Suchen"));
    setModal(false);
    useDesignedFont(this);
    setFixedSize(330, 84);
    auto* label = new QLabel(QStringLiteral("Suchen nach:"), this);
    label->setGeometry(12, 14, 80, 22);
    FindText = new QLineEdit(this);
    FindText->setObjectName(QStringLiteral("FindText"));
    FindText->setGeometry(92, 12, 226, 24);
    label->setBuddy(FindText);
    FindNext = new QPushButton(QStringLiteral("Weitersuchen"), this);
    FindNext->setObjectName(QStringLiteral("FindNext"));
    FindNext->setGeometry(130, 46, 100, 28);
    FindNext->setDefault(true);
    auto* close = new QPushButton(QStringLiteral("Abbrechen"), this);
    close->setGeometry(236, 46, 82, 28);
    connect(FindNext, &QPushButton::clicked, this, &TFindWindow::find);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
}

} // namespace tafelix
