// The settings page and "Init.dat".
#include "main.h"

#include "find.h"

#include "core/SettingsRecord.h"
#include "platform/Cp1252Text.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpressionValidator>
#include <QSlider>

#include <optional>

namespace tafelix {

namespace {

// ComboBox1KeyPress and ComboBox1KeyUp: the size box takes digits and Backspace only, and
// never more than 14 points. The filter sits on the combo box itself: that is where the
// keyboard's keys arrive (its line edit only ever gets them handed on, past any filter).
class SizeBoxFilter : public QObject {
public:
    explicit SizeBoxFilter(QComboBox* box) : QObject(box), box_(box) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const QString text = key->text();
            // Ctrl+A, Ctrl+V and the like are commands, not typed characters.
            const bool command =
                key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
            const bool typed = !text.isEmpty() && text.at(0).isPrint() && !command;
            if (typed && !(text.size() == 1 && text.at(0) >= QLatin1Char('0') &&
                           text.at(0) <= QLatin1Char('9')))
                return true;
        } else if (event->type() == QEvent::KeyRelease) {
            bool ok = false;
            const int size = box_->currentText().toInt(&ok);
            if (ok && size > 14)
                box_->setEditText(QStringLiteral("14"));
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QComboBox* box_;
};

// The points a size text asks for; none when it is no plain number. A size of 0 would be no
// font at all; the smallest is one point.
std::optional<int> pointsOf(const QString& sizeText)
{
    bool ok = false;
    const int size = sizeText.toInt(&ok);
    if (!ok || sizeText.trimmed() != sizeText)
        return std::nullopt;
    return std::max(1, size);
}

} // namespace

std::string TForm1::settingsPath() const
{
    return folder_.sysDat() + "Init.dat";
}

void TForm1::wireSettings()
{
    connect(settings->TrackBar2, &QSlider::valueChanged, this, &TForm1::TrackBar2Change);
    connect(settings->CheckListBox1, &QListWidget::itemClicked, this,
            [this] { ApplyInputFont(true); });
    connect(settings->ComboBox1, &QComboBox::activated, this, [this] { ApplyInputFont(false); });
    QComboBox* size = settings->ComboBox1;
    size->installEventFilter(new SizeBoxFilter(size));
    // Pasted text passes no key filter; letters must not get in that way either (a stored
    // "ab" would fail at every start). A stored text is still shown as it is.
    size->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), size));
}

QStringList sortedFontFamilies(QStringList families)
{
    // Lower-case family names belong among the others, not after "Z".
    families.sort(Qt::CaseInsensitive);
    return families;
}

void TForm1::fillFontList()
{
    const QStringList families = sortedFontFamilies(QFontDatabase::families());
    QListWidget* list = settings->CheckListBox1;
    list->clear();
    for (const QString& family : std::as_const(families)) {
        auto* item = new QListWidgetItem(family, list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

void TForm1::TrackBar2Change()
{
    const CompartmentMaxima m = maximaForSlider(settings->TrackBar2->value());
    settings->Panel23->setText(QString::number(m.max2));
    settings->Panel24->setText(QString::number(m.max3));
    settings->Panel25->setText(QString::number(m.max4));
    settings->Panel26->setText(QString::number(m.max5));
}

PageSettings TForm1::currentSettings() const
{
    return settings.made() ? settings->current() : pageSettingsOf(pageSettings_);
}

void TForm1::settingsPageMade()
{
    wireSettings();
    settings->show(pageSettings_);
    fillFontList();
    markInputFontOnPage(false);
    keepToolTipsLonger(settings.get());
}

bool TForm1::LoadSettings()
{
    SettingsRecord rec;
    if (const IoResult r = loadSettingsFile(settingsPath(), rec); !r) {
        pendingSettingsError_ = QString::fromStdString(r.message);
        showSettingsErrorWhenExposed();
        return false;
    }
    // A file given on the command line stays the open file: the stored name only presets the
    // open dialog, or the drill would be logged under the previous run's file.
    if (!startedWithFile_)
        setCurrentFile(FileEvent::Chosen, fromCp1252(rec.lastFileName));
    if (!rec.lastFolder.empty())
        openDialogFolder = fromCp1252(rec.lastFolder);
    searchFieldName_ = fromCp1252(rec.searchField);
    if (OKBottomDlg1.made())
        OKBottomDlg1->ComboBox1->setCurrentText(searchFieldName_);
    pageSettings_ = pagePartOf(rec);
    if (settings.made())
        settings->show(rec);
    ApplyInputFont(false);
    return true;
}

bool TForm1::SaveSettings()
{
    SettingsRecord rec = settings.made() ? settings->record() : pageSettings_;
    storeOpenFileName(rec, toCp1252(openFileName));
    rec.searchField =
        toCp1252(OKBottomDlg1.made() ? OKBottomDlg1->ComboBox1->currentText() : searchFieldName_);
    if (const IoResult r = saveSettingsFile(settingsPath(), rec); !r) {
        showError(QString::fromStdString(r.message));
        return false;
    }
    return true;
}

QString TForm1::markInputFontOnPage(bool fromList)
{
    QListWidget* list = settings->CheckListBox1;
    QLabel* preview = settings->Panel27;
    if (fromList) {
        int k = -1;
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->isSelected())
                k = i;
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setCheckState(Qt::Unchecked);
        if (k == -1) {
            preview->setText(QStringLiteral("Arial"));
        } else {
            list->item(k)->setCheckState(Qt::Checked);
            list->scrollToItem(list->item(k), QAbstractItemView::PositionAtTop);
            preview->setText(list->item(k)->text());
        }
    } else {
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->text() == preview->text()) {
                list->item(i)->setCheckState(Qt::Checked);
                list->scrollToItem(list->item(i), QAbstractItemView::PositionAtTop);
            }
        }
    }
    const QString name = preview->text();
    QFont previewFont = preview->font();
    if (!name.isEmpty())
        previewFont.setFamily(name);
    if (const std::optional<int> points = pointsOf(settings->ComboBox1->currentText()))
        previewFont.setPointSize(*points);
    preview->setFont(previewFont);
    return name;
}

void TForm1::ApplyInputFont(bool fromList)
{
    const bool onPage = settings.made();
    const QString name =
        onPage ? markInputFontOnPage(fromList) : fromCp1252(pageSettings_.fontName);
    const QString sizeText =
        onPage ? settings->ComboBox1->currentText() : fromCp1252(pageSettings_.fontSize);
    const std::optional<int> points = pointsOf(sizeText);
    if (!points) {
        showError(QStringLiteral("'%1' ist kein gültiger Integerwert").arg(sizeText));
        return;
    }
    if (!name.isEmpty())
        inputFont.setFamily(name);
    inputFont.setPointSize(*points);
    for (QWidget* w : std::initializer_list<QWidget*>{edit->Edit1, edit->Edit2, edit->Edit3,
                                                      edit->Edit4, learn->Edit7, learn->Edit8,
                                                      learn->Edit9, learn->Panel16, learn->Panel18})
        w->setFont(inputFont);
}

} // namespace tafelix
