#include "EditPage.h"

#include "Widgets.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>

namespace tafelix {

namespace {

QWidget* toolRow(QWidget* parent, const QRect& geometry,
                 std::initializer_list<QToolButton*> buttons)
{
    auto* row = new QWidget(parent);
    row->setGeometry(geometry);
    auto* lay = new QHBoxLayout(row);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(1);
    for (QToolButton* b : buttons) {
        b->setParent(row);
        b->setMinimumWidth(58);
        lay->addWidget(b);
    }
    lay->addStretch();
    return row;
}

} // namespace

TEditPage::TEditPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet2"));
    const auto icon = lazyStandardIcon;

    GroupDatei = makeGroup(this, "GroupBox6", QStringLiteral("Vokabeldatei"), QRect(4, 2, 522, 66));
    ToolButton7 = makeToolButton(GroupDatei, "ToolButton7", QStringLiteral("Neu"),
                                 icon(QStyle::SP_FileIcon), QStringLiteral("Neue Datei anlegen"));
    ToolButton8 =
        makeToolButton(GroupDatei, "ToolButton8", QStringLiteral("Öffnen"),
                       icon(QStyle::SP_DialogOpenButton), QStringLiteral("Vokabeldatei öffnen"));
    ToolButton9 =
        makeToolButton(GroupDatei, "ToolButton9", QStringLiteral("Speichern"),
                       icon(QStyle::SP_DialogSaveButton), QStringLiteral("Vokabeldatei speichern"));
    ToolButton11 = makeToolButton(GroupDatei, "ToolButton11", QStringLiteral("Sp. unter"),
                                  icon(QStyle::SP_DriveFDIcon),
                                  QStringLiteral("Vokabeldatei unter neuem Namen speichern"));
    ToolButton28 = makeToolButton(GroupDatei, "ToolButton28", QStringLiteral("Backup"),
                                  icon(QStyle::SP_DirIcon));
    ToolButton10 = makeToolButton(
        GroupDatei, "ToolButton10", QStringLiteral("Reset"), icon(QStyle::SP_BrowserReload),
        QStringLiteral("Ermöglicht das Zurücksetzen aller Wörter in Fach1"));
    ToolButton25 = makeToolButton(GroupDatei, "ToolButton25", QStringLiteral("Mischen"),
                                  icon(QStyle::SP_ArrowRight),
                                  QStringLiteral("Ermöglicht das Mischen der Wortreihenfolge"));
    ToolButton27 = makeToolButton(GroupDatei, "ToolButton27", QStringLiteral("Sortieren"),
                                  icon(QStyle::SP_ArrowDown),
                                  QStringLiteral("Sortiert die Wörter alphabetisch"));
    toolRow(GroupDatei, QRect(6, 16, 510, 46),
            {ToolButton7, ToolButton8, ToolButton9, ToolButton11, ToolButton28, ToolButton10,
             ToolButton25, ToolButton27});
    for (QToolButton* b : {ToolButton9, ToolButton11, ToolButton10, ToolButton25, ToolButton27})
        b->setEnabled(false);
    // A shortcut follows its button: it acts only while the button is on show and enabled.
    ToolButton8->setShortcut(QKeySequence::Open);
    ToolButton9->setShortcut(QKeySequence::Save);

    GroupBox1 = makeGroup(this, "GroupBox1", QStringLiteral("Eingabe"), QRect(4, 70, 522, 196));
    makeLabel(GroupBox1, "LabelDeutsch", QStringLiteral("Deutsch"), {10, 16});
    Edit1 = makeEdit(GroupBox1, "Edit1", QRect(10, 31, 390, 24));
    makeLabel(GroupBox1, "LabelFremd", QStringLiteral("Fremsprache"), {10, 58});
    Edit2 = makeEdit(GroupBox1, "Edit2", QRect(10, 73, 390, 24));
    makeLabel(GroupBox1, "LabelSynonym", QStringLiteral("Andere, weitere Bedeutungen"), {10, 100});
    Edit3 = makeEdit(GroupBox1, "Edit3", QRect(10, 115, 390, 24));
    makeLabel(GroupBox1, "LabelBemerkung", QStringLiteral("Bemerkung"), {10, 142});
    Edit4 = makeEdit(GroupBox1, "Edit4", QRect(10, 157, 390, 24));
    // A screen reader names each field by the caption above it.
    Edit1->setAccessibleName(QStringLiteral("Deutsch"));
    Edit2->setAccessibleName(QStringLiteral("Fremsprache"));
    Edit3->setAccessibleName(QStringLiteral("Andere, weitere Bedeutungen"));
    Edit4->setAccessibleName(QStringLiteral("Bemerkung"));

