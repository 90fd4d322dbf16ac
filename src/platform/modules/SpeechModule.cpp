// The speech engine, in a module of its own: the speech-dispatcher client is only for a
// learner who listens.
//
// It talks to speech-dispatcher through the daemon's own client library rather than through
// Qt's speech engine, which stops speech by cancelling every client's messages: a blind
// learner's screen reader would fall silent at each new word.
//
// The connection lives on a thread of its own. Connecting starts the daemon when it is not
// running, which takes seconds, and a daemon that hangs makes every call hang with it;
// neither may hold up a window, the drill or the end of the program.
#include "Modules.h"

#include <QLocale>
#include <QObject>
#include <QTimer>

#include <libspeechd.h>

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tafelix {

namespace {

// A word of a vocabulary list is the least urgent speech on a desktop. Under this priority
// it never cuts off another program's message (a screen reader's): it waits for nothing,
// is dropped while another program speaks, and only the newest word is said.
constexpr SPDPriority kPriority = SPD_NOTIFICATION;
// An engine that has not answered by then is reported as not answering; it may still come
// up later, and then it speaks.
constexpr int kStartLimitMs = 20000;
// Starting the daemon can be reported as failed while it still comes up (seen with a locale
// the system lacks); a second try finds it running.
constexpr auto kRetry = std::chrono::milliseconds(1500);
// How long the end of the program waits for the connection to close. Closing takes
// microseconds; a thread still inside a hanging daemon is left to the end of the process.
constexpr auto kEndWait = std::chrono::milliseconds(500);

// What the engine's thread found when it connected.
struct Outcome {
    bool connected = false;
    bool answered = false;              // the daemon listed its voices
    std::vector<std::string> languages; // of the voices, as the daemon names them
};

// What the two threads share. The engine's thread holds it for as long as it runs, so
// nothing in here is freed under it, even when the program ends while the thread still
// waits for a daemon that hangs.
struct Channel {
    std::mutex mutex;
    std::condition_variable wake;
    bool quit = false;
    bool finished = false;
    // The word to say next, in UTF-8, and the language to say it in as the daemon names it.
    std::optional<std::pair<std::string, std::string>> word;
    // Runs on the user-interface thread once the connection is up or has failed; emptied
    // when the engine goes away.
    std::function<void(Outcome)> report;
};

SPDConnection* openConnection()
{
    char* error = nullptr;
    SPDConnection* c = spd_open2("tafelix", "words", nullptr, SPD_MODE_SINGLE, nullptr,
                                 /*autospawn*/ 1, &error);
    free(error); // NOLINT: allocated by the library with malloc
    return c;
}

void disconnect(SPDConnection* c)
{
    // After a broken connection the library has already closed the socket with its stream;
    // closing the number again could close a file that another thread opened since.
    if (!c->stream)
        c->socket = -1;
    spd_close(c);
}

// The languages of the voices in the daemon's answer to LIST SYNTHESIS_VOICES: lines of
// "249-name<TAB>language<TAB>variant", each language once.
std::vector<std::string> voiceLanguages(const std::string& reply)
{
    std::vector<std::string> languages;
    std::size_t at = 0;
    while (at < reply.size()) {
        std::size_t end = reply.find('\n', at);
        if (end == std::string::npos)
            end = reply.size();
        const std::string line = reply.substr(at, end - at);
        at = end + 1;
        if (line.size() < 5 || line[3] != '-')
            continue;
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        std::string language = line.substr(tab + 1, line.find_first_of("\t\r", tab + 1) - tab - 1);
        if (!language.empty() && (languages.empty() || languages.back() != language))
            languages.push_back(std::move(language));
    }
    return languages;
}

// The engine's thread: connects, lists the voices once, then says each word it is given.
void run(const std::shared_ptr<Channel>& channel)
{
    // Named, so that a thread left inside a hanging daemon can be told apart from the rest.
    pthread_setname_np(pthread_self(), "tafelix-speech");
    SPDConnection* c = openConnection();
    if (!c) {
        std::unique_lock lock(channel->mutex);
        if (channel->wake.wait_for(lock, kRetry, [&] { return channel->quit; })) {
            channel->finished = true;
            channel->wake.notify_all();
            return;
        }
        lock.unlock();
        c = openConnection();
    }
    // A daemon that goes away must not end the program through SIGPIPE: a write to it
    // fails instead. Only this thread writes to the daemon.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    Outcome outcome;
    if (c && !c->stream) { // the daemon took the connection and let go of it again
        disconnect(c);
        c = nullptr;
    }
    outcome.connected = c != nullptr;
    if (c) {
        // Asked directly rather than through spd_list_synthesis_voices(), which reads a
        // reply that a broken connection left missing.
        char* reply = nullptr;
        if (spd_execute_command_with_reply(c, "LIST SYNTHESIS_VOICES", &reply) == 0 && reply) {
            outcome.answered = true;
            outcome.languages = voiceLanguages(reply);
        }
        free(reply); // NOLINT: allocated by the library with malloc
    }
    {
        const std::lock_guard lock(channel->mutex);
        if (channel->report)
            channel->report(std::move(outcome));
    }

    std::string language; // the connection's language
    for (;;) {
        std::unique_lock lock(channel->mutex);
        channel->wake.wait(lock, [&] { return channel->quit || channel->word; });
        if (channel->quit)
            break;
        auto [text, wanted] = std::move(*channel->word);
        channel->word.reset();
        lock.unlock();

        if (!c) { // never up, or lost: the daemon may be back by now
            c = openConnection();
            language.clear();
            if (!c)
                continue;
        }
        // Only this program's own word still being said is cut off.
        spd_cancel(c);
        if (wanted != language && spd_set_language(c, wanted.c_str()) == 0)
            language = wanted;
        if (spd_say(c, kPriority, text.c_str()) < 0 && !c->stream) {
            disconnect(c);
            c = nullptr;
        }
    }
    if (c)
        disconnect(c);
    const std::lock_guard lock(channel->mutex);
    channel->finished = true;
    channel->wake.notify_all();
}

// The language a voice was listed with, and the locale Qt reads from it.
struct VoiceLanguage {
    QLocale locale;
    std::string name;
};

class SpeechEngine : public ISpeech {
public:
    SpeechEngine() : channel_(std::make_shared<Channel>()), ui_(new QObject)
    {
        // Runs on the engine's thread under the channel's lock; the call it posts runs on
        // this thread only while ui_ lives, and ui_ dies first when the engine goes.
        channel_->report = [ui = ui_, this](Outcome outcome) {
            QMetaObject::invokeMethod(
                ui, [this, outcome = std::move(outcome)] { take(outcome); }, Qt::QueuedConnection);
        };
        thread_ = std::thread(run, channel_);
        QTimer::singleShot(kStartLimitMs, ui_, [this] {
            if (ready_)
                return;
            reason_ = QStringLiteral("Keine Sprachausgabe: speech-dispatcher antwortet nicht.");
            markReady();
        });
    }

    ~SpeechEngine() override
    {
        std::unique_lock lock(channel_->mutex);
        channel_->report = nullptr;
        channel_->quit = true;
        channel_->wake.notify_all();
        const bool finished =
            channel_->wake.wait_for(lock, kEndWait, [this] { return channel_->finished; });
        lock.unlock();
        delete ui_;
        if (finished)
            thread_.join();
        else
            thread_.detach(); // it keeps the channel; the end of the process ends it
    }

    SpeechEngine(const SpeechEngine&) = delete;
    SpeechEngine& operator=(const SpeechEngine&) = delete;

    void start() override {}

    void speak(const QString& text, const QString& language) override
    {
        // Only the latest word is said: what the learner asked for while the engine was
        // busy starting is out of date.
        if (ready_)
            pass(text, language);
        else
            waitingWord_ = {text, language};
    }

    void whenReady(std::function<void()> ready) override
    {
        if (ready_)
            QTimer::singleShot(0, ui_, std::move(ready));
        else
            waiting_.push_back(std::move(ready));
    }

    bool isReady() override { return ready_; }
    QStringList languages() override { return ready_ ? codes_ : QStringList(); }
    QString unavailable() override { return ready_ ? reason_ : QString(); }

private:
    // ---- on the user-interface thread

    void take(const Outcome& outcome)
    {
        voices_.clear();
        codes_.clear();
        for (const std::string& name : outcome.languages) {
            const QLocale locale(QString::fromStdString(name));
            // Languages Qt does not know come as the C locale, which calls itself "en": an
            // English word would get some other voice.
            if (locale.language() == QLocale::C)
                continue;
            const QString code = locale.bcp47Name();
            // Several voices may share a code; the one the code stands for on its own
            // (en: en-US) is kept.
            const auto it = voices_.find(code);
            if (it != voices_.end() &&
                (it->second.locale == QLocale(code) || locale != QLocale(code)))
                continue;
            if (it == voices_.end())
                codes_ << code;
            voices_[code] = {locale, name};
        }
        codes_.sort();
        if (!outcome.connected)
            reason_ = QStringLiteral("Keine Sprachausgabe: speech-dispatcher ist nicht "
                                     "installiert oder startet nicht.");
        else if (!outcome.answered)
            reason_ = QStringLiteral("Keine Sprachausgabe: speech-dispatcher antwortet nicht.");
        else if (codes_.isEmpty())
            reason_ = QStringLiteral("Keine Sprachausgabe: für speech-dispatcher ist keine "
                                     "Stimme installiert (speech-dispatcher-espeak-ng).");
        else
            reason_.clear();
        markReady();
    }

    void markReady()
    {
        ready_ = true;
        if (auto word = std::exchange(waitingWord_, std::nullopt))
            pass(word->first, word->second);
        for (auto& done : std::exchange(waiting_, {}))
            done();
    }

    // The voice language that speaks `code`: the same code, else the code Qt gives the same
    // locale ("fr-FR" is "fr"), else the language's own region, else any region of it.
    const VoiceLanguage* voiceFor(const QString& code) const
    {
        const QLocale wanted(code);
        const QLocale::Language language = wanted.language();
        if (language == QLocale::C || language == QLocale::AnyLanguage)
            return nullptr;
        for (const QString& c : {code, wanted.bcp47Name(), QLocale::languageToCode(language)})
            if (const auto it = voices_.find(c); it != voices_.end())
                return &it->second;
        for (const auto& [c, voice] : voices_)
            if (voice.locale.language() == language)
                return &voice;
        return nullptr;
    }

    void pass(const QString& text, const QString& code)
    {
        const VoiceLanguage* voice = voiceFor(code);
        if (!voice)
            return;
        const std::lock_guard lock(channel_->mutex);
        channel_->word = {text.toStdString(), voice->name};
        channel_->wake.notify_all();
    }

    std::shared_ptr<Channel> channel_;
    std::thread thread_;
    QObject* ui_; // runs calls on the user-interface thread

    bool ready_ = false;
    QString reason_;
    QStringList codes_;
    std::map<QString, VoiceLanguage> voices_;
    std::optional<std::pair<QString, QString>> waitingWord_;
    std::vector<std::function<void()>> waiting_;
};

} // namespace

} // namespace tafelix

extern "C" Q_DECL_EXPORT tafelix::ISpeech* tafelixCreateSpeech()
{
    return new tafelix::SpeechEngine;
}
