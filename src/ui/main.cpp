#include "main.h"

#include "Info.h"
#include "SpeechPanel.h"
#include "StatisticsModel.h"
#include "chrkt.h"
#include "convertdlg.h"
#include "fail.h"
#include "find.h"
#include "help.h"
#include "print.h"
#include "sort.h"

#include "core/FolderBackup.h"
#include "core/VocabularyFile.h"
#include "platform/Cp1252Text.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QWindow>

namespace tafelix {

namespace {
const QString kUntitled =
    QString::fromLatin1(kUntitledName.data(), static_cast<qsizetype>(kUntitledName.size()));
}

TForm1::TForm1(TWordTable& table, Platform platform, ProgramFolder folder,
               std::optional<QString> fileArg, QWidget* parent)
    : QMainWindow(parent), table_(table), platform_(platform), folder_(std::move(folder)),
      AboutBox([this] {
          return new TAboutBox(platform_.shell, fromLocalPath(folder_.sysDat() + "emblem.jpg"),
                               this);
      }),
      OKBottomDlg([this] { return new TOKBottomDlg(this); }), OKBottomDlg1([this] {
          // The settings are read before the window can open any dialog.
          auto* d = new TOKBottomDlg1(this);
          d->ComboBox1->setCurrentText(searchFieldName_);
          connect(d->ComboBox1, &QComboBox::currentTextChanged, this,
                  [this](const QString& name) { searchFieldName_ = name; });
          return d;
      }),
      FindDialog1([this] {
          auto* d = new TFindWindow(this);
          connect(d, &TFindWindow::find, this, &TForm1::FindDialog1Find);
          return d;
      }),
      OKBottomDlg2([this] {
          auto* d = new TOKBottomDlg2(this);
          connect(d, &TOKBottomDlg2::setupRequested, this,
                  [this, d] { platform_.printer.setup(d); });
          return d;
      }),
      Sonderzeichen([this] {
          auto* d = new TSonderzeichen(
              platform_.clipboard, [this] { return inputFont; }, this);
          connect(d, &TSonderzeichen::characterPicked, this, &TForm1::InsertSpecialCharacter);
          connect(this, &TForm1::closing, d, &QWidget::close);
          return d;
      }),
      OKBottomDlg3([this] { return new TOKBottomDlg3(this); }),
      ImportDialog1([this] { return new TImportDialog(this); }),
      HelpWindow([this] { return new THelpWindow(this); })
{
    // A window starts without words, whatever a window before it left in the table.
    table_.wordCount = 0;
    table_.currentIndex = 0;
    // Before any widget a screen reader could ask about.
    installAccessibleRoles();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tafelix"));
    useDesignedFont(this);
    inputFont = designedFont();

    buildMenu();
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setIconSize(QSize(16, 16));
    learn = new TLearnPage(PageControl1);
    edit = new TEditPage(PageControl1);
    stats.place(PageControl1, [this] {
        wireStatistics();
        keepToolTipsLonger(stats.get());
    });
    settings.place(PageControl1, [this] { settingsPageMade(); });
    PageControl1->addTab(learn, lazyStandardIcon(QStyle::SP_MediaPlay),
                         QStringLiteral("Vokabeln lernen"));
    PageControl1->addTab(edit, lazyStandardIcon(QStyle::SP_FileDialogDetailedView),
                         QStringLiteral("Vokabeln bearbeiten"));
    PageControl1->addTab(stats.tab(), lazyStandardIcon(QStyle::SP_FileDialogInfoView),
                         QStringLiteral("Statistik"));
    PageControl1->addTab(settings.tab(), lazyStandardIcon(QStyle::SP_FileDialogContentsView),
                         QStringLiteral("Einstellungen"));
    setCentralWidget(PageControl1);

    statusField = new TStatusField;
    statusField->setObjectName(QStringLiteral("StatusBar1"));
    statusField->setFixedWidth(200);
    statusBar()->addWidget(statusField);
    statusBar()->setSizeGripEnabled(false);

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);

    statisticsModel = new StatisticsModel(this);

    placeOnScreen(this, QSize(540, 480));

    wireSignals();
    wireDrill();
    wireEditor();
    setCurrentFile(FileEvent::Untitled);
    // Every control is on its page by now.
    scrollWhenSmall(learn);
    scrollWhenSmall(edit);
    FormCreate(fileArg);
}

TForm1::~TForm1() = default;

