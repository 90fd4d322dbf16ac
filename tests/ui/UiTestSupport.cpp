#include "UiTestSupport.h"

#include "ui/fail.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

namespace tafelix::test {

namespace {
struct GermanLocale {
    GermanLocale() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
} const germanLocale;
} // namespace

ProgramFolder::ProgramFolder()
{
    QDir d(dir_.path());
    d.mkpath(QStringLiteral("SysDat"));
    d.mkpath(QStringLiteral("Vokabeln"));
    d.mkpath(QStringLiteral("Ausgabe"));
    d.mkpath(QStringLiteral("helpfiles"));
    const QString tmpl = QStringLiteral(TAFELIX_PROGRAM_TEMPLATE) + QStringLiteral("/SysDat/");
    for (const char* name : {"Init.dat", "Statistik.dat", "plop.wav", "conk.wav", "emblem.jpg"})
        QFile::copy(tmpl + QString::fromLatin1(name),
                    file(QStringLiteral("SysDat/") + QString::fromLatin1(name)));
}

void ProgramFolder::write(const QString& relative, const QByteArray& bytes) const
{
    QFile f(file(relative));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray ProgramFolder::read(const QString& relative) const
{
    QFile f(file(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool ProgramFolder::exists(const QString& relative) const
{
    return QFile::exists(file(relative));
}

Harness::Harness(std::optional<QString> fileArg, bool show)
{
    if (show)
        start(std::move(fileArg), show);
}

void Harness::start(std::optional<QString> fileArg, bool show)
{
    form = std::make_unique<TForm1>(*table, doubles.platform(), folder.path(), std::move(fileArg));
    if (show)
        form->show();
}

Harness::~Harness()
{
    if (form) {
        // The exit sequence may ask questions of its own; a test that cares scripts them.
        form->hide();
        form.reset();
    }
}

void Harness::restart(std::optional<QString> fileArg)
{
    form->close();
    form.reset();
    start(std::move(fileArg));
}

void onNextModal(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    auto deadline = std::make_shared<QElapsedTimer>();
    deadline->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, deadline, action] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        } else if (deadline->elapsed() > 5000) {
            timer->stop();
            timer->deleteLater();
            qWarning("no modal dialog appeared");
        }
    });
    timer->start();
}

void answerCorrection(bool confirmWrong)
{
    onNextModal([confirmWrong](QWidget* modal) {
        auto* dlg = qobject_cast<TOKBottomDlg*>(modal);
        if (!dlg) {
            qWarning("expected the wrong-answer dialog");
            modal->close();
            return;
        }
        (confirmWrong ? dlg->OKBtn : dlg->Button1)->click();
    });
}

QStringList Harness::surprises() const
{
    return doubles.dialogs.unexpected + doubles.dialogs.pending();
}

QByteArray logBytes(const std::vector<StatisticsRecord>& records)
{
    return QByteArray(reinterpret_cast<const char*>(records.data()),
                      static_cast<qsizetype>(records.size() * sizeof(StatisticsRecord)));
}

QByteArray vkb(std::initializer_list<std::array<const char*, 6>> words)
{
    QByteArray out("VKB Vokabeldatei\r\n");
    for (const auto& w : words)
        for (const char* line : w)
            out += QByteArray(line) + "\r\n";
    return out;
}

} // namespace tafelix::test
