#include "SettingsPage.h"

#include "Widgets.h"

#include "platform/Cp1252Text.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QStyle>

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

void TSettingsPage::show(const SettingsRecord& record)
{
    const std::pair<TRadioGroup*, std::uint8_t> choices[] = {
        {RadioGroup1, record.queryDirection}, {RadioGroup2, record.caseMode},
        {RadioGroup3, record.statisticsMode}, {RadioGroup4, record.soundMode},
        {RadioGroup5, record.printLimitMode}, {RadioGroup6, record.extraFieldsMode}};
    for (const auto& [group, stored] : choices)
        group->setItemIndex(clampChoice(stored, group->count()));
    TrackBar2->setValue(clampCapacity(record.capacityPosition));
    Panel27->setText(fromCp1252(record.fontName));
    ComboBox1->setCurrentText(fromCp1252(record.fontSize));
}

SettingsRecord TSettingsPage::record() const
{
    const auto choice = [](const TRadioGroup* group) {
        return static_cast<std::uint8_t>(group->itemIndex() & 0xFF);
    };
    SettingsRecord r;
    r.queryDirection = choice(RadioGroup1);
    r.caseMode = choice(RadioGroup2);
    r.statisticsMode = choice(RadioGroup3);
    r.soundMode = choice(RadioGroup4);
    r.printLimitMode = choice(RadioGroup5);
    r.extraFieldsMode = choice(RadioGroup6);
    r.capacityPosition = static_cast<std::uint8_t>(TrackBar2->value());
    r.fontName = toCp1252(Panel27->text());
    r.fontSize = toCp1252(ComboBox1->currentText());
    return r;
}

} // namespace tafelix
