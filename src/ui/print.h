#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace tafelix {

// The print options dialog "Druckoptionen", shared by both printouts; its choices last for
// the run.
class TOKBottomDlg2 : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlg2(QWidget* parent = nullptr);

    QCheckBox* CheckBox1;   // "Drucken in Datei (rtf)": ticked = RTF file, else the printer
    QCheckBox* CheckBox2;   // "Eingestellte Schrifart verwenden": else "Courier New"
    QPushButton* Button1;   // "Einstellungen": the printer set-up
    QPushButton* OKBtn;     // "OK": go on with the printout
    QPushButton* CancelBtn; // "Abbrechen": no output at all

signals:
    // "Einstellungen": the main window opens the printer set-up.
    void setupRequested();

protected:
    void showEvent(QShowEvent* e) override;
};

} // namespace tafelix
