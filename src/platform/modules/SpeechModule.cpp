// The speech engine behind QtSpeech, in a module of its own: Qt's speech library and the
// speech-dispatcher client are only for a learner who listens.
//
// The engine lives on a thread of its own. Connecting to speech-dispatcher starts the
// daemon when it is not running, which took five seconds here, and a daemon that hangs
// makes the connection hang with it; neither may hold up a window or the drill.
#include "Modules.h"

#include <QCoreApplication>
#include <QHash>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>
#include <QTextToSpeech>
#include <QThread>
#include <QTimer>
#include <QVoice>

#include <optional>
#include <utility>
#include <vector>

namespace tafelix {

namespace {

constexpr char kEngine[] = "speechd";
// An engine that has not answered by then is reported as not answering; it may still come
// up later, and then it speaks.
constexpr int kStartLimitMs = 20000;
constexpr unsigned long kRetryMs = 1500;

class SpeechEngine : public ISpeech {
public:
    SpeechEngine() : thread_(new QThread), worker_(new QObject), ui_(new QObject)
    {
        thread_->setObjectName(QStringLiteral("tafelix-speech"));
        worker_->moveToThread(thread_);
        thread_->start();
        QMetaObject::invokeMethod(
            worker_, [this] { start(); }, Qt::QueuedConnection);
        QTimer::singleShot(kStartLimitMs, ui_, [this] {
            if (ready_)
                return;
            {
                const QMutexLocker lock(&mutex_);
                reason_ = QStringLiteral("Keine Sprachausgabe: speech-dispatcher antwortet nicht.");
            }
            markReady();
        });
    }

    ~SpeechEngine() override
    {
        delete ui_;
        QMetaObject::invokeMethod(
            worker_,
            [this] {
                delete tts_;
                tts_ = nullptr;
                QThread::currentThread()->quit();
            },
            Qt::QueuedConnection);
        // An engine stuck in the daemon cannot be stopped; the end of the process ends it.
        if (thread_->wait(2000)) {
            delete worker_;
            delete thread_;
        }
    }

    void speak(const QString& text, const QString& language) override
    {
        {
            const QMutexLocker lock(&mutex_);
            pending_ = Request{text, language};
        }
        // Only the latest request is spoken: what the learner asked for while the engine
        // was busy starting is out of date.
        QMetaObject::invokeMethod(
            worker_, [this] { sayPending(); }, Qt::QueuedConnection);
    }

    void whenReady(std::function<void()> ready) override
    {
        if (ready_)
            QTimer::singleShot(0, ui_, std::move(ready));
        else
            waiting_.push_back(std::move(ready));
    }

    bool isReady() override { return ready_; }

    QStringList languages() override
    {
        const QMutexLocker lock(&mutex_);
        return ready_ ? codes_ : QStringList();
    }

    QString unavailable() override
    {
        const QMutexLocker lock(&mutex_);
        return ready_ ? reason_ : QString();
    }

    QString voiceFor(const QString& language) override
    {
        const QMutexLocker lock(&mutex_);
        const auto it = voices_.constFind(language);
        return it == voices_.cend() ? QString() : it.value();
    }

private:
    struct Request {
        QString text, language;
    };

    // ---- on the engine's thread

