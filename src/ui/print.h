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

signals:
    // "Einstellungen": the main window opens the printer set-up.
    void setupRequested();
};

} // namespace tafelix
