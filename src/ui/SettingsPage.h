#pragma once

#include "core/SettingsRecord.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <optional>

class QComboBox;
class QLabel;
class QListWidget;
class QSlider;

namespace tafelix {

class TRadioGroup;

// The font families in the order the font list shows them.
QStringList sortedFontFamilies(QStringList families);

// The settings the settings page shows, by name instead of by radio index. The main window
// holds the one copy: read from the settings file, changed by the page, read by the rest.
struct PageSettings {
    enum class Direction { German, Foreign }; // which word a drill shows
    Direction direction = Direction::German;  // "Abfragerichtung"
    bool caseSensitive = false;               // "Groß- Kleinschreibung": "beachten"
    bool sound = true;                        // "Sound": "ein"
    bool statistics = true;                   // "Statistik erstellen": "ja"
    bool limitPrintFields = true;             // "Druckfelder begrenzen": "Ja"
    bool extraFields = true;                  // "Zusatzfelder anzeigen": "Ja"
    int capacity = 20;                        // "maximale Fächergröße": the slider's position
    QString fontName;                         // the chosen font, empty until one is chosen
    QString fontSize = QStringLiteral("10");  // the size box's text, as typed

    friend bool operator==(const PageSettings&, const PageSettings&) = default;
};

// The settings a stored record holds; a choice or position out of range takes the nearest one.
PageSettings pageSettingsOf(const SettingsRecord& record);
// The settings page's part of a record holding `settings`; the other parts empty.
SettingsRecord recordOf(const PageSettings& settings);

// The points a font size text asks for; none when it is no plain number.
std::optional<int> fontPointsOf(const QString& sizeText);

// Page "Einstellungen": shows the settings it is given and reports every change, however it
// came about, so that its owner can keep its copy the same as the page.
class TSettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit TSettingsPage(QWidget* parent = nullptr);

    // The page's state as it is this moment.
    PageSettings current() const;
    // Sets every control to `settings`.
    void show(const PageSettings& settings);
    using QWidget::show;
    // The font choice: with `fromList`, the selected entry of the list (or "Arial" without
    // one) becomes the chosen font; otherwise the chosen font's entry is checked. Either way
    // the preview shows the chosen font's name in that font at the size box's size.
    void markFont(bool fromList);

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

signals:
    // Something current() says has changed.
    void changed();

private:
    // Shows the compartment sizes the slider's position allows.
    void TrackBar2Change();

    QString fontName_; // the chosen font; the preview only shows it
};

} // namespace tafelix
