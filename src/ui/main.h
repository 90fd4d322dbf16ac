#pragma once

#include "EditPage.h"
#include "LearnPage.h"
#include "SettingsPage.h"
#include "StatisticsPage.h"
#include "Widgets.h"
#include "platform/Platform.h"

#include "core/CardBox.h"
#include "core/FileLock.h"
#include "core/PrintDocument.h"
#include "core/ProgramFolder.h"
#include "core/StatisticsLog.h"
#include "core/SyncMerge.h"
#include "core/VocabularyFile.h"
#include "core/WordTable.h"

#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QMainWindow>

// The pages hand out their controls; code that wires them needs the full types.
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTableView>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

class QAction;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QTabWidget;
class QTimer;

namespace tafelix {

class StatisticsModel;
class TAboutBox;
class TOKBottomDlg;
class TOKBottomDlg1;
class TFindWindow;
class TImportDialog;
class THelpWindow;
class TOKBottomDlg2;
class TOKBottomDlg3;
class TSonderzeichen;
class TSpeechPanel;

// The field that receives a character picked in the special characters window.
enum class InputTarget { German = 1, Foreign = 2, Synonym = 3, Remark = 4, None = 6, Answer = 9 };

// The main window: frame, pages and the program-wide state that ties them together.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // `fileArg` is the first command-line argument, if any.
    TForm1(TWordTable& table, Platform platform, ProgramFolder folder,
           std::optional<QString> fileArg, QWidget* parent = nullptr);
    ~TForm1() override;

    bool isDrillRunning() const; // the cover over the drill's fields is away
    QString statusText() const;  // the status bar's one field
    // The start-up is through: the settings were read and any error about them was shown.
    bool hasBeenActivated() const { return activatedOnce_ && pendingSettingsError_.isEmpty(); }

    // Reaches the pages and state from the widget tests; defined with them.
    struct TestAccess;

public slots:
    // ---- window and learning page toolbar
    void FormActivate();      // the window became active: settings, tooltips
    void Beenden1Click();     // "Beenden": close the window, which runs the exit sequence
    void InfoClick();         // "info": the about box
    void HilfeClick();        // "Hilfe": the help page
    void ToolButton12Click(); // learning page "Öffnen"
    void ToolButton13Click(); // learning page "Schließen"
    void ImportierenClick();  // "Importieren…": a KVTML or CSV list as a new vocabulary
    void ExportierenClick();  // "Exportieren…": the open vocabulary as KVTML or CSV

    // ---- drill
    void BitBtn1Click();      // "Start" / "Stop"
    void Timer1Timer();       // each second of a run: "Zeit"
    void TabSheet1Enter();    // learning page entered: "Start" when a file is loaded
    void SpeedButton2Click(); // drill "Sonderz."

    // ---- editor page
    void TabSheet2Enter();               // editor page entered
    void TabSheet2Exit();                // editor page left: ask to save edits
    void ToolButton1Click();             // "Anfang"
    void ToolButton2Click();             // "Zurück"
    void ToolButton3Click();             // "Vor"
    void ToolButton4Click();             // "Ende"
    void ToolButton5Click();             // "Neu": append a word
    void ToolButton6Click();             // "Löschen": delete the current word
    void ScrollBar1Change(int position); // the scroll bar picks the current word
    void SpeedButton1Click();            // editor page "Sonderz."
    void ToolButton17Click();            // "Suchen": the search field dialog, then the find window
    void FindDialog1Find();              // "Weitersuchen" in the find window
    void ToolButton27Click();            // "Sortieren"
    void ToolButton25Click();            // "Mischen"
    void ToolButton10Click();            // "Reset": every word back to compartment 1
    void ToolButton22Click();            // "Drucken": the word list
    void ToolButton28Click();            // "Backup": copy every word list into "Ausgabe"

    // ---- statistics page
    void ToolButton18Click(); // "Tabelle"
    void ToolButton19Click(); // "Diagramm"
    void ToolButton21Click(); // "Zeile löschen"
    void ToolButton24Click(); // "drucken": the log and its diagram
    void ToolButton26Click(); // "alles löschen"
    void StringGrid1Click();  // a row became current: select it, offer "Zeile löschen"
    void TabSheet4Exit();     // statistics page left: drop the print document

signals:
    // The exit sequence went through: the window's own tool windows close with it.
    void closing();

protected:
    void closeEvent(QCloseEvent* e) override; // FormClose: the exit sequence
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class SaveOutcome { Saved, Cancelled, Failed };

