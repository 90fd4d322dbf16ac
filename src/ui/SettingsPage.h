#pragma once

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

// Page "Einstellungen": its controls are the settings themselves; everything that depends on
// a setting reads the control at the moment it needs it.
class TSettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit TSettingsPage(QWidget* parent = nullptr);

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