void TForm1::buildMenu()
{
    // "&" marks each entry's mnemonic (Alt+D opens "Datei"); it is not shown as text.
    QMenu* datei = menuBar()->addMenu(QStringLiteral("&Datei"));
    addConvertActions(datei);
    QAction* beenden = datei->addAction(QStringLiteral("&Beenden"));
    beenden->setObjectName(QStringLiteral("Beenden1"));
    beenden->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(beenden, &QAction::triggered, this, &TForm1::Beenden1Click);
    QMenu* help = menuBar()->addMenu(QStringLiteral("&?"));
    QAction* hilfe = help->addAction(QStringLiteral("&Hilfe"));
    hilfe->setObjectName(QStringLiteral("Hilfe1"));
    hilfe->setShortcut(QKeySequence(Qt::Key_F1));
    connect(hilfe, &QAction::triggered, this, &TForm1::HilfeClick);
    QAction* info = help->addAction(QStringLiteral("&info"));
    info->setObjectName(QStringLiteral("Info1"));
    connect(info, &QAction::triggered, this, &TForm1::InfoClick);
}

void TForm1::wireSignals()
{
    connect(learn->ToolButton12, &QToolButton::clicked, this, &TForm1::ToolButton12Click);
    connect(learn->ToolButton13, &QToolButton::clicked, this, &TForm1::ToolButton13Click);
    connect(learn->ToolButton14, &QToolButton::clicked, this, &TForm1::HilfeClick);
    connect(learn->ToolButton15, &QToolButton::clicked, this, &TForm1::InfoClick);
    connect(learn->ToolButton16, &QToolButton::clicked, this, &TForm1::Beenden1Click);

    connect(edit->ToolButton7, &QToolButton::clicked, this, &TForm1::NewVocabulary);
    connect(edit->ToolButton8, &QToolButton::clicked, this, &TForm1::OpenVocabulary);
    connect(edit->ToolButton9, &QToolButton::clicked, this, [this] { SaveVocabulary(); });
    connect(edit->ToolButton11, &QToolButton::clicked, this, [this] { SaveVocabularyAs(); });
    connect(edit->ToolButton28, &QToolButton::clicked, this, &TForm1::ToolButton28Click);
    connect(edit->ToolButton17, &QToolButton::clicked, this, &TForm1::ToolButton17Click);
    connect(edit->ToolButton27, &QToolButton::clicked, this, &TForm1::ToolButton27Click);
    connect(edit->ToolButton25, &QToolButton::clicked, this, &TForm1::ToolButton25Click);
    connect(edit->ToolButton10, &QToolButton::clicked, this, &TForm1::ToolButton10Click);
    connect(edit->SpeedButton1, &QPushButton::clicked, this, &TForm1::SpeedButton1Click);
    connect(learn->SpeedButton2, &QPushButton::clicked, this, &TForm1::SpeedButton2Click);
    connect(edit->ToolButton22, &QToolButton::clicked, this, &TForm1::ToolButton22Click);

    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
        QWidget* left = PageControl1->widget(previousTab_);
        previousTab_ = index;
        if (left == edit)
            TabSheet2Exit();
        else if (left == stats.tab())
            TabSheet4Exit();
        QWidget* entered = PageControl1->widget(index);
        if (entered == learn)
            TabSheet1Enter();
        else if (entered == edit)
            TabSheet2Enter();
    });
}

QString TForm1::statusText() const
{
    return statusField->status();
}

void TForm1::showError(const QString& text)
{
    message(MsgKind::Error, text, OkButton, 400);
}

MsgButton TForm1::message(MsgKind kind, const QString& text, MsgButtons buttons, int x, int y)
{
    return platform_.dialogs.messageBox(kind, text, buttons, QPoint(x, y));
}

// ---------------------------------------------------------------- lifecycle

void TForm1::FormCreate(const std::optional<QString>& fileArg)
{
    platform_.random.seed(static_cast<quint64>(platform_.clock.now().toMSecsSinceEpoch()));
    // Idle layout of the learning page: the cover hides the drill's fields.
    learn->Panel20->setGeometry(5, learn->Panel20->y(), 365, learn->Panel20->height());
    learn->SpeedButton2->move(200, learn->SpeedButton2->y());
    openDialogFolder = fromLocalPath(folder_.vocabulary());
    saveDialogFolder = openDialogFolder;
    PageControl1->setCurrentWidget(learn);
    setModified(false);
    DrillResultPending = false;
    // Copies a sync engine left of the log, the settings and the speech choices are merged
    // before any of them is read.
    const ConflictReport programConflicts = MergeProgramConflicts();
    // A damaged log is reported, but it must not keep the learner's file from opening.
    LoadStatistics();
    OpenPending = false;
    if (fileArg) {
        startedWithFile_ = true;
        setCurrentFile(FileEvent::Chosen, *fileArg);
        FinishLoad(loadVocabularyFile(toLocalPath(*fileArg), table_));
    }
    TellConflicts(programConflicts);
}

