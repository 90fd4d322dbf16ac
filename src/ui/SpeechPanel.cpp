#include "SpeechPanel.h"

#include "platform/Cp1252Text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QWindow>

namespace tafelix {

namespace {

const QString kNoLanguage = QStringLiteral("(keine)");

QString primaryTag(const QString& code)
{
    return code.section(QLatin1Char('-'), 0, 0).toLower();
}

// A voice for the same language from another region still speaks the words.
bool hasVoice(const QStringList& voices, const QString& code)
{
    for (const QString& v : voices)
        if (v.compare(code, Qt::CaseInsensitive) == 0 || primaryTag(v) == primaryTag(code))
            return true;
    return false;
}

QString languageLabel(const QString& code)
{
    const QString name = QLocale(code).nativeLanguageName();
    return QLocale(code).language() == QLocale::C || name.isEmpty()
               ? code
               : QStringLiteral("%1 (%2)").arg(name, code);
}

} // namespace

TSpeechPanel::TSpeechPanel(ISpeech& speech, std::string choicesPath, std::string programFolder,
                           std::function<QString()> foreignText,
                           std::function<void(const QString&)> showError, QWidget* parent)
    : QWidget(parent), speech_(speech), choicesPath_(std::move(choicesPath)),
      foreignText_(std::move(foreignText)), showError_(std::move(showError))
{
    setObjectName(QStringLiteral("SpeechPanel"));
    const QFileInfo folder(fromLocalPath(programFolder));
    programFolder_ = folder.canonicalFilePath().isEmpty() ? folder.absoluteFilePath()
                                                          : folder.canonicalFilePath();
}

SpeechChoices::ListKey TSpeechPanel::keyOf(const QString& path) const
{
    if (path.isEmpty())
        return {};
    const QFileInfo list(path);
    // Earlier versions kept every list by its absolute path as given.
    const std::string absolute = toLocalPath(list.absoluteFilePath());
    const QString real = list.canonicalFilePath();
    const std::string key = SpeechChoices::keyOf(toLocalPath(programFolder_),
                                                 real.isEmpty() ? absolute : toLocalPath(real));
    return {key, key == absolute ? std::string() : absolute};
}

void TSpeechPanel::build()
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 0, 6, 0);
    auto* caption = new QLabel(QStringLiteral("Sprache der Fremdsprache"), this);
    ComboSprache = new QComboBox(this);
    ComboSprache->setObjectName(QStringLiteral("ComboSprache"));
    ComboSprache->setAccessibleName(caption->text());
    ComboSprache->setMinimumWidth(150);
    caption->setBuddy(ComboSprache);
    CheckAussprache = new QCheckBox(QStringLiteral("Aussprache"), this);
    CheckAussprache->setObjectName(QStringLiteral("CheckAussprache"));
    CheckAussprache->setAccessibleName(CheckAussprache->text());
    ButtonVorlesen = new QPushButton(QStringLiteral("Vorlesen"), this);
    ButtonVorlesen->setObjectName(QStringLiteral("ButtonVorlesen"));
    ButtonVorlesen->setAccessibleName(ButtonVorlesen->text());
    // Anywhere on the editor page, the foreign field included, where the learner types.
    auto* ctrlL = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), parentWidget(), this,
                                &TSpeechPanel::readAloud, Qt::WidgetWithChildrenShortcut);
    ctrlL->setObjectName(QStringLiteral("ShortcutVorlesen"));
    row->addWidget(caption);
    row->addWidget(ComboSprache);
    row->addWidget(CheckAussprache);
    row->addWidget(ButtonVorlesen);
    row->addStretch();

    connect(ComboSprache, &QComboBox::activated, this, &TSpeechPanel::languagePicked);
    // The languages to pick from are the engine's: going to pick one starts it.
    ComboSprache->installEventFilter(this);
    connect(CheckAussprache, &QCheckBox::toggled, this, [this](bool on) {
        if (filling_)
            return;
        if (on)
            startEngine();
        if (choices().speakInDrill() == on)
            return;
        changeChoices([on](SpeechChoices& c) { c.setSpeakInDrill(on); });
    });
    connect(ButtonVorlesen, &QPushButton::clicked, this, &TSpeechPanel::readAloud);
    // Made while this row is being shown, so they are shown by hand.
    for (QWidget* w :
         std::initializer_list<QWidget*>{caption, ComboSprache, CheckAussprache, ButtonVorlesen})
        w->show();
}

