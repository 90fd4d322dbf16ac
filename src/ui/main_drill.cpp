// The learning page: compartments, the drill run and its counters.
#include "main.h"

#include "SpeechPanel.h"
#include "fail.h"

#include "core/Drill.h"
#include "platform/Cp1252Text.h"

#include <QKeyEvent>
#include <QStyle>
#include <QTabWidget>

namespace tafelix {

void TForm1::wireDrill()
{
    connect(learn->BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    learn->Edit9->installEventFilter(this);
}

bool TForm1::isDrillRunning() const
{
    return learn->Panel20->isHidden();
}

void TForm1::RecountCompartments()
{
    compartmentCounts = countCompartments(table_);
    QLabel* panels[] = {learn->Panel4, learn->Panel5, learn->Panel6,
                        learn->Panel7, learn->Panel8, learn->Panel9};
    for (int i = 0; i < 6; ++i)
        panels[i]->setText(QString::number(compartmentCounts[static_cast<std::size_t>(i)]));
    UpdateGrade();
    learn->Panel21->setText(QString::number(table_.wordCount));
}

CompartmentMaxima TForm1::shownMaxima() const
{
    // The sizes the settings page shows under its slider.
    return maximaForSlider(currentSettings().capacity);
}

void TForm1::SelectNextWord()
{
    if (tafelix::SelectNextWord(table_, compartmentCounts, shownMaxima(), CompartmentFull) ==
        Selection::WordChosen) {
        ShowDrillWord();
        return;
    }
    const MsgButton answer =
        message(MsgKind::Error,
                QStringLiteral("Keine weiteren Wörter zu lösen\nVokabeldatei zurücksetzen, oder\n"
                               "neue Vokabeldatei erstellen."),
                OkButton, 400);
    // Closing the box through its frame leaves the run going.
    if (answer == OkButton && isDrillRunning())
        BitBtn1Click();
}

void TForm1::ShowDrillWord()
{
    const TWordEntry& e = table_.current();
    learn->Edit7->setText(fromCp1252(e.german.view()));
    learn->Edit8->setText(fromCp1252(e.foreign.view()));
    learn->Panel16->setText(fromCp1252(e.remark.view()));
    learn->Panel18->setText(fromCp1252(e.synonym.view()));
    learn->Panel19->setText(QString::number(e.box));
    learn->Panel17->setText(QString::number(e.passes));
    // Asked from the foreign side, the learner hears the word as it appears.
    if (currentSettings().direction != PageSettings::Direction::German)
        speechPanel_->drillWord(learn->Edit8->text());
}

void TForm1::BitBtn1Click()
{
    TLearnPage* L = learn;
    if (!isDrillRunning()) {
        L->Panel20->hide();
        L->setDrillFieldsReachable(true);
        L->SpeedButton2->setEnabled(true);
        L->SpeedButton2->move(390, L->SpeedButton2->y());
        L->BitBtn1->setText(QStringLiteral("Stop"));
        L->BitBtn1->setIcon(lazyStandardIcon(QStyle::SP_MediaStop));
        L->ToolButton12->setEnabled(false);
        L->ToolButton13->setEnabled(false);
        // Disabled too: Ctrl+Tab passes over disabled tabs, not over hidden ones.
        for (int i = 1; i < PageControl1->count(); ++i) {
            PageControl1->setTabVisible(i, false);
            PageControl1->setTabEnabled(i, false);
        }
        L->Edit7->clear();
        L->Edit8->clear();
        L->Panel16->clear();
        L->Panel18->clear();
        const bool extras = currentSettings().extraFields;
        for (QWidget* w : {static_cast<QWidget*>(L->Label11), static_cast<QWidget*>(L->Label12),
                           static_cast<QWidget*>(L->Panel16), static_cast<QWidget*>(L->Panel18)})
            w->setVisible(extras);
        table_.currentIndex = platform_.random.below(table_.wordCount);
        if (table_.currentIndex < 1)
            table_.currentIndex = 1;
        RunStartTime = platform_.clock.now();
        Timer1->start();
        SetupQueryDirection();
        SelectNextWord();
        return;
    }
    L->Panel20->show();
    L->setDrillFieldsReachable(false);
    L->SpeedButton2->setEnabled(false);
    L->SpeedButton2->move(200, L->SpeedButton2->y());
    L->BitBtn1->setText(QStringLiteral("Start"));
    L->BitBtn1->setIcon(lazyStandardIcon(QStyle::SP_MediaPlay));
    L->ToolButton12->setEnabled(true);
    L->ToolButton13->setEnabled(true);
    for (int i = 1; i < PageControl1->count(); ++i) {
        PageControl1->setTabEnabled(i, true);
        PageControl1->setTabVisible(i, true);
    }
    Timer1->stop();
    lastStopSave_ = SaveVocabulary();
    // A drill's moves are no edit while the save after it keeps them; once that save did not
    // happen they are unsaved changes like any other, and nothing may drop them unasked.
    if (lastStopSave_ != SaveOutcome::Saved)
        setModified(true);
}

void TForm1::SetupQueryDirection()
{
    const bool german = currentSettings().direction == PageSettings::Direction::German;
    QLineEdit* shown = german ? learn->Edit7 : learn->Edit8;
    QLineEdit* hidden = german ? learn->Edit8 : learn->Edit7;
    shown->move(shown->x(), 105);
    shown->show();
    hidden->hide();
    learn->Label8->setText(german ? QStringLiteral("Deutsch") : QStringLiteral("Fremdsprache"));
    learn->Label3->setText(german ? QStringLiteral("Fremdsprache") : QStringLiteral("Deutsch"));
    learn->Edit9->clear();
    learn->Edit9->setFocus();
    inputTarget_ = InputTarget::Answer;
}

bool TForm1::Edit9KeyDown(QKeyEvent* key)
{
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    // Enter submits and types nothing; outside a run the field is under the cover.
    if (isDrillRunning() && learn->Edit9->isEnabled()) {
        PlaySystemSound(QStringLiteral("plop"));
        learn->Edit9->setEnabled(false);
        EvaluateAnswer();
    }
    return true;
}

void TForm1::EvaluateAnswer()
{
    TLearnPage* L = learn;
    DrillCounters counts = L->counters();
    const PageSettings page = currentSettings();
    const bool german = page.direction == PageSettings::Direction::German;
    const QString expected = german ? L->Edit8->text() : L->Edit7->text();
    TWordEntry& word = table_.current();

    bool right = answersMatch(toCp1252(L->Edit9->text()), toCp1252(expected), page.caseSensitive);
    // Asked from the German side, the learner hears the right form once the answer is judged.
    if (german)
        speechPanel_->drillWord(L->Edit8->text());
    if (!right) {
        PlaySystemSound(QStringLiteral("conk"));
        OKBottomDlg->present(expected, page.fontName);
        // "Korrektur" (or closing the box): known, only misspelled.
        right = OKBottomDlg->exec() != QDialog::Accepted;
    }
    applyAnswer(word, right);
    ++(right ? counts.right : counts.wrong);
    L->Edit9->clear();
    DrillResultPending = true;
    ++counts.answered;
    L->showCounters(counts);
    RecountCompartments();
    L->Edit9->setEnabled(true);
    L->Edit9->setFocus();
    inputTarget_ = InputTarget::Answer;
    ReleaseFullCompartments(compartmentCounts, shownMaxima(), CompartmentFull);
    SelectNextWord();
}

void TForm1::UpdateGrade()
{
    if (learn->counters().answered == 0)
        return;
    // The grade follows the percentage as shown, with its two decimals.
    if (const std::optional<double> shown = learn->shownPercent())
        learn->Panel14->setText(QString::number(gradeForPercent(*shown)));
}

void TForm1::Timer1Timer()
{
    const qint64 seconds = RunStartTime.secsTo(platform_.clock.now());
    learn->Panel15->setText(QString::fromStdString(formatElapsed(seconds)));
}

void TForm1::TabSheet1Enter()
{
    if (!statusText().isEmpty())
        learn->BitBtn1->setEnabled(true);
}

void TForm1::ResetLearningDisplays()
{
    learn->resetDisplays();
    statusField->setStatus({});
}

void TForm1::PlaySystemSound(const QString& name)
{
    if (!currentSettings().sound)
        return;
    platform_.sound.play(fromLocalPath(folder_.sysDat()) + name + QStringLiteral(".wav"));
}

} // namespace tafelix
