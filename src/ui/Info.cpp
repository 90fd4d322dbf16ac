#include "Info.h"

#include "Widgets.h"

#include "platform/JpegImage.h"

#include "platform/Platform.h"

#include <QColor>
#include <QFontDatabase>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <initializer_list>
#include <utility>

namespace tafelix {

namespace {

constexpr int kClientWidth = 298;
constexpr int kClientHeight = 213;
constexpr int kEmblemSize = 70;

// The box was drawn for the classic Windows fonts. Where they are missing, fontconfig's
// metric twins (Liberation) keep the texts inside their labels; anything else is a last resort.
QString pickFamily(std::initializer_list<const char*> candidates)
{
    for (const char* name : candidates) {
        const QString family = QString::fromLatin1(name);
        if (QFontDatabase::hasFamily(family))
            return family;
    }
    return QString::fromLatin1(*candidates.begin());
}

QFont makeFont(const QString& family, int pointSize, bool bold = false)
{
    QFont font(family, pointSize);
    font.setBold(bold);
    return font;
}

QLabel* makeLabel(QWidget* parent, const char* objectName, const QRect& geometry)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setGeometry(geometry);
    return label;
}

} // namespace

TAboutBox::TAboutBox(IShell& shell, const QString& emblemPath, QWidget* parent)
    : QDialog(parent), m_shell(shell), m_emblemPath(emblemPath)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Info"));
    setFixedSize(kClientWidth, kClientHeight);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Panel1->setGeometry(8, 8, 282, 161);
    // The navy title and the blue address could not be read on a dark desktop palette.
    useDesignedFace(Panel1);

    ProgramIcon = makeLabel(Panel1, "ProgramIcon", {10, 10, kEmblemSize, kEmblemSize});
    ProgramIcon->setAlignment(Qt::AlignCenter);

    ProductName = makeLabel(Panel1, "ProductName", {92, 12, 178, 26});
    ProductName->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextColor(ProductName, QColor(0x00, 0x00, 0x80));

    Version = makeLabel(Panel1, "Version", {92, 42, 178, 16});
    Version->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Copyright = makeLabel(Panel1, "Copyright", {92, 60, 178, 30});
    Copyright->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Copyright->setWordWrap(true);

    auto* rule = new QFrame(Panel1);
    rule->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    rule->setGeometry(10, 94, 260, 2);

    Author = makeLabel(Panel1, "Author", {10, 102, 70, 16});
    Author->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Adresse = makeLabel(Panel1, "Adresse", {92, 101, 178, 32});
    Adresse->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Comments = makeLabel(Panel1, "Comments", {92, 136, 178, 16});
    setTextColor(Comments, QColor(0x00, 0x00, 0xFF));
    Comments->setCursor(Qt::PointingHandCursor);
    Comments->installEventFilter(this);

    OKButton = new QPushButton(this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setText(QStringLiteral("OK"));
    OKButton->setGeometry(215, 178, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();
}

void TAboutBox::FormCreate()
{
    ProductName->setText(QStringLiteral("Tafelix"));
    Version->setText(QStringLiteral("Version : 1.32"));
    Copyright->setText(
        QStringLiteral("Copyright © 2026 Tafelix-Projekt. Lizenz: GNU GPL 3 oder später"));
    Author->setText(QStringLiteral("Autor :"));
    Adresse->setText(QStringLiteral("Jana Beispiel\nLindenweg 7, 12345 Musterstadt"));
    Comments->setText(QStringLiteral(TAFELIX_HOMEPAGE));
}

void TAboutBox::CommentsClick()
{
    m_shell.open(Comments->text());
}

void TAboutBox::applyFonts()
{
    const QString sansFamily =
        pickFamily({"MS Sans Serif", "Microsoft Sans Serif", "Arial", "Liberation Sans"});
    const QString arialFamily = pickFamily({"Arial", "Liberation Sans"});
    const QString serifFamily = pickFamily({"Times New Roman", "Liberation Serif"});
    setFont(makeFont(sansFamily, 8));
    ProductName->setFont(makeFont(arialFamily, 14, true));
    Adresse->setFont(makeFont(serifFamily, 9));
    QFont linkFont = makeFont(sansFamily, 8);
    linkFont.setUnderline(true);
    Comments->setFont(linkFont);
}

void TAboutBox::showEvent(QShowEvent* event)
{
    // Asking fontconfig for three families costs more than building the whole main window's
    // first page, and the box is made at start-up: the fonts are chosen when it first shows.
    if (!m_fontsApplied) {
        m_fontsApplied = true;
        applyFonts();
    }
    QDialog::showEvent(event);
    // The box is made at start-up, but nobody sees the emblem before it is first shown; the
    // decode waits until then, off the start-up path.
    if (!m_emblemPath.isEmpty()) {
        const QImage emblem = decodeJpegFile(std::exchange(m_emblemPath, QString()));
        if (!emblem.isNull())
            ProgramIcon->setPixmap(QPixmap::fromImage(emblem.scaled(
                kEmblemSize, kEmblemSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    // Centred on the screen, not over the main window, wherever that happens to be.
    if (QScreen* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    // A release outside the label means the user changed their mind, as with a button.
    if (watched == Comments && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            Comments->rect().contains(mouse->position().toPoint())) {
            CommentsClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tafelix
