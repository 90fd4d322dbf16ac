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

} // namespace

std::string TForm1::settingsPath() const
{
    return folder_.sysDat() + "Init.dat";
}

void TForm1::wireSettings()
{
    // The page writes every change into the window's settings at once; nothing else reads
    // the page.
    connect(settings, &TSettingsPage::changed, this,
            [this] { settingsValue_ = settings->current(); });
    connect(settings->CheckListBox1, &QListWidget::itemClicked, this,
            [this] { ApplyInputFont(true); });
    // Without a mouse: the arrow keys move to a font, Enter takes it, as a click would. The
    // font under the cursor is taken even where no arrow key has selected it yet.
    connect(settings->CheckListBox1, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) {
                settings->CheckListBox1->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
                ApplyInputFont(true);
            });
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

PageSettings TForm1::currentSettings() const
{
    return settingsValue_;
}

void TForm1::settingsPageMade()
{
    // The settings are read as the window first appears, before any of its tabs can open,
    // so the page starts from what the file said and what was changed since.
    settings->show(settingsValue_);
    fillFontList();
    settings->markFont(false);
    wireSettings();
    keepToolTipsLonger(settings.get());
}

bool TForm1::LoadSettings()
{
    SettingsRecord rec;
    if (const IoResult r = loadSettingsFile(settingsPath(), rec); !r) {
        // They are read as the window is shown; an error box about them belongs over a window
        // that has already painted itself.
        pendingSettingsError_ = QString::fromStdString(r.message);
        afterFirstPaint_.push_back([this] { showError(std::exchange(pendingSettingsError_, {})); });
        return false;
    }
    // A file given on the command line stays the open file: the stored name only presets the
    // open dialog, or the drill would be logged under the previous run's file.
    if (!startedWithFile_)
        setCurrentFile(FileEvent::Chosen, fromCp1252(rec.lastFileName));
    if (!rec.lastFolder.empty())
        openDialogFolder = fromCp1252(rec.lastFolder);
    searchFieldName_ = fromCp1252(rec.searchField);
    settingsValue_ = pageSettingsOf(rec);
    setInputFontFromSettings();
    return true;
}

bool TForm1::SaveSettings()
{
    SettingsRecord rec = recordOf(settingsValue_);
    storeOpenFileName(rec, toCp1252(openFileName));
    rec.searchField = toCp1252(searchFieldName_);
    if (const IoResult r = saveSettingsFile(settingsPath(), rec); !r) {
        showError(QString::fromStdString(r.message));
        return false;
    }
    return true;
}

void TForm1::ApplyInputFont(bool fromList)
{
    settings->markFont(fromList);
    setInputFontFromSettings();
}

void TForm1::setInputFontFromSettings()
{
    const QString& sizeText = settingsValue_.fontSize;
    const std::optional<int> points = fontPointsOf(sizeText);
    if (!points) {
        showError(QStringLiteral("'%1' ist kein gültiger Integerwert").arg(sizeText));
        return;
    }
    if (!settingsValue_.fontName.isEmpty())
        inputFont.setFamily(settingsValue_.fontName);
    inputFont.setPointSize(*points);
    for (QWidget* w : std::initializer_list<QWidget*>{edit->Edit1, edit->Edit2, edit->Edit3,
                                                      edit->Edit4, learn->Edit7, learn->Edit8,
                                                      learn->Edit9, learn->Panel16, learn->Panel18})
        w->setFont(inputFont);
}

} // namespace tafelix
