#pragma once

#include "TestDoubles.h"
#include "core/SettingsRecord.h"
#include "core/StatisticsLog.h"
#include "platform/Cp1252Text.h"
#include "ui/main.h"

#include <QObject>
#include <QTemporaryDir>

#include <functional>

#include <memory>
#include <string>

namespace tafelix {

// The widget tests' door into the main window: its pages and dialogs, which the tests drive
// as the learner does, and the few pieces of state that no control shows.
struct TForm1::TestAccess {
    explicit TestAccess(TForm1& f)
        : form(f), PageControl1(f.PageControl1), learn(f.learn), edit(f.edit), stats(f.stats),
          statsTab(f.stats.tab()), settings(f.settings), settingsTab(f.settings.tab()),
          statusField(f.statusField), statisticsModel(f.statisticsModel),
          AboutBox(f.AboutBox.get()), OKBottomDlg(f.OKBottomDlg.get()),
          OKBottomDlg1(f.OKBottomDlg1.get()), FindDialog1(f.FindDialog1.get()),
          OKBottomDlg2(f.OKBottomDlg2.get()), Sonderzeichen(f.Sonderzeichen.get()),
          saveFileName(f.saveFileName), openFileName(f.openFileName), inputTarget(f.inputTarget_),
          diagramImage(f.diagramImage), DrillResultPending(f.DrillResultPending),
          RichEdit1(f.RichEdit1), inputFont(f.inputFont)
    {}

    TForm1& form;
    QTabWidget* const PageControl1;
    TLearnPage* const learn;
    TEditPage* const edit;
    // Reaching into these pages makes them, as showing them would.
    LazyPage<TStatisticsPage>& stats;
    QWidget* const statsTab; // what the tab widget holds for the page
    LazyPage<TSettingsPage>& settings;
    QWidget* const settingsTab;
    TStatusField* const statusField;
    StatisticsModel* const statisticsModel;
    TAboutBox* const AboutBox;
    TOKBottomDlg* const OKBottomDlg;
    TOKBottomDlg1* const OKBottomDlg1;
    TFindWindow* const FindDialog1;
    TOKBottomDlg2* const OKBottomDlg2;
    TSonderzeichen* const Sonderzeichen;

    const QString& saveFileName;
    const QString& openFileName;
    const InputTarget& inputTarget;
    const QImage& diagramImage;
    // Set up by tests that stand in for a drill or a printout that came before.
    bool& DrillResultPending;
    PrintDocument& RichEdit1;
    QFont& inputFont;

    QString statusText() const { return form.statusText(); }
    PageSettings currentSettings() const { return form.currentSettings(); }
    CompartmentMaxima shownMaxima() const { return form.shownMaxima(); }
    void ShowCurrentWord() { form.ShowCurrentWord(); }
    void ApplyInputFont(bool fromList) { form.ApplyInputFont(fromList); }
    bool AppendDrillResult() { return form.AppendDrillResult(); }
};

} // namespace tafelix

namespace tafelix::test {

// The base of every widget test: after each test, no top-level window may be left open.
class UiTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
};

// A fresh program folder for one test: SysDat (with the built default settings and an empty
// log), Vokabeln and Ausgabe, as the build lays them out.
class TempProgramFolder {
public:
    TempProgramFolder();
    QString path() const { return dir_.path() + QLatin1Char('/'); }
    QString file(const QString& relative) const { return path() + relative; }
    void write(const QString& relative, const QByteArray& bytes) const;
    QByteArray read(const QString& relative) const;
    bool exists(const QString& relative) const;

private:
    QTemporaryDir dir_;
};

// A main window on a fresh program folder with scripted platform doubles.
struct Harness {
    explicit Harness(std::optional<QString> fileArg = std::nullopt, bool show = true);
    ~Harness();
    TempProgramFolder folder;
    TestPlatform doubles;
    // Takes the place of the scripted dialogs when a test needs real modal windows.
    IDialogs* dialogs = nullptr;
    std::unique_ptr<TWordTable> table = std::make_unique<TWordTable>();
    std::unique_ptr<TForm1> form;

    void start(std::optional<QString> fileArg = std::nullopt, bool show = true);
    // The window's pages, dialogs and hidden state, for the checks.
    TForm1::TestAccess ui() const { return TForm1::TestAccess(*form); }
    // Closes the window through its exit sequence and starts a new one on the same folder.
    void restart(std::optional<QString> fileArg = std::nullopt);
    // Boxes that appeared without a script, and scripts that were never used.
    QStringList surprises() const;
};

// Keyboard and mouse as the learner uses them. Keys always go to the focused widget, as a
// real keyboard's do; the focus gets there by a click or by Tab. An editable combo box takes
// the focus itself (its line edit forwards it), so filters on the line edit never see a key.
//
// Clicks the deepest visible widget under `pos` in `w` (the centre by default), as a mouse
// does, and returns false when the focus did not end up in `w` or its focus proxy.
bool clickInto(QWidget* w, std::optional<QPoint> pos = std::nullopt);
// Presses Tab (at most 60 times) until `w` has the focus.
bool tabInto(QWidget* w);
QWidget* focused();
void typeText(const QString& text);
void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// A .vkb file's bytes from its words: {box, passes, german, foreign, synonym, remark}.
// Runs `action` on the next modal dialog as soon as it is shown (it must appear within 5 s).
void onNextModal(std::function<void(QWidget*)> action);
// Answers the wrong-answer dialog: "OK" (wrong) or "Korrektur" (right after all).
void answerCorrection(bool confirmWrong);

// The bytes of a statistics log holding `records`.
QByteArray logBytes(const std::vector<StatisticsRecord>& records);
// The bytes of an Init.dat holding `record`.
QByteArray settingsBytes(const SettingsRecord& record);

QByteArray vkb(std::initializer_list<std::array<const char*, 6>> words);

} // namespace tafelix::test
