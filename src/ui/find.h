#pragma once

#include <QDialog>

class QComboBox;

namespace tafelix {

// The search-field dialog "Suchen": which field a search looks in.
class TOKBottomDlg1 : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlg1(QWidget* parent = nullptr);
    QComboBox* ComboBox1; // "Text suchen in"
};

} // namespace tafelix
