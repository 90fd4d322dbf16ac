// The sound player behind QtSound, in a module of its own: Qt Multimedia brings PulseAudio,
// libsndfile, Qt Network and Kerberos along, which the program should not load before its
// window shows.
#include "Modules.h"

#include <QFileInfo>
#include <QHash>
#include <QSoundEffect>
#include <QUrl>

namespace tafelix {

namespace {

class SoundEffectPlayer : public ISound {
public:
    ~SoundEffectPlayer() override { qDeleteAll(effects_); }

    void play(const QString& wavPath) override
    {
        stop();
        if (!QFileInfo::exists(wavPath))
            return;
        QSoundEffect*& effect = effects_[wavPath];
        if (!effect) {
            effect = new QSoundEffect;
            effect->setSource(QUrl::fromLocalFile(wavPath));
        }
        if (effect->status() == QSoundEffect::Error)
            return;
        effect->play();
    }

    void stop() override
    {
        for (QSoundEffect* e : std::as_const(effects_))
            e->stop();
    }

private:
    // One effect per file, kept for the run: loading a WAV again for each answer would
    // delay every sound.
    QHash<QString, QSoundEffect*> effects_;
};

} // namespace

} // namespace tafelix

extern "C" Q_DECL_EXPORT tafelix::ISound* tafelixCreateSound()
{
    return new tafelix::SoundEffectPlayer;
}
