#pragma once

#include "convert/Csv.h"
#include "convert/Kvtml.h"

#include <QDialog>

#include <array>
#include <string>
#include <string_view>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace tafelix {

// "Importieren": how a delimited text file is read and which of its columns feeds which
// field of a word, with the first rows of the file as they would be taken.
class TImportDialog : public QDialog {
    Q_OBJECT
public:
    explicit TImportDialog(QWidget* parent = nullptr);

    // Shows the file with the detected encoding and separator and the guessed columns.
    // False when the learner cancelled; otherwise `format` and `columns` hold the choice.
    bool choose(const QString& fileName, std::string_view bytes, convert::CsvFormat& format,
                convert::CsvColumns& columns);

    convert::CsvFormat format() const;
    convert::CsvColumns columns() const;

    // The fields in the order of a word: Deutsch, Fremdsprache, Andere Bedeutungen,
    // Bemerkung, Fach, Durchgänge.
    static constexpr int kFields = 6;

    QComboBox* ComboBox1;                         // "Zeichensatz": encoding of the file
    QComboBox* ComboBox2;                         // "Trennzeichen": separator of the columns
    QCheckBox* CheckBox1;                         // "erste Zeile ist Überschrift"
    std::array<QComboBox*, kFields> fieldBoxes{}; // the column of each field, or "(keine)"
    QTableWidget* StringGrid1; // the first rows, each column headed by the fields it feeds
    QLabel* Label1;            // why "OK" is unavailable, when it is
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void readHead();       // encoding or separator changed: the rows are split anew
    void fillFieldBoxes(); // column names come from the header row or the first row
    void showPreview();

    std::string head_; // the start of the file, all the preview ever needs
    std::vector<QStringList> rows_;
    int width_ = 0; // columns in the widest previewed row
};

// Which of a KVTML file's languages is German and which the foreign one, when the file does
// not say.
class TLanguageDialog : public QDialog {
    Q_OBJECT
public:
    TLanguageDialog(const std::vector<convert::KvtmlLanguage>& languages, const QString& question,
                    QWidget* parent = nullptr);

    convert::KvtmlChoice choice() const;

    QComboBox* ComboBox1; // "Deutsch"
    QComboBox* ComboBox2; // "Fremdsprache"
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void check();
};

} // namespace tafelix
