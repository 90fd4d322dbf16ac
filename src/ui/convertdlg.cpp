#include "convertdlg.h"

#include "Widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tafelix {

using convert::CsvColumns;
using convert::CsvFormat;
using convert::TextEncoding;

namespace {

constexpr int kNone = -1;
// One more than the rows shown, for the header row.
constexpr int kPreviewRecords = 11;

// A word field's caption, with its mnemonic for a label or without it for a heading.
QString fieldCaption(int field, bool mnemonic)
{
    const QString caption =
        QString::fromUtf16(convert::kWordFields[static_cast<std::size_t>(field)].caption);
    return mnemonic ? caption + QLatin1Char(':') : QString(caption).remove(QLatin1Char('&'));
}

// A cell as a short one-line label.
QString shortLabel(const QString& cell)
{
    QString s = cell.simplified();
    if (s.size() > 24)
        s = s.left(23) + QChar(u'…');
    return s;
}

QPushButton* addButton(QDialogButtonBox* box, const char* caption,
                       QDialogButtonBox::ButtonRole role)
{
    return box->addButton(QString::fromUtf8(caption), role);
}

} // namespace

TImportDialog::TImportDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ImportDialog1"));
    useDesignedFont(this);
    setModal(true);

    ComboBox1 = new QComboBox;
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItem(QStringLiteral("UTF-8"), int(TextEncoding::Utf8));
    ComboBox1->addItem(QStringLiteral("UTF-16 LE"), int(TextEncoding::Utf16Le));
    ComboBox1->addItem(QStringLiteral("UTF-16 BE"), int(TextEncoding::Utf16Be));
    ComboBox1->addItem(QStringLiteral("Windows-1252 (ANSI)"), int(TextEncoding::Windows1252));
    ComboBox2 = new QComboBox;
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->addItem(QStringLiteral("Komma ,"), int(u','));
    ComboBox2->addItem(QStringLiteral("Semikolon ;"), int(u';'));
    ComboBox2->addItem(QStringLiteral("Tabulator"), int(u'\t'));
    CheckBox1 = new QCheckBox(QStringLiteral("erste Zeile ist Ü&berschrift"));
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));

    auto* format = new QFormLayout;
    auto* encodingLabel = new QLabel(QStringLiteral("&Zeichensatz:"));
    encodingLabel->setBuddy(ComboBox1);
    auto* separatorLabel = new QLabel(QStringLiteral("&Trennzeichen:"));
    separatorLabel->setBuddy(ComboBox2);
    format->addRow(encodingLabel, ComboBox1);
    format->addRow(separatorLabel, ComboBox2);
    format->addRow(QString(), CheckBox1);

    // Two columns of three fields; the mnemonics let the keyboard reach each one.
    auto* fields = new QGridLayout;
    for (int i = 0; i < kFields; ++i) {
        auto* box = new QComboBox;
        box->setObjectName(QStringLiteral("FieldBox%1").arg(i + 1));
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        auto* label = new QLabel(fieldCaption(i, true));
        label->setBuddy(box);
        fields->addWidget(label, i % 3, (i / 3) * 2);
        fields->addWidget(box, i % 3, (i / 3) * 2 + 1);
        fieldBoxes[static_cast<std::size_t>(i)] = box;
        connect(box, &QComboBox::currentIndexChanged, this, &TImportDialog::showPreview);
    }

    StringGrid1 = new QTableWidget;
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::NoSelection);
    StringGrid1->setFocusPolicy(Qt::NoFocus);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->setMinimumHeight(180);

    Label1 = new QLabel;
    Label1->setObjectName(QStringLiteral("Label1"));
    auto* buttons = new QDialogButtonBox;
    OKBtn = addButton(buttons, "OK", QDialogButtonBox::AcceptRole);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = addButton(buttons, "Abbrechen", QDialogButtonBox::RejectRole);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(format);
    layout->addLayout(fields);
    layout->addWidget(StringGrid1, 1);
    layout->addWidget(Label1);
    layout->addWidget(buttons);
    resize(620, 440);

    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TImportDialog::readHead);
    connect(ComboBox2, &QComboBox::currentIndexChanged, this, &TImportDialog::readHead);
    connect(CheckBox1, &QCheckBox::toggled, this, [this] {
        fillFieldBoxes();
        showPreview();
    });
}

