#pragma once

#include "core/SpeechChoices.h"
#include "platform/Platform.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace tafelix {

// The row of speech controls on the editor page, and the one owner of the speech choices:
// which language the open list's foreign words are in, and whether the drill speaks them.
// The speech engine is started in the background once it will be needed: when a list with a
// language is open (a list opened at start-up: once the window is on screen), when
// "Aussprache" is switched on, when the learner goes to pick a language, or at the first
// word. Merely showing this row starts nothing.
class TSpeechPanel : public QWidget {
    Q_OBJECT
public:
    // `choicesPath`: where the choices are kept (read when first needed); `programFolder`:
    // lists inside it are kept by their path relative to it; `foreignText`: the foreign field
    // of the word the editor shows; `showError`: tells the learner that a choice could not be
    // kept.
    TSpeechPanel(ISpeech& speech, std::string choicesPath, std::string programFolder,
                 std::function<QString()> foreignText,
                 std::function<void(const QString&)> showError, QWidget* parent);

    // The open list is now the file at `path` (loaded, or saved under that name: `saved`
    // keeps the language chosen so far for the new name), or a list without a file (empty
    // path) that starts with no language.
    void listChanged(const QString& path, bool saved);
    void setListOpen(bool open);
    // The choices file was changed by another hand (a merge of its conflict copies): it is
    // read again when next needed.
    void choicesChanged();
    // The language an import found in its file; a code that is no language is ignored.
    void takeLanguage(const QString& code);

    // The open list's language (a BCP 47 code), empty while none is chosen.
    QString listLanguage() { return QString::fromStdString(language()); }

    // A foreign word the drill shows or has just judged: spoken when "Aussprache" is on and
    // the list has a language.
    void drillWord(const QString& foreign);

    // Made when the row is first shown: a learner who never opens the editor page does not
    // pay for them at start-up.
    QComboBox* ComboSprache = nullptr;     // "Sprache der Fremdsprache"
    QCheckBox* CheckAussprache = nullptr;  // "Aussprache": the drill speaks the foreign word
    QPushButton* ButtonVorlesen = nullptr; // "Vorlesen" (Ctrl+L): the editor's foreign field

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    const std::string& language();
    // The open list's language from now on, kept for its file when it has one.
    void setLanguage(std::string code);
    SpeechChoices& choices();
    // Changes one thing in the file as it is now (other windows share it), and shows why when
    // the file could not take it.
    void changeChoices(const std::function<void(SpeechChoices&)>& edit);
    SpeechChoices::ListKey keyOf(const QString& path) const;
    void languagePicked(int index);
    void readAloud();
    // Fills the language list and sets what may be used, with the reasons in the tooltips.
    void refresh();
    // Starts the engine in the background; the row follows once it is up.
    void startEngine();
    // The same without showing it yet; false when the engine was asked for before.
    bool askForEngine();
    // Starts the engine if the open list has a language, once the window is on screen.
    void startEngineForList();

    ISpeech& speech_;
    std::string choicesPath_;
    QString programFolder_; // links resolved, so that every way to a list gives one key
    std::function<QString()> foreignText_;
    std::function<void(const QString&)> showError_;
    std::optional<SpeechChoices> choices_;
    QString listName_; // empty: the list has no file yet
    // The open list's language, also before it has a file; nothing until looked up.
    std::optional<std::string> language_;
    bool listOpen_ = false;
    bool waitingForEngine_ = false;
    bool startWhenExposed_ = false;
    bool filling_ = false;
};

} // namespace tafelix
