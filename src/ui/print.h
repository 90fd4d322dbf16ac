#pragma once

#include <QDialog>

namespace tafelix {

// The print options dialog "Druckoptionen", shared by both printouts.
class TOKBottomDlg2 : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlg2(QWidget* parent = nullptr);
};

} // namespace tafelix
