#pragma once

#include "EditPage.h"
#include "LearnPage.h"
#include "SettingsPage.h"
#include "StatisticsPage.h"
#include "Widgets.h"
#include "platform/Platform.h"

#include "core/CardBox.h"
#include "core/PrintDocument.h"
#include "core/StatisticsLog.h"
#include "core/WordTable.h"

#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QMainWindow>
#include <QTimer>

// The pages hand out their controls; code that wires them needs the full types.
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTableView>

#include <optional>
#include <utility>

class QKeyEvent;
class QLabel;
class QTabWidget;

namespace tafelix {

class StatisticsModel;
class TAboutBox;
class TOKBottomDlg;
class TOKBottomDlg1;
class TFindWindow;
class TOKBottomDlg2;
class TOKBottomDlg3;
class TSonderzeichen;

// The main window: frame, pages and the program-wide state that ties them together.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // `programDir` ends with '/'; `fileArg` is the first command-line argument, if any.
    TForm1(TWordTable& table, Platform platform, const QString& programDir,
           std::optional<QString> fileArg, QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- program folder and files
    QString ProgramDir;   // folder of the executable, with its trailing '/'
    QString openFileName; // the file last chosen for opening (or the start argument)
    QString saveFileName; // where the next save writes; "Neue Datei.vkb" = untitled
    QString openDialogFolder;
    QString saveDialogFolder;

    // ---- program-wide flags
    bool OpenPending = false;        // an open dialog is under way
    bool DrillResultPending = false; // an answer was evaluated since the last log entry
    int InputTarget = 6;             // field that receives special characters
    CompartmentCounts compartmentCounts{};
    FullFlags CompartmentFull{};
    QDateTime RunStartTime;

    // ---- pages and windows
    QTabWidget* PageControl1;
    TLearnPage* learn;
    TEditPage* edit;
    TStatisticsPage* stats;
    TSettingsPage* settings;
    TStatusField* statusField; // the status bar's one field
    QTimer* Timer1;
    TAboutBox* AboutBox;
    TOKBottomDlg* OKBottomDlg;
    TOKBottomDlg1* OKBottomDlg1;
    TFindWindow* FindDialog1;
    TOKBottomDlg2* OKBottomDlg2;
    TSonderzeichen* Sonderzeichen;
    TOKBottomDlg3* OKBottomDlg3;
    QFont inputFont; // the font of the nine input fields
    StatisticsModel* statisticsModel;

    TWordTable& table() { return table_; }
    // Whether the start-up is through: the settings were read and any error about them has
    // been shown.
    bool hasBeenActivated() const { return activatedOnce_ && pendingSettingsError_.isEmpty(); }
    QString statusText() const;
    bool isDrillRunning() const;

    // ---- lifecycle
    void FormCreate(const std::optional<QString>& fileArg);
    void FormActivate();
    void Beenden1Click();
    void InfoClick();
    void HilfeClick();
    void ToolButton12Click(); // learning page "Öffnen"
    void ToolButton13Click(); // learning page "Schließen"

    // ---- vocabulary file
    bool LoadVocabularyFile();
    bool SaveVocabularyFile();
    bool WriteBackupCopy();
    // Returns false when a save failed, so the caller must not go on and discard the words.
    bool AskToSaveChanges();
    void NewVocabulary();
    // False when it stopped on an error (the open command then goes no further).
    bool OpenVocabulary();
    enum class SaveOutcome { Saved, Cancelled, Failed };
    SaveOutcome SaveVocabulary();
    SaveOutcome SaveVocabularyAs();
    void CloseVocabulary();
    void SetOpenState(bool open);

    // ---- editor page
    void ShowCurrentWord();
    void TabSheet2Enter();
    void TabSheet2Exit();
    void ToolButton1Click(); // "Anfang"
    void ToolButton2Click(); // "Zurück"
    void ToolButton3Click(); // "Vor"
    void ToolButton4Click(); // "Ende"
    void ToolButton5Click(); // "Neu": append a word
    void ToolButton6Click(); // "Löschen"
    void ScrollBar1Change(int position);

    // ---- find, sort, shuffle, reset
    void ToolButton17Click(); // "Suchen"
    void FindDialog1Find();
    void ToolButton27Click(); // "Sortieren"
    void ToolButton25Click(); // "Mischen"
    void ToolButton10Click(); // "Reset"

    // ---- special characters
    void SpeedButton1Click(); // editor page "Sonderz."
    void SpeedButton2Click(); // drill "Sonderz."
    void InsertSpecialCharacter(const QString& character);

    // ---- printing
    void ToolButton22Click(); // editor page "Drucken"
    void ToolButton24Click(); // statistics "drucken"
    void BuildVocabularyPrintText();
    void BuildStatisticsPrintText();
    void ApplyPrintFont();
    void TabSheet4Exit();
    PrintDocument RichEdit1; // the hidden print document both printouts compose

    // ---- folder backup
    void ToolButton28Click();

    // ---- settings
    bool LoadSettings();
    bool SaveSettings();
    void ApplyInputFont(bool fromList);
    void TrackBar2Change();
    CompartmentMaxima shownMaxima() const;

    // ---- drill
    void RecountCompartments();
    void ShowDrillWord();
    void BitBtn1Click();
    void SetupQueryDirection();
    bool Edit9KeyDown(QKeyEvent* key); // true when the key was Enter (swallowed)
    void EvaluateAnswer();
    void UpdateGrade();
    void Timer1Timer();
    void TabSheet1Enter();
    void ResetLearningDisplays();
    void PlaySystemSound(const QString& name);
    void SelectNextWord();

    // ---- statistics
    bool LoadStatistics();
    bool AppendDrillResult();
    void ToolButton18Click();
    void ToolButton19Click();
    void ToolButton21Click();
    void ToolButton26Click();
    void StringGrid1Click();
    void DrawDiagram();
    bool RewriteOnly = false;
    QImage diagramImage; // the diagram as last drawn

    // Shows a box of the program's own kind at a fixed screen position.
    MsgButton message(MsgKind kind, const QString& text, MsgButtons buttons, int x, int y = 300);
    void showError(const QString& text) { message(MsgKind::Error, text, OkButton, 400); }

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    void wireSignals();
    void wireDrill();
    void wireSettings();
    void wireStatistics();
    void wireEditor();
    bool editorKeyEvent(QLineEdit* field, QKeyEvent* key, bool release);
    void fillFontList();
    QString localeNumber(double value) const;
    std::string statisticsPath() const;
    std::string settingsPath() const;
    void scrollStatisticsToNewest();
    void showSettingsErrorWhenExposed();

    TWordTable& table_;
    Platform platform_;
    bool activatedOnce_ = false;
    bool startedWithFile_ = false;
    SaveOutcome lastStopSave_ = SaveOutcome::Saved; // how the last "Stop" saved the words
    bool statisticsReadFailed_ =
        false; // the log could not be read: never rewrite it from a partial table
    int previousTab_ = 0;
    QString pendingSettingsError_;         // waits for the window to be on screen
    bool backupPending_ = false;           // the start-up file's .bkp, written after the paint
    bool statisticsScrollPending_ = false; // scroll the log table as its page appears
};

} // namespace tafelix
