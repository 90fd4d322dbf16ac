// Stands in for a screen reader: a second speech-dispatcher client that reads a long text at
// the priority a reader uses and reports how its message ended.
//
// Usage: screen_reader text|message
// Prints "begin <ms since the epoch>" when the daemon starts the message, then "end <ms>"
// when it was read to its end or "cancel <ms>" when something cut it off, and exits 0
// (1 when the daemon cannot be reached or reports nothing within two minutes).
#include <libspeechd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace {

std::mutex mutex;
std::condition_variable changed;
std::string outcome; // "end" or "cancel", once the message is over

long long now()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void begun(size_t, size_t, SPDNotificationType)
{
    std::printf("begin %lld\n", now());
    std::fflush(stdout);
}

void over(const char* how)
{
    const std::lock_guard lock(mutex);
    if (outcome.empty())
        outcome = how;
    changed.notify_all();
}

void ended(size_t, size_t, SPDNotificationType)
{
    over("end");
}

void cancelled(size_t, size_t, SPDNotificationType)
{
    over("cancel");
}

} // namespace

int main(int argc, char** argv)
{
    const bool text = argc > 1 && std::strcmp(argv[1], "text") == 0;
    char* error = nullptr;
    SPDConnection* c =
        spd_open2("screen_reader", "main", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
    if (!c) {
        std::fprintf(stderr, "screen_reader: %s\n", error ? error : "no connection");
        return 1;
    }
    c->callback_begin = begun;
    c->callback_end = ended;
    c->callback_cancel = cancelled;
    spd_set_notification_on(c, SPD_BEGIN);
    spd_set_notification_on(c, SPD_END);
    spd_set_notification_on(c, SPD_CANCEL);
    spd_set_language(c, "en");
    const char* page =
        "The screen reader reads the whole page aloud, one sentence after another, while the "
        "learner listens. Every word of this paragraph has to be heard to its end, because a "
        "blind learner cannot look at the screen to find out what was cut off. The vocabulary "
        "trainer may speak its own words in between or after this text, but it must never "
        "silence the screen reader. This is the last sentence of the page, and it ends here.";
    if (spd_say(c, text ? SPD_TEXT : SPD_MESSAGE, page) < 0) {
        std::fprintf(stderr, "screen_reader: the daemon did not take the text\n");
        return 1;
    }
    std::unique_lock lock(mutex);
    if (!changed.wait_for(lock, std::chrono::minutes(2), [] { return !outcome.empty(); })) {
        std::fprintf(stderr, "screen_reader: no end reported\n");
        return 1;
    }
    std::printf("%s %lld\n", outcome.c_str(), now());
    std::fflush(stdout);
    lock.unlock();
    spd_close(c);
    return 0;
}
