#pragma once

#include <QPushButton>
#include <QString>
#include <QWidget>

#include <optional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace tafelix {

// The drill's counts. They have no home but the panels that show them; this is what the
// panels say when asked.
struct DrillCounters {
    int answered = 0; // "bearbeitet"
    int wrong = 0;    // "falsch"
    int right = 0;    // "richtig", corrections included
};

// A share of right answers as the learner reads it: two decimals, the locale's separator.
QString percentText(double percent);

// Page "Vokabeln lernen": layout only; the main window wires it.
class TLearnPage : public QWidget {
    Q_OBJECT
public:
    explicit TLearnPage(QWidget* parent = nullptr);

    // The panels' texts are the one store of the counts: read back, and shown with the
    // percentage that follows from them.
    DrillCounters counters() const;
    void showCounters(const DrillCounters& counters);
    // "Prozent" as shown; nothing when the text is no number.
    std::optional<double> shownPercent() const;
    // Every display back to its reset text: counts, percentage, grade, time, compartments.
    void resetDisplays();
    // Whether Tab can reach the drill's word and answer fields: only while no cover hides
    // them. Focus still in them goes to "Start".
    void setDrillFieldsReachable(bool reachable);

    QToolButton* ToolButton12; // "Öffnen"
    QToolButton* ToolButton13; // "Schließen"
    QToolButton* ToolButton14; // "Hilfe"
    QToolButton* ToolButton15; // "info"
    QToolButton* ToolButton16; // "Beenden"

    QGroupBox* GroupAuswertung;
    QLabel* Panel10; // "bearbeitet": answers evaluated
    QLabel* Panel11; // "falsch": answers counted wrong
    QLabel* Panel12; // "richtig": answers counted right, corrections included
    QLabel* Panel13; // "Prozent": share of right answers, two decimals
    QLabel* Panel14; // "Note": grade 1..6, 0 = none yet
    QLabel* Panel15; // "Zeit": time since "Start"

    QGroupBox* GroupWoerter;
    QLabel* Panel4;  // "Fach1" count
    QLabel* Panel5;  // "Fach2"
    QLabel* Panel6;  // "Fach3"
    QLabel* Panel7;  // "Fach4"
    QLabel* Panel8;  // "Fach5"
    QLabel* Panel9;  // "Archiv"
    QLabel* Panel21; // "gesamt": words in the file

    QGroupBox* GroupLernen;
    QLabel* Label11;           // "Andere, weitere Bedeutungen"
    QLabel* Panel18;           // synonym of the asked word
    QLabel* Label12;           // "Bemerkung"
    QLabel* Panel16;           // remark of the asked word
    QLabel* Label8;            // above the presented word
    QLineEdit* Edit7;          // German word (read-only)
    QLineEdit* Edit8;          // foreign word (read-only)
    QLabel* Label3;            // above the answer field
    QLineEdit* Edit9;          // the learner's answer
    QLabel* Panel19;           // "Fach Nr." of the asked word
    QLabel* Panel17;           // "Durchg." of the asked word
    QPushButton* BitBtn1;      // "Start" / "Stop"
    QPushButton* SpeedButton2; // "Sonderz."
    QLabel* Panel20;           // cover over the drill fields while no run is in progress
};

} // namespace tafelix