    auto caption = [this](const QString& text, int y) {
        auto* l = new QLabel(text, GroupBox1);
        l->setGeometry(414, y, 96, 14);
        l->setAlignment(Qt::AlignCenter);
    };
    caption(QStringLiteral("Wort Nr"), 16);
    Panel1 = makePanel(GroupBox1, "Panel1", QRect(426, 31, 72, 22));
    caption(QStringLiteral("Fach Nr"), 58);
    // Room for any 32-bit compartment a file may hold ("-2147483648"); typing stays filtered.
    Edit5 = makeEdit(GroupBox1, "Edit5", QRect(426, 73, 72, 24), 11);
    Edit5->setAlignment(Qt::AlignCenter);
    Edit5->setAccessibleName(QStringLiteral("Fach Nr"));
    caption(QStringLiteral("Durchgänge"), 100);
    // The hidden field lies under the pass display: it takes the focus, nobody sees it.
    Edit6 = makeEdit(GroupBox1, "Edit6", QRect(426, 115, 72, 22));
    Edit6->setText(QStringLiteral("Unsichtbares temporaeres Edit"));
    Panel3 = makePanel(GroupBox1, "Panel3", QRect(426, 115, 72, 22));
    Panel3->raise();
    SpeedButton1 = new QPushButton(QStringLiteral("Sonderz."), GroupBox1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(426, 155, 72, 26);
    SpeedButton1->setToolTip(QStringLiteral("Ermöglicht die Eingabe von Sonderzeichen"));
    // Tab reaches it; a click leaves the focus in the field the character goes to.
    SpeedButton1->setFocusPolicy(Qt::TabFocus);

    GroupBox2 = makeGroup(this, "GroupBox2", QStringLiteral("Vokabeln"), QRect(4, 268, 522, 110));
    ToolButton5 =
        makeToolButton(GroupBox2, "ToolButton5", QStringLiteral("Neu"),
                       icon(QStyle::SP_FileDialogNewFolder), QStringLiteral("Neues Wort anlegen"));
    ToolButton6 =
        makeToolButton(GroupBox2, "ToolButton6", QStringLiteral("Löschen"),
                       icon(QStyle::SP_TrashIcon), QStringLiteral("Aktuelles Wort löschen"));
    ToolButton1 = makeToolButton(GroupBox2, "ToolButton1", QStringLiteral("Anfang"),
                                 icon(QStyle::SP_MediaSkipBackward));
    ToolButton2 = makeToolButton(GroupBox2, "ToolButton2", QStringLiteral("Zurück"),
                                 icon(QStyle::SP_MediaSeekBackward));
    ToolButton3 = makeToolButton(GroupBox2, "ToolButton3", QStringLiteral("Vor"),
                                 icon(QStyle::SP_MediaSeekForward));
    ToolButton4 = makeToolButton(GroupBox2, "ToolButton4", QStringLiteral("Ende"),
                                 icon(QStyle::SP_MediaSkipForward));
    ToolButton17 = makeToolButton(GroupBox2, "ToolButton17", QStringLiteral("Suchen"),
                                  icon(QStyle::SP_FileDialogContentsView),
                                  QStringLiteral("Suchen nach Wortfragmenten"));
    ToolButton22 = makeToolButton(GroupBox2, "ToolButton22", QStringLiteral("Drucken"),
                                  icon(QStyle::SP_FileDialogDetailedView),
                                  QStringLiteral("Drucken in Datei, oder auf Drucker"));
    toolRow(GroupBox2, QRect(6, 16, 510, 46),
            {ToolButton5, ToolButton6, ToolButton1, ToolButton2, ToolButton3, ToolButton4,
             ToolButton17, ToolButton22});
    ScrollBar1 = new QScrollBar(Qt::Horizontal, GroupBox2);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setGeometry(10, 74, 400, 20);
    ScrollBar1->setRange(1, 1);
    ScrollBar1->setSingleStep(1);
    ScrollBar1->setPageStep(1);
    auto* count = new QLabel(QStringLiteral("Anzahl"), GroupBox2);
    count->setGeometry(420, 62, 90, 12);
    count->setAlignment(Qt::AlignCenter);
    Panel2 = makePanel(GroupBox2, "Panel2", QRect(428, 76, 72, 20));

    GroupBox1->hide();
    GroupBox2->hide();
}

} // namespace tafelix