bool TImportDialog::choose(const QString& fileName, std::string_view bytes, CsvFormat& format,
                           CsvColumns& columns)
{
    setWindowTitle(QStringLiteral("Importieren: %1").arg(fileName));
    head_.assign(bytes.substr(0, convert::kCsvHeadBytes));
    const CsvFormat detected = convert::detectCsvFormat(bytes);
    const CsvColumns guess = convert::guessCsvColumns(head_, detected, kPreviewRecords);
    {
        const QSignalBlocker b1(ComboBox1), b2(ComboBox2), b3(CheckBox1);
        ComboBox1->setCurrentIndex(std::max(0, ComboBox1->findData(int(detected.encoding))));
        ComboBox2->setCurrentIndex(
            std::max(0, ComboBox2->findData(int(detected.separator.unicode()))));
        CheckBox1->setChecked(guess.headerRow);
    }
    readHead();
    for (std::size_t i = 0; i < fieldBoxes.size(); ++i) {
        const QSignalBlocker block(fieldBoxes[i]);
        fieldBoxes[i]->setCurrentIndex(std::max(0, fieldBoxes[i]->findData(guess.fields()[i])));
    }
    showPreview();
    ComboBox1->setFocus();
    if (exec() != QDialog::Accepted)
        return false;
    format = this->format();
    columns = this->columns();
    return true;
}

CsvFormat TImportDialog::format() const
{
    CsvFormat f;
    f.encoding = static_cast<TextEncoding>(ComboBox1->currentData().toInt());
    f.separator = QChar(static_cast<char16_t>(ComboBox2->currentData().toInt()));
    return f;
}

CsvColumns TImportDialog::columns() const
{
    std::array<int, kFields> fields{};
    for (std::size_t i = 0; i < fieldBoxes.size(); ++i)
        fields[i] = fieldBoxes[i]->currentData().toInt();
    CsvColumns c;
    c.setFields(fields);
    c.headerRow = CheckBox1->isChecked();
    return c;
}

void TImportDialog::readHead()
{
    rows_ = convert::previewCsv(head_, format(), kPreviewRecords);
    width_ = 0;
    for (const QStringList& row : rows_)
        width_ = std::max(width_, static_cast<int>(row.size()));
    fillFieldBoxes();
    showPreview();
}

void TImportDialog::fillFieldBoxes()
{
    const bool header = CheckBox1->isChecked();
    for (QComboBox* box : fieldBoxes) {
        // A column the file still has keeps its field when the file is split anew.
        const int kept = box->currentData().isValid() ? box->currentData().toInt() : kNone;
        const QSignalBlocker block(box);
        box->clear();
        box->addItem(QStringLiteral("(keine)"), kNone);
        for (int c = 0; c < width_; ++c) {
            QString text = QStringLiteral("Spalte %1").arg(c + 1);
            // Named by the header, or else shown by its first value.
            if (!rows_.empty() && c < rows_.front().size()) {
                const QString sample = shortLabel(rows_.front().at(c));
                if (!sample.isEmpty())
                    text += header ? QStringLiteral(": %1").arg(sample)
                                   : QStringLiteral(": „%1“").arg(sample);
            }
            box->addItem(text, c);
        }
        box->setCurrentIndex(std::max(0, box->findData(kept)));
    }
}

