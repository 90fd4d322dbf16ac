#include "SettingsPage.h"

#include "Widgets.h"

#include "core/CardBox.h"

#include "platform/Cp1252Text.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QStyle>

#include <algorithm>

namespace tafelix {

TSettingsPage::TSettingsPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet3"));
    const int lw = 256;
    const int h = 50;
    auto group = [this, lw, h](const char* name, const QString& title, const QStringList& items,
                               int row, int initial) {
        return new TRadioGroup(this, name, title, items, QRect(4, 4 + row * (h + 4), lw, h),
                               initial);
    };
    RadioGroup1 = group("RadioGroup1", QStringLiteral("Abfragerichtung"),
                        {QStringLiteral("Deutsch"), QStringLiteral("Fremdsprache")}, 0, 0);
    RadioGroup2 = group("RadioGroup2", QStringLiteral("Groß- Kleinschreibung"),
                        {QStringLiteral("beachten"), QStringLiteral("nicht beachten")}, 1, 1);
    RadioGroup4 = group("RadioGroup4", QStringLiteral("Sound"),
                        {QStringLiteral("ein"), QStringLiteral("aus")}, 2, 0);
    RadioGroup3 = group("RadioGroup3", QStringLiteral("Statistik erstellen"),
                        {QStringLiteral("ja"), QStringLiteral("nein")}, 3, 0);
    RadioGroup5 = group("RadioGroup5", QStringLiteral("Druckfelder begrenzen"),
                        {QStringLiteral("Ja"), QStringLiteral("Nein")}, 4, 0);
    RadioGroup6 = group("RadioGroup6", QStringLiteral("Zusatzfelder anzeigen"),
                        {QStringLiteral("Ja"), QStringLiteral("Nein")}, 5, 0);

    auto* sizes = makeGroup(this, "GroupBox7", QStringLiteral("maximale Fächergröße"),
                            QRect(266, 4, 260, 104));
    TrackBar2 = new QSlider(Qt::Horizontal, sizes);
    TrackBar2->setObjectName(QStringLiteral("TrackBar2"));
    TrackBar2->setGeometry(10, 20, 240, 26);
    TrackBar2->setRange(10, 50);
    TrackBar2->setSingleStep(1);
    TrackBar2->setPageStep(5);
    TrackBar2->setTickPosition(QSlider::TicksBelow);
    TrackBar2->setTickInterval(5);
    TrackBar2->setValue(20);
    TrackBar2->setAccessibleName(QStringLiteral("maximale Fächergröße"));
    const char* names[] = {"Panel23", "Panel24", "Panel25", "Panel26"};
    const char* initial[] = {"20", "35", "50", "65"};
    QLabel** panels[] = {&Panel23, &Panel24, &Panel25, &Panel26};
    for (int i = 0; i < 4; ++i) {
        auto* caption = new QLabel(QStringLiteral("Fach Nr.%1").arg(i + 2), sizes);
        caption->setGeometry(8 + i * 62, 52, 60, 14);
        caption->setAlignment(Qt::AlignCenter);
        *panels[i] = makePanel(sizes, names[i], QRect(14 + i * 62, 68, 48, 22),
                               QString::fromLatin1(initial[i]));
    }

    auto* font = makeGroup(this, "GroupBox8", QStringLiteral("Schriftart (nur Eingabefelder)"),
                           QRect(266, 112, 260, 266));
    CheckListBox1 = new QListWidget(font);
    CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
    CheckListBox1->setGeometry(10, 20, 240, 150);
    CheckListBox1->setUniformItemSizes(true);
    CheckListBox1->setAccessibleName(QStringLiteral("Schriftart (nur Eingabefelder)"));
    auto* sizeLabel = new QLabel(QStringLiteral("Schriftgröße:"), font);
    sizeLabel->setGeometry(10, 180, 90, 22);
    ComboBox1 = new QComboBox(font);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setAccessibleName(QStringLiteral("Schriftgröße"));
    ComboBox1->setGeometry(100, 178, 70, 24);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    // Completion would turn a typed "1" into "10".
    ComboBox1->setCompleter(nullptr);
    // Some screen readers name a combo box by its text and take the caption from the
    // label's relation to it; its field carries the caption as its own name too.
    sizeLabel->setBuddy(ComboBox1);
    ComboBox1->lineEdit()->setAccessibleName(QStringLiteral("Schriftgröße"));
    ComboBox1->addItems(
        {QStringLiteral("8"), QStringLiteral("10"), QStringLiteral("12"), QStringLiteral("14")});
    ComboBox1->setCurrentIndex(1);
    Panel27 = new QLabel(font);
    Panel27->setObjectName(QStringLiteral("Panel27"));
    Panel27->setGeometry(10, 210, 240, 44);
    Panel27->setFrameShape(QFrame::Panel);
    Panel27->setFrameShadow(QFrame::Sunken);
    Panel27->setAlignment(Qt::AlignCenter);
    Panel27->setAutoFillBackground(true);
    Panel27->setBackgroundRole(QPalette::ToolTipBase);
    Panel27->setForegroundRole(QPalette::ToolTipText);
    Panel27->setTextFormat(Qt::PlainText);