    void start()
    {
        QString reason;
        QStringList codes;
        QHash<QString, QLocale> locales;
        QHash<QString, QString> voices;
        if (!QTextToSpeech::availableEngines().contains(QLatin1String(kEngine))) {
            reason = QStringLiteral("Keine Sprachausgabe: das Qt-Modul für speech-dispatcher "
                                    "(qt6-speech-speechd-plugin) ist nicht installiert.");
        } else {
            tts_ = new QTextToSpeech(QLatin1String(kEngine));
            if (tts_->state() == QTextToSpeech::Error) {
                // Starting the daemon can be reported as failed while it still comes up
                // (seen with a locale the system lacks); a second try finds it running.
                delete tts_;
                QThread::msleep(kRetryMs);
                tts_ = new QTextToSpeech(QLatin1String(kEngine));
            }
            if (tts_->state() == QTextToSpeech::Error) {
                reason = QStringLiteral("Keine Sprachausgabe: speech-dispatcher ist nicht "
                                        "installiert oder startet nicht.");
            } else {
                const QLocale initial = tts_->locale();
                for (const QLocale& locale : tts_->availableLocales()) {
                    const QString code = locale.bcp47Name();
                    // Voices of languages Qt does not know come as the C locale, which
                    // calls itself "en": an English word would get some other voice.
                    if (locale.language() == QLocale::C)
                        continue;
                    // Several locales may share a code; the one the code stands for on its
                    // own (en: en_US) is kept.
                    if (locales.contains(code) &&
                        (locales.value(code) == QLocale(code) || locale != QLocale(code)))
                        continue;
                    if (!locales.contains(code))
                        codes << code;
                    locales.insert(code, locale);
                    tts_->setLocale(locale);
                    voices.insert(code, tts_->voice().name());
                }
                tts_->setLocale(initial);
                codes.sort();
                if (codes.isEmpty())
                    reason =
                        QStringLiteral("Keine Sprachausgabe: für speech-dispatcher ist "
                                       "keine Stimme installiert (speech-dispatcher-espeak-ng).");
            }
        }
        {
            const QMutexLocker lock(&mutex_);
            reason_ = reason;
            codes_ = codes;
            voices_ = voices;
        }
        locales_ = std::move(locales);
        QMetaObject::invokeMethod(
            ui_, [this] { markReady(); }, Qt::QueuedConnection);
        sayPending();
    }

    // The locale that speaks `code`: the same code, else the code Qt gives the same locale
    // ("fr-FR" is "fr"), else the language's own region, else any region of the language.
    std::optional<QLocale> localeFor(const QString& code) const
    {
        const QLocale wanted(code);
        const QLocale::Language language = wanted.language();
        if (language == QLocale::C || language == QLocale::AnyLanguage)
            return std::nullopt;
        for (const QString& c : {code, wanted.bcp47Name(), QLocale::languageToCode(language)})
            if (const auto it = locales_.constFind(c); it != locales_.cend())
                return it.value();
        for (const QLocale& l : locales_)
            if (l.language() == language)
                return l;
        return std::nullopt;
    }

    void sayPending()
    {
        std::optional<Request> request;
        {
            const QMutexLocker lock(&mutex_);
            if (!reason_.isEmpty() && codes_.isEmpty())
                pending_.reset();
            request = std::exchange(pending_, std::nullopt);
        }
        if (!request || !tts_ || locales_.isEmpty())
            return;
        const std::optional<QLocale> locale = localeFor(request->language);
        if (!locale)
            return;
        if (tts_->state() != QTextToSpeech::Ready)
            tts_->stop();
        if (tts_->locale() != *locale)
            tts_->setLocale(*locale);
        tts_->say(request->text);
    }

    // ---- on the user-interface thread

    void markReady()
    {
        ready_ = true;
        for (auto& done : std::exchange(waiting_, {}))
            done();
    }

    QThread* thread_;
    QObject* worker_; // runs calls on the engine's thread
    QObject* ui_;     // runs calls on the user-interface thread

    // The engine's thread only.
    QTextToSpeech* tts_ = nullptr;
    QHash<QString, QLocale> locales_;

    // The user-interface thread only.
    bool ready_ = false;
    std::vector<std::function<void()>> waiting_;

    // Both.
    QMutex mutex_;
    QString reason_;
    QStringList codes_;
    QHash<QString, QString> voices_;
    std::optional<Request> pending_;
};

} // namespace

} // namespace tafelix

extern "C" Q_DECL_EXPORT tafelix::ISpeech* tafelixCreateSpeech()
{
    return new tafelix::SpeechEngine;
}