void TForm1::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!painted_ && windowHandle())
        windowHandle()->installEventFilter(this);
    if (!activatedOnce_)
        FormActivate();
}

bool TForm1::isOnScreen() const
{
    return painted_ || isVisible();
}

void TForm1::whenOnScreen(std::function<void()> step)
{
    if (isOnScreen())
        step();
    else
        afterFirstPaint_.push_back(std::move(step));
}

void TForm1::changeEvent(QEvent* e)
{
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow() && activatedOnce_)
        FormActivate();
}

void TForm1::FormActivate()
{
    // The settings are read once. Reading them again on every return from the special
    // characters window would throw away what the learner just changed on the settings page.
    if (!activatedOnce_) {
        activatedOnce_ = true;
        LoadSettings();
        // The learning page is entered as the window first appears.
        if (PageControl1->currentWidget() == learn)
            TabSheet1Enter();
    }
    edit->ToolButton28->setToolTip(
        QString::fromUtf8(kBackupToolTip.data(), static_cast<qsizetype>(kBackupToolTip.size())));
    keepToolTipsLonger(this);
}

void TForm1::Beenden1Click()
{
    close();
}

void TForm1::InfoClick()
{
    AboutBox->exec();
}

void TForm1::HilfeClick()
{
    // Help should always open: without a viewer on the desktop, the page is shown in a window
    // of our own.
    const QString page = fromLocalPath(folder_.help() + "index.htm");
    platform_.shell.open(page, [form = QPointer<TForm1>(this), page] {
        if (!form)
            return;
        form->HelpWindow->showPage(page);
    });
}

void TForm1::ToolButton12Click()
{
    if (!OpenVocabulary())
        return;
    if (table_.wordCount > 0 && !OpenPending) {
        learn->BitBtn1->setEnabled(true);
        learn->BitBtn1->setFocus();
    }
}

void TForm1::ToolButton13Click()
{
    if (maybeSave())
        CloseVocabulary();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == windowHandle()) {
        if (event->type() == QEvent::Expose && windowHandle()->isExposed()) {
            windowHandle()->removeEventFilter(this);
            // After the window has drawn itself.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    painted_ = true;
                    for (const std::function<void()>& step : std::exchange(afterFirstPaint_, {}))
                        step();
                },
                Qt::QueuedConnection);
        }
        return QMainWindow::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress && watched == learn->Edit9)
        return Edit9KeyDown(static_cast<QKeyEvent*>(event));
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field && field->parentWidget() == edit->GroupBox1) {
        // A field out of sight (a closed vocabulary, another page) can still hold the focus;
        // the release of a key that closed a dialog then lands there and is no edit.
        if (event->type() == QEvent::KeyRelease && !field->isVisible())
            return false;
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
            return editorKeyEvent(field, static_cast<QKeyEvent*>(event),
                                  event->type() == QEvent::KeyRelease);
    }
    if (event->type() == QEvent::MouseButtonPress) {
        // Edit1Click: a click chooses the field that receives special characters.
        const QLineEdit* fields[] = {edit->Edit1, edit->Edit2, edit->Edit3, edit->Edit4};
        const InputTarget targets[] = {InputTarget::German, InputTarget::Foreign,
                                       InputTarget::Synonym, InputTarget::Remark};
        for (int i = 0; i < 4; ++i)
            if (watched == fields[i])
                inputTarget_ = targets[i];
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* e)
{
    if (!SaveSettings()) {
        // Without a way past a settings folder that cannot be written, the learner could
        // never leave the program.
        if (message(MsgKind::Confirmation,
                    QStringLiteral("Die Einstellungen konnten nicht gespeichert werden.\n"
                                   "Tafelix trotzdem beenden?"),
                    YesButton | NoAnswerButton, 400) != YesButton) {
            e->ignore();
            return;
        }
    }
    if (!maybeSave()) {
        e->ignore();
        return;
    }
    if (isDrillRunning()) {
        BitBtn1Click();
        if (lastStopSave_ == SaveOutcome::Failed) {
            // The drill's progress could not be saved: keep the window so it is not lost.
            e->ignore();
            return;
        }
    }
    CloseVocabulary();
    platform_.sound.stop();
    emit closing();
    e->accept();
}

// ---------------------------------------------------------------- vocabulary file