    // ---- start-up and wiring
    void FormCreate(const std::optional<QString>& fileArg);
    void buildMenu();
    void addConvertActions(QMenu* datei);
    void enterImportedWords(const std::vector<TWordEntry>& words);
    void wireSignals();
    void wireDrill();
    void wireSettings();   // as the settings page is made
    void wireStatistics(); // as the log page is made
    void wireEditor();
    // Shown, or painted once (whatever came since).
    bool isOnScreen() const;
    // Runs `step` at once when the window is on screen, otherwise right after its first
    // paint: a box needs a window on screen to stand over.
    void whenOnScreen(std::function<void()> step);
    MsgButton message(MsgKind kind, const QString& text, MsgButtons buttons, int x, int y = 300);
    void showError(const QString& text);

    // ---- the current file and its unsaved edits
    // The one place that names the vocabulary file. `Chosen`: the name the open dialog offers
    // and a load reads. `Loaded`, `Saved` (as `name`) and `Untitled` also set where the next
    // save writes and the status bar, and clear the flag for unsaved edits. `stamp`: the file
    // as it was loaded or saved, which the next save checks for changes by anyone else.
    enum class FileEvent { Chosen, Loaded, Saved, Untitled };
    void setCurrentFile(FileEvent event, const QString& name = {}, const FileStamp& stamp = {});
    void setModified(bool modified); // the one writer of the table's flag for unsaved edits
    bool LoadVocabularyFile();
    // Shows a refusal, or makes the loaded words the open list.
    bool FinishLoad(const LoadResult& r);
    // `changeSeen`: the learner chose to overwrite a file changed outside this window.
    SaveOutcome SaveVocabularyFile(const QString& fileName, bool changeSeen = false);
    // The open list's file was changed outside this window: overwrite, save elsewhere, or
    // neither. Anything but a save is a failure: the caller keeps the words.
    SaveOutcome AskAboutChangedFile(const QString& fileName);
    void TellListIsShared(); // another instance has the just opened list open too, after the paint
    // ---- conflict copies left by a sync engine (main_sync.cpp)
    // Merges the conflict copies of the list just loaded into the table.
    ConflictReport MergeListConflicts();
    // At start, before they are read: the copies of the log, the settings and the speech
    // choices.
    ConflictReport MergeProgramConflicts();
    // The one box about what came together; waits for the window to be on screen.
    void TellConflicts(const ConflictReport& report);
    std::string conflictFolder() const; // where the copies are put aside
    bool WriteBackupCopy();
    // The save prompt. False when the learner chose to save and no save happened (it failed,
    // or its dialog was cancelled): the words must stay.
    bool AskToSaveChanges();
    // The one guard before anything that drops the open list's words: asks while they hold
    // unsaved changes. False when they must stay; the caller then changes nothing.
    bool maybeSave();
    void NewVocabulary();
    bool OpenVocabulary(); // false when it stopped on an error
    SaveOutcome SaveVocabulary();
    SaveOutcome SaveVocabularyAs();
    void CloseVocabulary();
    void SetOpenState(bool open);

    // ---- editor
    void ShowCurrentWord();
    bool editorKeyEvent(QLineEdit* field, QKeyEvent* key, bool release);
    void InsertSpecialCharacter(const QString& character);

    // ---- settings
    bool LoadSettings();
    bool SaveSettings();
    PageSettings currentSettings() const; // the settings everything but their page reads
    // The font chosen on the settings page becomes the input fields' font.
    void ApplyInputFont(bool fromList);
    void setInputFontFromSettings(); // a size that is no number is reported, nothing changes
    void settingsPageMade();
    void fillFontList();
    CompartmentMaxima shownMaxima() const;
    std::string settingsPath() const;