SpeechChoices& TSpeechPanel::choices()
{
    if (!choices_)
        choices_ = SpeechChoices::load(choicesPath_);
    return *choices_;
}

void TSpeechPanel::changeChoices(const std::function<void(SpeechChoices&)>& edit)
{
    SpeechChoices now;
    const IoResult r = SpeechChoices::change(choicesPath_, edit, &now);
    if (r) {
        choices_ = std::move(now);
        return;
    }
    // The choice still holds in this window, for this run.
    edit(choices());
    if (showError_)
        showError_(QString::fromStdString(r.message));
}

void TSpeechPanel::listChanged(const QString& path, bool saved)
{
    if (saved && !path.isEmpty() && path != listName_) {
        const SpeechChoices::ListKey key = keyOf(path);
        if (choices().language(key) != language()) {
            const std::string code = language();
            changeChoices([&](SpeechChoices& c) { c.setLanguage(key, code); });
        }
    } else if (!saved) {
        language_.reset(); // looked up when first needed, not while the program starts
    }
    listName_ = path;
    if (!path.isEmpty())
        startEngineForList();
    if (isVisible())
        refresh();
}

void TSpeechPanel::choicesChanged()
{
    choices_.reset();
    language_.reset();
    if (!listName_.isEmpty())
        startEngineForList();
    if (isVisible())
        refresh();
}

void TSpeechPanel::startEngineForList()
{
    QWindow* shown = window()->windowHandle();
    if (!shown || !shown->isExposed()) {
        // Opened while the program starts: the window comes first.
        if (!std::exchange(startWhenExposed_, true)) {
            if (shown)
                shown->installEventFilter(this);
            else
                window()->installEventFilter(this);
        }
        return;
    }
    // After the handler that opened the list, which may still change its name.
    QTimer::singleShot(0, this, [this] {
        if (!listName_.isEmpty() && !language().empty())
            startEngine();
    });
}

bool TSpeechPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ComboSprache && event->type() == QEvent::FocusIn && listOpen_)
        startEngine();
    if (startWhenExposed_ && watched == window() && event->type() == QEvent::Show &&
        window()->windowHandle()) {
        window()->removeEventFilter(this);
        window()->windowHandle()->installEventFilter(this);
    }
    if (startWhenExposed_ && watched == window()->windowHandle() &&
        event->type() == QEvent::Expose && window()->windowHandle()->isExposed()) {
        window()->windowHandle()->removeEventFilter(this);
        startWhenExposed_ = false;
        startEngineForList();
    }
    return QWidget::eventFilter(watched, event);
}

void TSpeechPanel::startEngine()
{
    if (!askForEngine())
        return;
    if (isVisible()) // shown means built
        refresh();
}

bool TSpeechPanel::askForEngine()
{
    if (waitingForEngine_ || speech_.isReady())
        return false;
    waitingForEngine_ = true;
    QPointer<TSpeechPanel> self(this);
    speech_.whenReady([self] {
        if (!self)
            return;
        self->waitingForEngine_ = false;
        if (self->isVisible())
            self->refresh();
    });
    return true;
}

const std::string& TSpeechPanel::language()
{
    if (!language_)
        language_ = listName_.isEmpty() ? std::string() : choices().language(keyOf(listName_));
    return *language_;
}

void TSpeechPanel::setLanguage(std::string code)
{
    language_ = std::move(code);
    if (!listName_.isEmpty()) {
        const SpeechChoices::ListKey key = keyOf(listName_);
        changeChoices([&](SpeechChoices& c) { c.setLanguage(key, *language_); });
    }
}