void TImportDialog::showPreview()
{
    const CsvColumns c = columns();
    const std::array<int, kFields> fed = c.fields();
    const bool header = c.headerRow && !rows_.empty();
    StringGrid1->clear();
    StringGrid1->setColumnCount(width_);
    QStringList titles;
    for (int col = 0; col < width_; ++col) {
        QString title =
            header && col < rows_.front().size() ? shortLabel(rows_.front().at(col)) : QString();
        if (title.isEmpty())
            title = QStringLiteral("Spalte %1").arg(col + 1);
        QStringList targets;
        for (int f = 0; f < kFields; ++f)
            if (fed[static_cast<std::size_t>(f)] == col)
                targets << fieldCaption(f, false);
        title += QLatin1Char('\n') +
                 (targets.isEmpty() ? QStringLiteral("(nicht übernommen)")
                                    : QStringLiteral("→ ") + targets.join(QStringLiteral(", ")));
        titles << title;
    }
    StringGrid1->setHorizontalHeaderLabels(titles);
    const int first = header ? 1 : 0;
    const int shown =
        std::max(0, std::min<int>(static_cast<int>(rows_.size()) - first, kPreviewRecords - 1));
    StringGrid1->setRowCount(shown);
    for (int r = 0; r < shown; ++r) {
        const QStringList& row = rows_[static_cast<std::size_t>(r + first)];
        for (int col = 0; col < row.size() && col < width_; ++col)
            StringGrid1->setItem(r, col, new QTableWidgetItem(row.at(col).simplified()));
    }
    // Wide enough for the headings, but one long text must not push the others out of view.
    StringGrid1->resizeColumnsToContents();
    for (int col = 0; col < width_; ++col)
        StringGrid1->setColumnWidth(col, std::min(StringGrid1->columnWidth(col), 220));
    // A word needs its German or its foreign side; without either column every row would be
    // skipped.
    const bool usable = c.german != kNone || c.foreign != kNone;
    OKBtn->setEnabled(usable);
    Label1->setText(usable
                        ? QString()
                        : QStringLiteral("Wählen Sie eine Spalte für Deutsch oder Fremdsprache."));
}

// ---------------------------------------------------------------- KVTML languages

TLanguageDialog::TLanguageDialog(const std::vector<convert::KvtmlLanguage>& languages,
                                 const QString& question, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("LanguageDialog1"));
    useDesignedFont(this);
    setWindowTitle(QStringLiteral("Sprachen wählen"));
    setModal(true);
    ComboBox1 = new QComboBox;
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox2 = new QComboBox;
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    for (QComboBox* box : {ComboBox1, ComboBox2}) {
        for (const convert::KvtmlLanguage& l : languages) {
            QString text = l.name.isEmpty() ? QStringLiteral("Sprache %1").arg(l.id) : l.name;
            if (!l.locale.isEmpty() && l.locale != l.name)
                text += QStringLiteral(" (%1)").arg(l.locale);
            box->addItem(text, l.id);
        }
        box->addItem(QStringLiteral("(keine)"), convert::KvtmlChoice::kNone);
        connect(box, &QComboBox::currentIndexChanged, this, &TLanguageDialog::check);
    }

    auto* form = new QFormLayout;
    auto* german = new QLabel(QStringLiteral("&Deutsch:"));
    german->setBuddy(ComboBox1);
    auto* foreign = new QLabel(QStringLiteral("&Fremdsprache:"));
    foreign->setBuddy(ComboBox2);
    form->addRow(german, ComboBox1);
    form->addRow(foreign, ComboBox2);
    auto* buttons = new QDialogButtonBox;
    OKBtn = addButton(buttons, "OK", QDialogButtonBox::AcceptRole);
    OKBtn->setDefault(true);
    CancelBtn = addButton(buttons, "Abbrechen", QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(question));
    layout->addLayout(form);
    layout->addWidget(buttons);
    // The usual order of a list: the first language is the one asked, the second the answer.
    ComboBox2->setCurrentIndex(languages.size() > 1 ? 1 : ComboBox2->count() - 1);
    check();
}

convert::KvtmlChoice TLanguageDialog::choice() const
{
    return {ComboBox1->currentData().toInt(), ComboBox2->currentData().toInt()};
}

void TLanguageDialog::check()
{
    const convert::KvtmlChoice c = choice();
    OKBtn->setEnabled(c.german != c.foreign);
}

} // namespace tafelix