void TForm1::setCurrentFile(FileEvent event, const QString& name, const FileStamp& stamp)
{
    switch (event) {
    case FileEvent::Chosen:
        openFileName = name;
        return;
    case FileEvent::Loaded:
        saveFileName = openFileName;
        break;
    case FileEvent::Saved:
        saveFileName = name;
        break;
    case FileEvent::Untitled:
        saveFileName = kUntitled;
        break;
    }
    statusField->setStatus(event == FileEvent::Untitled ? QString()
                                                        : saveFileName + QLatin1Char(' '));
    speechPanel_->listChanged(event == FileEvent::Untitled ? QString() : saveFileName,
                              event == FileEvent::Saved);
    setModified(false);
    if (event == FileEvent::Untitled) {
        fileStamp_.reset();
        listLock_.release();
        return;
    }
    fileStamp_ = stamp;
    const bool shared = listLock_.hold(toLocalPath(saveFileName)) == OpenFileLock::Hold::Shared;
    if (event == FileEvent::Loaded && shared)
        TellListIsShared();
}

void TForm1::TellListIsShared()
{
    // Before the window is on screen, a box would come up on its own.
    whenOnScreen([this, name = QFileInfo(saveFileName).fileName()] {
        message(MsgKind::Information,
                QStringLiteral("Die Datei %1 ist bereits in einem anderen Tafelix-Fenster "
                               "geöffnet.\nWird sie dort gespeichert, fragt Tafelix hier vor "
                               "dem Speichern nach.")
                    .arg(name),
                OkButton, 400);
    });
}

void TForm1::setModified(bool modified)
{
    table_.modified = modified;
}

void TForm1::SetOpenState(bool open)
{
    edit->GroupBox1->setVisible(open);
    edit->GroupBox2->setVisible(open);
    for (QToolButton* b : {edit->ToolButton9, edit->ToolButton11, edit->ToolButton10,
                           edit->ToolButton25, edit->ToolButton27})
        b->setEnabled(open);
    edit->ToolButton28->setEnabled(!open);
    Exportieren1->setEnabled(open);
    speechPanel_->setListOpen(open);
}

bool TForm1::LoadVocabularyFile()
{
    LoadResult r;
    {
        BusyCursor busy;
        r = loadVocabularyFile(toLocalPath(openFileName), table_);
    }
    return FinishLoad(r);
}

bool TForm1::FinishLoad(const LoadResult& r)
{
    switch (r.status) {
    case LoadStatus::Ok:
        break;
    case LoadStatus::ReadError:
    case LoadStatus::BadHeader:
    case LoadStatus::BadInteger:
    case LoadStatus::TooManyWords:
        showError(QString::fromStdString(loadFailureMessage(r)));
        return false;
    }
    OpenPending = false;
    const ConflictReport conflicts = MergeListConflicts();
    ResetLearningDisplays();
    setCurrentFile(FileEvent::Loaded, {}, r.stamp);
    // The merged words are in no file yet; the file's stamp stays that of the kept version.
    setModified(conflicts.listChanged);
    compartmentCounts = {};
    if (table_.wordCount >= 1)
        ShowCurrentWord();
    RecountCompartments();
    SetOpenState(true);
    // At start-up the safety copy (a full write with fsync) waits until the window has
    // painted itself; it still comes before anything the learner can do to the words.
    // Otherwise the words stay loaded (the file itself was read completely), but a reported
    // failure ends the open as every other error does: no "Start" follows it.
    bool backedUp = true;
    if (isOnScreen())
        backedUp = WriteBackupCopy();
    else
        whenOnScreen([this] { WriteBackupCopy(); });
    TellConflicts(conflicts);
    return backedUp;
}

TForm1::SaveOutcome TForm1::SaveVocabularyFile(const QString& fileName, bool changeSeen)
{
    const std::string path = toLocalPath(fileName);
    // Another window, or any other program, may have saved the list since this window loaded
    // or saved it; replacing that file unasked would lose its words without a trace. The check
    // and the replacement are one step, so another window's save cannot slip in between.
    const FileStamp* expected =
        !changeSeen && fileStamp_ && fileName == saveFileName ? &*fileStamp_ : nullptr;
    CheckedWrite saved;
    FileStamp written;
    {
        BusyCursor busy;
        saved = saveVocabularyFileIfUnchanged(path, table_, expected, &written);
    }
    if (saved.changedMeanwhile)
        return AskAboutChangedFile(fileName);
    if (const IoResult& r = saved.result; !r) {
        showError(QString::fromStdString(r.message));
        return SaveOutcome::Failed;
    }
    setCurrentFile(FileEvent::Saved, fileName, written);
    return SaveOutcome::Saved;
}

