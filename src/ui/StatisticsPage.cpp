#include "StatisticsPage.h"

#include "Widgets.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>

namespace tafelix {

TStatisticsPage::TStatisticsPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet4"));

    StringGrid1 = new QTableView(this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setGeometry(25, 6, 480, 315);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setDefaultSectionSize(18);
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->horizontalHeader()->setHighlightSections(false);
    StringGrid1->setWordWrap(false);
    StringGrid1->setAlternatingRowColors(true);
    // Tab leaves the table for the buttons below; the arrow keys move between its rows.
    StringGrid1->setTabKeyNavigation(false);
    StringGrid1->setAccessibleName(QStringLiteral("Statistik"));

    Panel22 = new QLabel(this);
    Panel22->setObjectName(QStringLiteral("Panel22"));
    Panel22->setFrameShape(QFrame::Panel);
    Panel22->setFrameShadow(QFrame::Sunken);
    Panel22->setAutoFillBackground(true);
    Panel22->hide();
    Image1 = new QLabel(Panel22);
    Image1->setObjectName(QStringLiteral("Image1"));

    auto* bar = new QWidget(this);
    bar->setGeometry(25, 326, 480, 48);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    ToolButton18 = makeToolButton(bar, "ToolButton18", QStringLiteral("Tabelle"),
                                  lazyStandardIcon(QStyle::SP_FileDialogListView),
                                  QStringLiteral("Statistik als Tabelle anzeigen"));
    ToolButton19 = makeToolButton(bar, "ToolButton19", QStringLiteral("Diagramm"),
                                  lazyStandardIcon(QStyle::SP_FileDialogInfoView),
                                  QStringLiteral("Statistik als Diagramm anzeigen"));
    ToolButton24 = makeToolButton(bar, "ToolButton24", QStringLiteral("drucken"),
                                  lazyStandardIcon(QStyle::SP_FileDialogDetailedView),
                                  QStringLiteral("Statistik drucken"));
    ToolButton21 = makeToolButton(bar, "ToolButton21", QStringLiteral("Zeile löschen"),
                                  lazyStandardIcon(QStyle::SP_DialogDiscardButton),
                                  QStringLiteral("Markierten Datensatz löschen"));
    ToolButton26 = makeToolButton(bar, "ToolButton26", QStringLiteral("alles löschen"),
                                  lazyStandardIcon(QStyle::SP_TrashIcon),
                                  QStringLiteral("Gesamte Statistik löschen"));
    ToolButton18->setCheckable(true);
    ToolButton19->setCheckable(true);
    ToolButton18->setChecked(true);
    ToolButton18->setEnabled(false);
    ToolButton21->setEnabled(false);
    for (QToolButton* b : {ToolButton18, ToolButton19, ToolButton24, ToolButton21, ToolButton26}) {
        b->setMinimumWidth(80);
        row->addWidget(b);
    }
    row->addStretch();
}

} // namespace tafelix
