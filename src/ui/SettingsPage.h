#pragma once

#include "core/SettingsRecord.h"

#include <QString>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QLabel;
class QListWidget;
class QSlider;

namespace tafelix {

class TRadioGroup;

// The font families in the order the font list shows them.
QStringList sortedFontFamilies(QStringList families);

// What the settings page shows, read from its controls when asked for. The controls stay the
// settings; this gives their state names instead of radio indices.
struct PageSettings {
    enum class Direction { German, Foreign }; // which word a drill shows
    Direction direction = Direction::German;  // "Abfragerichtung"
    bool caseSensitive = false;               // "Groß- Kleinschreibung": "beachten"
    bool sound = true;                        // "Sound": "ein"
    bool statistics = true;                   // "Statistik erstellen": "ja"
    bool limitPrintFields = true;             // "Druckfelder begrenzen": "Ja"
    bool extraFields = true;                  // "Zusatzfelder anzeigen": "Ja"
    int capacity = 20;                        // "maximale Fächergröße": the slider's position
    QString fontName;                         // the chosen font: the preview's text
    QString fontSize;                         // the size box's text, as typed

    friend bool operator==(const PageSettings&, const PageSettings&) = default;
};

// What a settings page that showed `record` would say.
PageSettings pageSettingsOf(const SettingsRecord& record);

// Page "Einstellungen": its controls are the settings themselves; everything that depends on
// a setting reads the control at the moment it needs it.
class TSettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit TSettingsPage(QWidget* parent = nullptr);

    // The page's state as it is this moment.
    PageSettings current() const;
    // Shows a stored record; a choice or position out of range takes the nearest one.
    void show(const SettingsRecord& record);
    using QWidget::show;
    // The page's part of the stored record: choices, slider, font name and size.
    SettingsRecord record() const;

    TRadioGroup* RadioGroup1; // "Abfragerichtung": Deutsch / Fremdsprache
    TRadioGroup* RadioGroup2; // "Groß- Kleinschreibung": beachten / nicht beachten
    TRadioGroup* RadioGroup4; // "Sound": ein / aus
    TRadioGroup* RadioGroup3; // "Statistik erstellen": ja / nein
    TRadioGroup* RadioGroup5; // "Druckfelder begrenzen": Ja / Nein
    TRadioGroup* RadioGroup6; // "Zusatzfelder anzeigen": Ja / Nein

    QSlider* TrackBar2; // "maximale Fächergröße", 10..50
    QLabel* Panel23;    // maximum of compartment 2
    QLabel* Panel24;    // maximum of compartment 3
    QLabel* Panel25;    // maximum of compartment 4
    QLabel* Panel26;    // maximum of compartment 5

    QListWidget* CheckListBox1; // installed font families, one check mark at most
    QComboBox* ComboBox1;       // "Schriftgröße:"
    QLabel* Panel27;            // preview: the chosen font's name in that font
};

} // namespace tafelix