    connect(TrackBar2, &QSlider::valueChanged, this, &TSettingsPage::TrackBar2Change);
    for (TRadioGroup* g :
         {RadioGroup1, RadioGroup2, RadioGroup3, RadioGroup4, RadioGroup5, RadioGroup6})
        connect(g, &TRadioGroup::itemIndexChanged, this, &TSettingsPage::changed);
    connect(TrackBar2, &QSlider::valueChanged, this, &TSettingsPage::changed);
    // Typed, pasted, picked from the list or cut back to 14: every text counts at once.
    connect(ComboBox1, &QComboBox::currentTextChanged, this, &TSettingsPage::changed);
}

void TSettingsPage::TrackBar2Change()
{
    const CompartmentMaxima m = maximaForSlider(TrackBar2->value());
    Panel23->setText(QString::number(m.max2));
    Panel24->setText(QString::number(m.max3));
    Panel25->setText(QString::number(m.max4));
    Panel26->setText(QString::number(m.max5));
}

PageSettings pageSettingsOf(const SettingsRecord& record)
{
    const SettingsRecord r = pagePartOf(record);
    PageSettings s;
    s.direction =
        r.queryDirection == 0 ? PageSettings::Direction::German : PageSettings::Direction::Foreign;
    s.caseSensitive = r.caseMode == 0;
    s.sound = r.soundMode != 1;
    s.statistics = r.statisticsMode == 0;
    s.limitPrintFields = r.printLimitMode == 0;
    s.extraFields = r.extraFieldsMode == 0;
    s.capacity = r.capacityPosition;
    s.fontName = fromCp1252(r.fontName);
    s.fontSize = fromCp1252(r.fontSize);
    return s;
}

SettingsRecord recordOf(const PageSettings& s)
{
    // Option 0 of every group is the one named by a true flag ("sound" by "ein").
    const auto choice = [](bool first) { return static_cast<std::uint8_t>(first ? 0 : 1); };
    SettingsRecord r;
    r.queryDirection = choice(s.direction == PageSettings::Direction::German);
    r.caseMode = choice(s.caseSensitive);
    r.statisticsMode = choice(s.statistics);
    r.soundMode = choice(s.sound);
    r.printLimitMode = choice(s.limitPrintFields);
    r.extraFieldsMode = choice(s.extraFields);
    r.capacityPosition = static_cast<std::uint8_t>(s.capacity);
    r.fontName = toCp1252(s.fontName);
    r.fontSize = toCp1252(s.fontSize);
    return r;
}

std::optional<int> fontPointsOf(const QString& sizeText)
{
    // A size of 0 would be no font at all; the smallest is one point.
    bool ok = false;
    const int size = sizeText.toInt(&ok);
    if (!ok || sizeText.trimmed() != sizeText)
        return std::nullopt;
    return std::max(1, size);
}

PageSettings TSettingsPage::current() const
{
    // Option 0 of every group is the first one built above: "Deutsch", "beachten", "ein",
    // "ja", "Ja", "Ja".
    PageSettings s;
    s.direction = RadioGroup1->itemIndex() == 0 ? PageSettings::Direction::German
                                                : PageSettings::Direction::Foreign;
    s.caseSensitive = RadioGroup2->itemIndex() == 0;
    s.sound = RadioGroup4->itemIndex() != 1;
    s.statistics = RadioGroup3->itemIndex() == 0;
    s.limitPrintFields = RadioGroup5->itemIndex() == 0;
    s.extraFields = RadioGroup6->itemIndex() == 0;
    s.capacity = TrackBar2->value();
    s.fontName = Panel27->text();
    s.fontSize = ComboBox1->currentText();
    return s;
}

void TSettingsPage::show(const PageSettings& s)
{
    const std::pair<TRadioGroup*, bool> choices[] = {
        {RadioGroup1, s.direction == PageSettings::Direction::German},
        {RadioGroup2, s.caseSensitive},
        {RadioGroup3, s.statistics},
        {RadioGroup4, s.sound},
        {RadioGroup5, s.limitPrintFields},
        {RadioGroup6, s.extraFields}};
    for (const auto& [group, first] : choices)
        group->setItemIndex(first ? 0 : 1);
    TrackBar2->setValue(s.capacity);
    Panel27->setText(s.fontName);
    ComboBox1->setCurrentText(s.fontSize);
    // The preview's text has no signal of its own.
    emit changed();
}

void TSettingsPage::markFont(bool fromList)
{
    QListWidget* list = CheckListBox1;
    QLabel* preview = Panel27;
    if (fromList) {
        int k = -1;
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->isSelected())
                k = i;
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setCheckState(Qt::Unchecked);
        if (k == -1) {
            preview->setText(QStringLiteral("Arial"));
        } else {
            list->item(k)->setCheckState(Qt::Checked);
            list->scrollToItem(list->item(k), QAbstractItemView::PositionAtTop);
            preview->setText(list->item(k)->text());
        }
    } else {
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->text() == preview->text()) {
                list->item(i)->setCheckState(Qt::Checked);
                list->scrollToItem(list->item(i), QAbstractItemView::PositionAtTop);
            }
        }
    }
    const QString name = preview->text();
    QFont previewFont = preview->font();
    if (!name.isEmpty())
        previewFont.setFamily(name);
    if (const std::optional<int> points = fontPointsOf(ComboBox1->currentText()))
        previewFont.setPointSize(*points);
    preview->setFont(previewFont);
    if (fromList)
        emit changed();
}

} // namespace tafelix
