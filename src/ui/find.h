#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tafelix {

// The search-field dialog "Suchen": which field a search looks in.
class TOKBottomDlg1 : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlg1(QWidget* parent = nullptr);
    QComboBox* ComboBox1; // "Text suchen in"
};

// The find window: not modal, keeps its text, searches downwards from the word after the
// current one on every "Weitersuchen".
class TFindWindow : public QDialog {
    Q_OBJECT
public:
    explicit TFindWindow(QWidget* parent = nullptr);
    QLineEdit* FindText;
    QPushButton* FindNext; // "Weitersuchen"

signals:
    void find();
};

} // namespace tafelix