    // ---- drill
    void RecountCompartments();
    void ShowDrillWord();
    void SelectNextWord();
    void SetupQueryDirection();
    bool Edit9KeyDown(QKeyEvent* key); // true when the key was Enter (swallowed)
    void EvaluateAnswer();
    void UpdateGrade();
    void ResetLearningDisplays();
    void PlaySystemSound(const QString& name); // a sound of SysDat, without ".wav"

    // ---- statistics and printing
    bool LoadStatistics();
    // `rewriteOnly`: add no drill result, only make `change` (a deletion).
    bool AppendDrillResult(bool rewriteOnly = false, StatisticsChange change = {});
    bool showDiagram(); // "Diagramm" pressed; false when the drawing stopped on a damaged cell
    bool DrawDiagram();
    void scrollStatisticsToNewest();
    void attachStatisticsModel(); // the log table's model, set as its page is made
    std::string statisticsPath() const;
    void BuildVocabularyPrintText();
    void BuildStatisticsPrintText();
    void ApplyPrintFont();

    TWordTable& table_;
    Platform platform_;
    const ProgramFolder folder_;

    QString openFileName = QStringLiteral("Beispiel.vkb"); // last chosen for opening
    QString saveFileName;                                  // where the next save writes
    std::optional<FileStamp> fileStamp_; // the file at saveFileName as loaded or last saved
    OpenFileLock listLock_;              // tells other instances that the list is open here
    QString openDialogFolder;
    QString saveDialogFolder;

    bool OpenPending = false;        // an open dialog is under way
    bool DrillResultPending = false; // an answer was evaluated since the last log entry
    InputTarget inputTarget_ = InputTarget::None;
    CompartmentCounts compartmentCounts{};
    FullFlags CompartmentFull{};
    QDateTime RunStartTime;
    QFont inputFont;         // the font of the nine input fields
    PrintDocument RichEdit1; // the hidden print document both printouts compose
    QImage diagramImage;     // the diagram as last drawn

    QTabWidget* PageControl1;
    TLearnPage* learn;
    TEditPage* edit;
    // The log and the settings pages are made as they are first shown or reached.
    LazyPage<TStatisticsPage> stats;
    LazyPage<TSettingsPage> settings;
    // The one copy of what the settings page shows: read from the file, changed by the page.
    PageSettings settingsValue_;
    TStatusField* statusField;
    QTimer* Timer1;
    StatisticsModel* statisticsModel;
    // Dialogs are made when first needed and then kept, so that they keep their choices.
    LazyWindow<TAboutBox> AboutBox;
    LazyWindow<TOKBottomDlg> OKBottomDlg;
    LazyWindow<TOKBottomDlg1> OKBottomDlg1;
    // The search dialog's field, the one copy: read from and written to the settings file,
    // shown by the dialog and changed by it.
    QString searchFieldName_ = QStringLiteral("Deutsch");
    LazyWindow<TFindWindow> FindDialog1;
    LazyWindow<TOKBottomDlg2> OKBottomDlg2;
    LazyWindow<TSonderzeichen> Sonderzeichen;
    LazyWindow<TOKBottomDlg3> OKBottomDlg3;
    LazyWindow<TImportDialog> ImportDialog1; // made at the first CSV import
    LazyWindow<THelpWindow> HelpWindow;      // made when help has no viewer on the desktop
    TSpeechPanel* speechPanel_ = nullptr;    // the editor's speech row, owner of the languages
    QAction* Importieren1 = nullptr;         // "Importieren…": not during a drill
    QAction* Exportieren1 = nullptr;         // "Exportieren…": while a vocabulary is open

    bool activatedOnce_ = false;
    bool startedWithFile_ = false;
    SaveOutcome lastStopSave_ = SaveOutcome::Saved; // how the last "Stop" saved the words
    bool statisticsReadFailed_ = false;             // never rewrite the log from a partial table
    StatisticsChange unwrittenLog_; // a change to the log that the table shows but no file has
    int previousTab_ = 0;
    QString pendingSettingsError_;         // waits for the window to be on screen
    ConflictReport pendingConflicts_;      // what conflict copies brought, told once on screen
    bool statisticsScrollPending_ = false; // scroll the log table as its page appears
    bool painted_ = false;                 // the window has painted itself once
    // What waits for that paint, in the order it came.
    std::vector<std::function<void()>> afterFirstPaint_;
};

} // namespace tafelix
