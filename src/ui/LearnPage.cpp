#include "LearnPage.h"

#include "Widgets.h"

#include "core/Drill.h"
#include "core/Percent.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLocale>
#include <QStyle>

namespace tafelix {

namespace {

// A caption above a value display, both centred in a column of the group.
QLabel* column(QWidget* group, const char* name, const QString& caption, int x, int width,
               const QString& hint, const QString& text = QStringLiteral("0"))
{
    auto* label = new QLabel(caption, group);
    label->setGeometry(x, 16, width, 14);
    label->setAlignment(Qt::AlignCenter);
    return makePanel(group, name, QRect(x + 4, 31, width - 8, 20), text, hint);
}

} // namespace

TLearnPage::TLearnPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet1"));

    auto* bar = new QWidget(this);
    bar->setGeometry(4, 0, 520, 44);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    ToolButton12 = makeToolButton(bar, "ToolButton12", QStringLiteral("Öffnen"),
                                  lazyStandardIcon(QStyle::SP_DialogOpenButton),
                                  QStringLiteral("Vokabeldatei zum Lernen öffnen"));
    ToolButton13 = makeToolButton(bar, "ToolButton13", QStringLiteral("Schließen"),
                                  lazyStandardIcon(QStyle::SP_DialogCloseButton),
                                  QStringLiteral("Vokabeldatei schließen"));
    ToolButton14 = makeToolButton(bar, "ToolButton14", QStringLiteral("Hilfe"),
                                  lazyStandardIcon(QStyle::SP_DialogHelpButton),
                                  QStringLiteral("Hilfe anzeigen"));
    ToolButton15 = makeToolButton(bar, "ToolButton15", QStringLiteral("info"),
                                  lazyStandardIcon(QStyle::SP_MessageBoxInformation),
                                  QStringLiteral("Informationen über Tafelix"));
    ToolButton16 = makeToolButton(bar, "ToolButton16", QStringLiteral("Beenden"),
                                  lazyStandardIcon(QStyle::SP_DialogCancelButton),
                                  QStringLiteral("Tafelix beenden"));
    // Acts only while the learning page is on show and the button enabled.
    ToolButton12->setShortcut(QKeySequence::Open);
    for (QToolButton* b : {ToolButton12, ToolButton13, ToolButton14, ToolButton15, ToolButton16}) {
        b->setMinimumWidth(62);
        row->addWidget(b);
    }
    row->addStretch();

    GroupAuswertung =
        makeGroup(this, "GroupBox4", QStringLiteral("Auswertung"), QRect(4, 46, 522, 58));
    const int w6 = 86;
    Panel10 = column(GroupAuswertung, "Panel10", QStringLiteral("bearbeitet"), 4, w6,
                     QStringLiteral("zeigt die Anzahl der bearbeiteten Vokabeln"));
    Panel11 = column(GroupAuswertung, "Panel11", QStringLiteral("falsch"), 4 + w6, w6,
                     QStringLiteral("Anzahl der falschen Übersetzungen"));
    Panel12 = column(GroupAuswertung, "Panel12", QStringLiteral("richtig"), 4 + 2 * w6, w6,
                     QStringLiteral("Anzahl der korrekten Übersetzungen"));
    Panel13 = column(GroupAuswertung, "Panel13", QStringLiteral("Prozent"), 4 + 3 * w6, w6 - 14,
                     QStringLiteral("Quote der richtigen Überstzungen"));
    auto* percent = new QLabel(QStringLiteral("%"), GroupAuswertung);
    percent->setGeometry(4 + 4 * w6 - 16, 33, 12, 16);
    Panel14 = column(GroupAuswertung, "Panel14", QStringLiteral("Note"), 4 + 4 * w6, w6,
                     QStringLiteral("Note abhängig von der Anzahl der Fehler"));
    Panel15 = column(GroupAuswertung, "Panel15", QStringLiteral("Zeit"), 4 + 5 * w6, w6,
                     QStringLiteral("bisher benötigt Zeit in dieser Sitzung"),
                     QStringLiteral("00:00:00"));

    GroupWoerter =
        makeGroup(this, "GroupBox5", QStringLiteral("Wörterstatistik"), QRect(4, 106, 522, 58));
    GroupWoerter->setToolTip(QStringLiteral("zeigt den Zustand des virtuellen Lernkastens an"));
    const int w7 = 73;
    Panel4 = column(GroupWoerter, "Panel4", QStringLiteral("Fach1"), 5, w7, {});
    Panel5 = column(GroupWoerter, "Panel5", QStringLiteral("Fach2"), 5 + w7, w7, {});
    Panel6 = column(GroupWoerter, "Panel6", QStringLiteral("Fach3"), 5 + 2 * w7, w7, {});
    Panel7 = column(GroupWoerter, "Panel7", QStringLiteral("Fach4"), 5 + 3 * w7, w7, {});
    Panel8 = column(GroupWoerter, "Panel8", QStringLiteral("Fach5"), 5 + 4 * w7, w7, {});
    Panel9 = column(GroupWoerter, "Panel9", QStringLiteral("Archiv"), 5 + 5 * w7, w7, {});
    Panel21 = column(GroupWoerter, "Panel21", QStringLiteral("gesamt"), 5 + 6 * w7, w7,
                     QStringLiteral("Anzahl der Vokabeln in der aktuellen Vokabeldatei"));

