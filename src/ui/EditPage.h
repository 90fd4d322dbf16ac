#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QToolButton;

namespace tafelix {

// Page "Vokabeln bearbeiten": layout only; the main window wires it.
class TEditPage : public QWidget {
    Q_OBJECT
public:
    explicit TEditPage(QWidget* parent = nullptr);

    QGroupBox* GroupDatei;     // "Vokabeldatei"
    QToolButton* ToolButton7;  // "Neu": new vocabulary file
    QToolButton* ToolButton8;  // "Öffnen"
    QToolButton* ToolButton9;  // "Speichern"
    QToolButton* ToolButton11; // "Sp. unter"
    QToolButton* ToolButton28; // "Backup"
    QToolButton* ToolButton10; // "Reset"
    QToolButton* ToolButton25; // "Mischen"
    QToolButton* ToolButton27; // "Sortieren"

    QGroupBox* GroupBox1;      // "Eingabe"
    QLineEdit* Edit1;          // German text
    QLineEdit* Edit2;          // foreign text
    QLineEdit* Edit3;          // further meanings
    QLineEdit* Edit4;          // remark
    QLineEdit* Edit5;          // "Fach Nr" of the current word
    QLabel* Panel1;            // "Wort Nr"
    QLabel* Panel3;            // "Durchgänge"
    QLineEdit* Edit6;          // hidden focus target after the remark field
    QPushButton* SpeedButton1; // "Sonderz."

    QGroupBox* GroupBox2;      // "Vokabeln"
    QToolButton* ToolButton5;  // "Neu": new word
    QToolButton* ToolButton6;  // "Löschen"
    QToolButton* ToolButton1;  // "Anfang"
    QToolButton* ToolButton2;  // "Zurück"
    QToolButton* ToolButton3;  // "Vor"
    QToolButton* ToolButton4;  // "Ende"
    QToolButton* ToolButton17; // "Suchen"
    QToolButton* ToolButton22; // "Drucken"
    QScrollBar* ScrollBar1;    // position = current word
    QLabel* Panel2;            // "Anzahl"
};

} // namespace tafelix
