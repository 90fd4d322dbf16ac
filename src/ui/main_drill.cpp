// The learning page: compartments, the drill run and its counters.
#include "main.h"

#include "fail.h"

#include "core/Drill.h"
#include "core/Percent.h"
#include "platform/Cp1252Text.h"

#include <QKeyEvent>
#include <QLocale>
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
    // The drill uses the sizes as the settings page shows them.
    return {settings->Panel23->text().toInt(), settings->Panel24->text().toInt(),
            settings->Panel25->text().toInt(), settings->Panel26->text().toInt()};
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
}

void TForm1::BitBtn1Click()
{
    TLearnPage* L = learn;
    if (!isDrillRunning()) {
        L->Panel20->hide();
        L->SpeedButton2->setEnabled(true);
        L->SpeedButton2->move(390, L->SpeedButton2->y());
        L->BitBtn1->setText(QStringLiteral("Stop"));
        L->BitBtn1->setIcon(lazyStandardIcon(QStyle::SP_MediaStop));
        L->ToolButton12->setEnabled(false);
        L->ToolButton13->setEnabled(false);
        for (int i = 1; i < PageControl1->count(); ++i)
            PageControl1->setTabVisible(i, false);
        L->Edit7->clear();
        L->Edit8->clear();
        L->Panel16->clear();
        L->Panel18->clear();
        const bool extras = settings->RadioGroup6->itemIndex() == 0;
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
    L->SpeedButton2->setEnabled(false);
    L->SpeedButton2->move(200, L->SpeedButton2->y());
    L->BitBtn1->setText(QStringLiteral("Start"));
    L->BitBtn1->setIcon(lazyStandardIcon(QStyle::SP_MediaPlay));
    L->ToolButton12->setEnabled(true);
    L->ToolButton13->setEnabled(true);
    for (int i = 1; i < PageControl1->count(); ++i)
        PageControl1->setTabVisible(i, true);
    Timer1->stop();
    lastStopSave_ = SaveVocabulary();
}

void TForm1::SetupQueryDirection()
{
    const bool german = settings->RadioGroup1->itemIndex() == 0;
    QLineEdit* shown = german ? learn->Edit7 : learn->Edit8;
    QLineEdit* hidden = german ? learn->Edit8 : learn->Edit7;
    shown->move(shown->x(), 105);
    shown->show();
    hidden->hide();
    learn->Label8->setText(german ? QStringLiteral("Deutsch") : QStringLiteral("Fremdsprache"));
    learn->Label3->setText(german ? QStringLiteral("Fremdsprache") : QStringLiteral("Deutsch"));
    learn->Edit9->clear();
    learn->Edit9->setFocus();
    InputTarget = 9;
}

bool TForm1::Edit9KeyDown(QKeyEvent* key)
{
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    // Enter submits and types nothing; outside a run the field is under the cover.
    if (isDrillRunning() && learn->Edit9->isEnabled()) {
        PlaySystemSound(QStringLiteral("SysDat/plop"));
        learn->Edit9->setEnabled(false);
        EvaluateAnswer();
    }
    return true;
}

void TForm1::EvaluateAnswer()
{
    TLearnPage* L = learn;
    int answered = L->Panel10->text().toInt();
    int right = L->Panel12->text().toInt();
    int wrong = L->Panel11->text().toInt();
    const bool german = settings->RadioGroup1->itemIndex() == 0;
    const QString expected = german ? L->Edit8->text() : L->Edit7->text();
    const bool caseSensitive = settings->RadioGroup2->itemIndex() == 0;
    TWordEntry& word = table_.current();

    if (answersMatch(toCp1252(L->Edit9->text()), toCp1252(expected), caseSensitive)) {
        applyAnswer(word, true);
        ++right;
        L->Panel12->setText(QString::number(right));
        L->Edit9->clear();
    } else {
        PlaySystemSound(QStringLiteral("SysDat/conk"));
        OKBottomDlg->present(expected, settings->Panel27->text());
        if (OKBottomDlg->exec() == QDialog::Accepted) {
            applyAnswer(word, false);
            ++wrong;
            L->Panel11->setText(QString::number(wrong));
        } else {
            // "Korrektur": known, only misspelled.
            applyAnswer(word, true);
            ++right;
            L->Panel12->setText(QString::number(right));
        }
        L->Edit9->clear();
    }
    DrillResultPending = true;
    ++answered;
    L->Panel10->setText(QString::number(answered));
    L->Panel13->setText(localeNumber(percentRight(right, answered)));
    RecountCompartments();
    L->Edit9->setEnabled(true);
    L->Edit9->setFocus();
    InputTarget = 9;
    ReleaseFullCompartments(compartmentCounts, shownMaxima(), CompartmentFull);
    SelectNextWord();
}

QString TForm1::localeNumber(double value) const
{
    // Every shown percentage goes through one formatter, so the learning page, the log and
    // the diagram round a tie the same way.
    // The locale's separator is put in afterwards, as it need not be one byte.
    return QString::fromStdString(formatPercent(value, '.'))
        .replace(QLatin1Char('.'), QLocale().decimalPoint());
}

void TForm1::UpdateGrade()
{
    if (learn->Panel10->text() == QStringLiteral("0"))
        return;
    // The grade follows the percentage as shown, with its two decimals.
    bool ok = false;
    const double shown = QLocale().toDouble(learn->Panel13->text(), &ok);
    if (!ok)
        return;
    learn->Panel14->setText(QString::number(gradeForPercent(shown)));
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
    TLearnPage* L = learn;
    for (QLabel* p :
         {L->Panel4, L->Panel5, L->Panel6, L->Panel7, L->Panel8, L->Panel9, L->Panel10, L->Panel11,
          L->Panel12, L->Panel13, L->Panel14, L->Panel17, L->Panel19, L->Panel21})
        p->setText(QStringLiteral("0"));
    L->Panel15->setText(QStringLiteral("00:00:00"));
    statusField->setStatus({});
}

void TForm1::PlaySystemSound(const QString& name)
{
    if (settings->RadioGroup4->itemIndex() == 1)
        return;
    platform_.sound.play(ProgramDir + name + QStringLiteral(".wav"));
}

} // namespace tafelix