    GroupLernen = makeGroup(this, "GroupBox3", QStringLiteral("Lernen"), QRect(4, 166, 522, 226));
    Label11 =
        makeLabel(GroupLernen, "Label11", QStringLiteral("Andere, weitere Bedeutungen"), {10, 17});
    Panel18 = makePanel(GroupLernen, "Panel18", QRect(10, 32, 360, 20), {});
    Panel18->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label12 = makeLabel(GroupLernen, "Label12", QStringLiteral("Bemerkung"), {10, 55});
    Panel16 = makePanel(GroupLernen, "Panel16", QRect(10, 70, 360, 20), {});
    Panel16->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label8 = makeLabel(GroupLernen, "Label8", QStringLiteral("Deutsch"), {10, 92});
    Label8->resize(200, Label8->height());
    Edit7 = makeEdit(GroupLernen, "Edit7", QRect(10, 105, 360, 24));
    Edit8 = makeEdit(GroupLernen, "Edit8", QRect(10, 105, 360, 24));
    Edit7->setReadOnly(true);
    Edit8->setReadOnly(true);
    Edit8->hide();
    Label3 = makeLabel(GroupLernen, "Label3", QStringLiteral("Fremdsprache"), {10, 134});
    Label3->resize(200, Label3->height());
    Edit9 = makeEdit(GroupLernen, "Edit9", QRect(10, 148, 360, 24));
    Edit9->setText(QStringLiteral("Eingabe"));
    // The word fields are named by the language they hold; the answer field by the caption
    // above it, which follows the direction of the drill.
    Edit7->setAccessibleName(QStringLiteral("Deutsch"));
    Edit8->setAccessibleName(QStringLiteral("Fremdsprache"));
    Label3->setBuddy(Edit9);

    auto* fachCaption = new QLabel(QStringLiteral("Fach Nr."), GroupLernen);
    fachCaption->setGeometry(392, 17, 56, 14);
    fachCaption->setAlignment(Qt::AlignCenter);
    Panel19 = makePanel(GroupLernen, "Panel19", QRect(396, 32, 48, 20), QStringLiteral("0"),
                        QStringLiteral("zeigt das Lernfach der aktuellen Vokabel"));
    auto* passCaption = new QLabel(QStringLiteral("Durchg."), GroupLernen);
    passCaption->setGeometry(452, 17, 56, 14);
    passCaption->setAlignment(Qt::AlignCenter);
    Panel17 =
        makePanel(GroupLernen, "Panel17", QRect(456, 32, 48, 20), QStringLiteral("0"),
                  QStringLiteral("zeigt die Anzahl der Lerndurchgänge der aktuellen Vokabel"));

    SpeedButton2 = new QPushButton(QStringLiteral("Sonderz."), GroupLernen);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setGeometry(200, 148, 72, 24);
    SpeedButton2->setToolTip(QStringLiteral("Ermöglicht die Eingabe von Sonderzeichen"));
    SpeedButton2->setEnabled(false);
    // Tab reaches it during a run; a click leaves the focus in the answer field.
    SpeedButton2->setFocusPolicy(Qt::TabFocus);

    BitBtn1 = new QPushButton(lazyStandardIcon(QStyle::SP_MediaPlay), QStringLiteral("Start"),
                              GroupLernen);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(396, 180, 108, 36);
    BitBtn1->setToolTip(QStringLiteral("Abfragen starten"));
    BitBtn1->setEnabled(false);

    Panel20 = new QLabel(GroupLernen);
    Panel20->setObjectName(QStringLiteral("Panel20"));
    Panel20->setFrameShape(QFrame::StyledPanel);
    Panel20->setAutoFillBackground(true);
    Panel20->setAlignment(Qt::AlignCenter);
    Panel20->setWordWrap(true);
    Panel20->setText(
        QStringLiteral("Vokabeldatei öffnen und „Start“ drücken,\num mit dem Lernen zu beginnen."));
    Panel20->setGeometry(5, 14, 365, 205);
    Panel20->raise();
    setDrillFieldsReachable(false);
}

void TLearnPage::setDrillFieldsReachable(bool reachable)
{
    // Under the cover the fields are out of sight: Tab must not stop in them.
    for (QLineEdit* field : {Edit7, Edit8, Edit9}) {
        field->setFocusPolicy(reachable ? Qt::StrongFocus : Qt::NoFocus);
        if (!reachable && window()->focusWidget() == field)
            BitBtn1->setFocus();
    }
}

QString percentText(double percent)
{
    // Every shown percentage goes through one formatter, so the learning page, the log and
    // the diagram round a tie the same way. The locale's separator is put in afterwards, as
    // it need not be one byte.
    return QString::fromStdString(formatPercent(percent, '.'))
        .replace(QLatin1Char('.'), QLocale().decimalPoint());
}

DrillCounters TLearnPage::counters() const
{
    return {Panel10->text().toInt(), Panel11->text().toInt(), Panel12->text().toInt()};
}

void TLearnPage::showCounters(const DrillCounters& c)
{
    Panel10->setText(QString::number(c.answered));
    Panel11->setText(QString::number(c.wrong));
    Panel12->setText(QString::number(c.right));
    Panel13->setText(percentText(percentRight(c.right, c.answered)));
}

std::optional<double> TLearnPage::shownPercent() const
{
    bool ok = false;
    const double shown = QLocale().toDouble(Panel13->text(), &ok);
    return ok ? std::optional<double>(shown) : std::nullopt;
}

void TLearnPage::resetDisplays()
{
    for (QLabel* p : {Panel4, Panel5, Panel6, Panel7, Panel8, Panel9, Panel10, Panel11, Panel12,
                      Panel13, Panel14, Panel17, Panel19, Panel21})
        p->setText(QStringLiteral("0"));
    Panel15->setText(QStringLiteral("00:00:00"));
}

} // namespace tafelix