TForm1::SaveOutcome TForm1::AskAboutChangedFile(const QString& fileName)
{
    const MsgButton answer =
        message(MsgKind::Warning,
                QStringLiteral("Die Datei %1 wurde inzwischen außerhalb dieses Fensters geändert.\n"
                               "Beim Überschreiben gehen diese Änderungen verloren.")
                    .arg(QFileInfo(fileName).fileName()),
                OverwriteButton | SaveAsButton | CancelButton, 400);
    SaveOutcome outcome = SaveOutcome::Cancelled;
    if (answer == OverwriteButton)
        outcome = SaveVocabularyFile(fileName, true);
    else if (answer == SaveAsButton)
        outcome = SaveVocabularyAs();
    // Anything but a save leaves the words in no file: whoever asked must keep them.
    return outcome == SaveOutcome::Saved ? outcome : SaveOutcome::Failed;
}

bool TForm1::WriteBackupCopy()
{
    const IoResult r = writeBackupCopy(toLocalPath(openFileName), table_);
    if (!r)
        showError(QString::fromStdString(r.message));
    return r.ok;
}

bool TForm1::AskToSaveChanges()
{
    const MsgButton answer =
        message(MsgKind::Warning, QStringLiteral("geänderte Vokabeln speichern ?"),
                YesButton | NoAnswerButton, 400);
    if (answer == YesButton) {
        // "Ja" asked for the words to be kept: a save that failed or whose dialog was
        // cancelled must not end in dropping them.
        if (SaveVocabulary() != SaveOutcome::Saved)
            return false;
    } else {
        CloseVocabulary();
    }
    setModified(false);
    return true;
}

bool TForm1::maybeSave()
{
    return !table_.modified || AskToSaveChanges();
}

void TForm1::NewVocabulary()
{
    if (!maybeSave())
        return;
    ResetLearningDisplays();
    learn->BitBtn1->setEnabled(false);
    table_.ClearWords();
    SetOpenState(true);
    ToolButton5Click();
    setCurrentFile(FileEvent::Untitled);
}

bool TForm1::OpenVocabulary()
{
    OpenPending = true;
    if (currentSettings().statistics && DrillResultPending)
        AppendDrillResult();
    if (!maybeSave())
        return false;
    FileDialogOptions o;
    o.folder = openDialogFolder;
    o.fileName = openFileName;
    if (const auto chosen = platform_.dialogs.openFile(o)) {
        setCurrentFile(FileEvent::Chosen, *chosen);
        CompartmentFull = {};
        // A list merged with its conflict copies stays marked as changed.
        return LoadVocabularyFile();
    }
    setModified(false);
    return true;
}

TForm1::SaveOutcome TForm1::SaveVocabulary()
{
    if (saveFileName == kUntitled)
        return SaveVocabularyAs();
    return SaveVocabularyFile(saveFileName);
}

TForm1::SaveOutcome TForm1::SaveVocabularyAs()
{
    FileDialogOptions o;
    o.folder = saveDialogFolder;
    o.fileName = saveFileName;
    o.defaultSuffix = QStringLiteral("vkb");
    o.confirmOverwrite = true;
    const auto chosen = platform_.dialogs.saveFile(o);
    if (!chosen)
        return SaveOutcome::Cancelled;
    return SaveVocabularyFile(*chosen);
}

void TForm1::CloseVocabulary()
{
    learn->BitBtn1->setEnabled(false);
    if (currentSettings().statistics && DrillResultPending)
        AppendDrillResult();
    DrillResultPending = false;
    if (table_.wordCount >= 1) {
        table_.ClearWords();
        table_.wordCount = 1;
        table_.currentIndex = 1;
    }
    setCurrentFile(FileEvent::Untitled);
    if (table_.currentIndex >= 1) {
        ShowCurrentWord();
        RecountCompartments();
    }
    learn->Panel17->setText(QStringLiteral("0"));
    learn->Panel19->setText(QStringLiteral("0"));
    learn->Panel21->setText(QStringLiteral("0"));
    SetOpenState(false);
}

// ---------------------------------------------------------------- folder backup

void TForm1::ToolButton28Click()
{
    BackupReport report;
    {
        BusyCursor busy;
        report = backupVocabularies(folder_.root());
    }
    const BackupMessage m = backupMessage(report);
    message(m.isError ? MsgKind::Error : MsgKind::Information, QString::fromStdString(m.text),
            OkButton, 300);
}

} // namespace tafelix