void TSpeechPanel::setListOpen(bool open)
{
    listOpen_ = open;
    if (isVisible())
        refresh();
}

void TSpeechPanel::takeLanguage(const QString& code)
{
    const std::string c = toCp1252(QString(code).replace(QLatin1Char('_'), QLatin1Char('-')));
    if (!SpeechChoices::isLanguageCode(c))
        return;
    setLanguage(c);
    startEngine();
    if (isVisible())
        refresh();
}

void TSpeechPanel::drillWord(const QString& foreign)
{
    if (foreign.trimmed().isEmpty() || language().empty() || !choices().speakInDrill())
        return;
    speech_.speak(foreign, QString::fromLatin1(language()));
}

void TSpeechPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!ComboSprache)
        build();
    refresh();
}

void TSpeechPanel::languagePicked(int index)
{
    setLanguage(toCp1252(ComboSprache->itemData(index).toString()));
    if (!language().empty())
        startEngine();
    refresh();
}

void TSpeechPanel::readAloud()
{
    const QString text = foreignText_ ? foreignText_() : QString();
    if (ButtonVorlesen->isEnabled() && !language().empty() && !text.trimmed().isEmpty())
        speech_.speak(text, QString::fromLatin1(language()));
}

void TSpeechPanel::refresh()
{
    const bool ready = speech_.isReady();
    const QString language = QString::fromLatin1(this->language());
    // A list with a language will be spoken; without one the engine waits until the learner
    // goes to pick a language.
    if (!ready && listOpen_ && !language.isEmpty())
        askForEngine();
    const QString starting = QStringLiteral("Die Sprachausgabe wird gestartet …");
    const QString engineWhy = ready ? speech_.unavailable() : QString();
    const QStringList voices = ready ? speech_.languages() : QStringList();

    const QSignalBlocker block(ComboSprache);
    filling_ = true;
    ComboSprache->clear();
    ComboSprache->addItem(kNoLanguage, QString());
    for (const QString& code : voices)
        ComboSprache->addItem(languageLabel(code), code);
    if (!language.isEmpty() && !voices.contains(language))
        ComboSprache->addItem(languageLabel(language), language);
    ComboSprache->setCurrentIndex(std::max(0, ComboSprache->findData(language)));
    CheckAussprache->setChecked(choices().speakInDrill());
    filling_ = false;

    QString speakWhy = engineWhy;
    if (speakWhy.isEmpty() && language.isEmpty())
        speakWhy = QStringLiteral("Keine Sprache gewählt: wählen Sie die „Sprache der "
                                  "Fremdsprache“ dieser Liste.");
    else if (speakWhy.isEmpty() && !ready)
        speakWhy = starting;
    else if (speakWhy.isEmpty() && !hasVoice(voices, language))
        speakWhy =
            QStringLiteral("Für die Sprache „%1“ ist keine Stimme installiert.").arg(language);
    const QString noList = QStringLiteral("Keine Vokabeldatei geöffnet.");

    ComboSprache->setEnabled(listOpen_ && engineWhy.isEmpty());
    ComboSprache->setToolTip(!listOpen_             ? noList
                             : !engineWhy.isEmpty() ? engineWhy
                             : waitingForEngine_
                                 ? starting
                                 : QStringLiteral("Die Sprache, in der die Wörter der "
                                                  "Fremdsprache gesprochen werden."));
    CheckAussprache->setEnabled(listOpen_ && speakWhy.isEmpty());
    CheckAussprache->setToolTip(!listOpen_ ? noList
                                : speakWhy.isEmpty()
                                    ? QStringLiteral("Beim Lernen wird das Wort der "
                                                     "Fremdsprache gesprochen.")
                                    : speakWhy);
    ButtonVorlesen->setEnabled(listOpen_ && speakWhy.isEmpty());
    ButtonVorlesen->setToolTip(!listOpen_ ? noList
                               : speakWhy.isEmpty()
                                   ? QStringLiteral("Liest das Wort der Fremdsprache vor "
                                                    "(Strg+L).")
                                   : speakWhy);
}

} // namespace tafelix
