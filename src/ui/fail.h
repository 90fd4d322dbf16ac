#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace tafelix {

// The wrong-answer dialog "Fehler": shows the expected answer; "OK" confirms the answer as
// wrong, "Korrektur" counts it as right after all (known, but misspelled).
class TOKBottomDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlg(QWidget* parent = nullptr);

    // Prepares the dialog for one wrong answer: the expected text in the input font's name.
    void present(const QString& expected, const QString& fontName);

    QLabel* Label1;       // "Leider falsch, richtig wäre:"
    QLabel* Label2;       // the expected answer
    QPushButton* OKBtn;   // "OK": the answer was wrong
    QPushButton* Button1; // "Korrektur": count it as right

protected:
    void showEvent(QShowEvent* e) override;
};

} // namespace tafelix
