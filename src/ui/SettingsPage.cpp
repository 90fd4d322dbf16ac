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
#include <array>
#include <cstdint>

namespace tafelix {

namespace {

// The page's option groups, top to bottom: the one description of which control shows which
// setting and which byte of Init.dat keeps it. Option 0 is the one a true flag names ("Sound":
// "ein") and is stored as 0; any other stored byte is option 1.
struct RadioChoice {
    TRadioGroup* TSettingsPage::*group;
    const char* name;
    const char* title; // UTF-8
    std::array<const char*, 2> options;
    std::uint8_t SettingsRecord::*stored;
    bool (*first)(const PageSettings&);
    void (*setFirst)(PageSettings&, bool);
};

const RadioChoice kChoices[] = {
    {&TSettingsPage::RadioGroup1,
     "RadioGroup1",
     "Abfragerichtung",
     {"Deutsch", "Fremdsprache"},
     &SettingsRecord::queryDirection,
     [](const PageSettings& s) { return s.direction == PageSettings::Direction::German; },
     [](PageSettings& s, bool german) {
         s.direction = german ? PageSettings::Direction::German : PageSettings::Direction::Foreign;
     }},
    {&TSettingsPage::RadioGroup2,
     "RadioGroup2",
     "Groß- Kleinschreibung",
     {"beachten", "nicht beachten"},
     &SettingsRecord::caseMode,
     [](const PageSettings& s) { return s.caseSensitive; },
     [](PageSettings& s, bool on) { s.caseSensitive = on; }},
    {&TSettingsPage::RadioGroup4,
     "RadioGroup4",
     "Sound",
     {"ein", "aus"},
     &SettingsRecord::soundMode,
     [](const PageSettings& s) { return s.sound; },
     [](PageSettings& s, bool on) { s.sound = on; }},
    {&TSettingsPage::RadioGroup3,
     "RadioGroup3",
     "Statistik erstellen",
     {"ja", "nein"},
     &SettingsRecord::statisticsMode,
     [](const PageSettings& s) { return s.statistics; },
     [](PageSettings& s, bool on) { s.statistics = on; }},
    {&TSettingsPage::RadioGroup5,
     "RadioGroup5",
     "Druckfelder begrenzen",
     {"Ja", "Nein"},
     &SettingsRecord::printLimitMode,
     [](const PageSettings& s) { return s.limitPrintFields; },
     [](PageSettings& s, bool on) { s.limitPrintFields = on; }},
    {&TSettingsPage::RadioGroup6,
     "RadioGroup6",
     "Zusatzfelder anzeigen",
     {"Ja", "Nein"},
     &SettingsRecord::extraFieldsMode,
     [](const PageSettings& s) { return s.extraFields; },
     [](PageSettings& s, bool on) { s.extraFields = on; }},
};

} // namespace

TSettingsPage::TSettingsPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet3"));
    const int lw = 256;
    const int h = 50;
    const PageSettings defaults;
    int row = 0;
    for (const RadioChoice& c : kChoices) {
        this->*c.group =
            new TRadioGroup(this, c.name, QString::fromUtf8(c.title),
                            {QString::fromUtf8(c.options[0]), QString::fromUtf8(c.options[1])},
                            QRect(4, 4 + row++ * (h + 4), lw, h), c.first(defaults) ? 0 : 1);
        connect(this->*c.group, &TRadioGroup::itemIndexChanged, this, &TSettingsPage::changed);
    }

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
    PageSettings s;
    for (const RadioChoice& c : kChoices)
        c.setFirst(s, clampChoice(record.*c.stored, static_cast<int>(c.options.size())) == 0);
    s.capacity = clampCapacity(record.capacityPosition);
    s.fontName = fromCp1252(record.fontName);
    s.fontSize = fromCp1252(record.fontSize);
    return s;
}

SettingsRecord recordOf(const PageSettings& s)
{
    SettingsRecord r;
    for (const RadioChoice& c : kChoices)
        r.*c.stored = c.first(s) ? 0 : 1;
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
    PageSettings s;
    for (const RadioChoice& c : kChoices)
        c.setFirst(s, (this->*c.group)->itemIndex() == 0);
    s.capacity = TrackBar2->value();
    s.fontName = fontName_;
    s.fontSize = ComboBox1->currentText();
    return s;
}

void TSettingsPage::show(const PageSettings& s)
{
    for (const RadioChoice& c : kChoices)
        (this->*c.group)->setItemIndex(c.first(s) ? 0 : 1);
    TrackBar2->setValue(s.capacity);
    fontName_ = s.fontName;
    Panel27->setText(fontName_);
    ComboBox1->setCurrentText(s.fontSize);
    // The font has no control of its own to report it.
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
            fontName_ = QStringLiteral("Arial");
        } else {
            list->item(k)->setCheckState(Qt::Checked);
            list->scrollToItem(list->item(k), QAbstractItemView::PositionAtTop);
            fontName_ = list->item(k)->text();
        }
    } else {
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->text() == fontName_) {
                list->item(i)->setCheckState(Qt::Checked);
                list->scrollToItem(list->item(i), QAbstractItemView::PositionAtTop);
            }
        }
    }
    preview->setText(fontName_);
    QFont previewFont = preview->font();
    if (!fontName_.isEmpty())
        previewFont.setFamily(fontName_);
    if (const std::optional<int> points = fontPointsOf(ComboBox1->currentText()))
        previewFont.setPointSize(*points);
    preview->setFont(previewFont);
    if (fromList)
        emit changed();
}

} // namespace tafelix
