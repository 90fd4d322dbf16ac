#pragma once

#include <QDialog>

namespace tafelix {

class TRadioGroup;

// The sort dialog "Sortieren": by the German or the foreign field.
class TOKBottomDlg3 : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlg3(QWidget* parent = nullptr);
    TRadioGroup* RadioGroup1; // "Sortieren in"
};

} // namespace tafelix
