#pragma once

#include "Platform.h"

#include <QLibrary>
#include <QStringList>

namespace tafelix {

// Sound and printing pull in big libraries (Qt Multimedia with PulseAudio and its codecs, Qt
// Print Support with CUPS and Kerberos) that the window does not need in order to appear. So
// they live in two modules beside the program, loaded at their first use.

using CreateSoundModule = ISound* (*)();
using CreatePrinterModule = IPrinter* (*)();
inline constexpr char kSoundModule[] = "libtafelix_sound.so";
inline constexpr char kCreateSoundModule[] = "tafelixCreateSound";
inline constexpr char kPrinterModule[] = "libtafelix_printer.so";
inline constexpr char kCreatePrinterModule[] = "tafelixCreatePrinter";
// Speech brings Qt's speech library and the speech-dispatcher client, which only a learner
// who listens needs; it is loaded when a page first asks about it.
using CreateSpeechModule = ISpeech* (*)();
inline constexpr char kSpeechModule[] = "libtafelix_speech.so";
inline constexpr char kCreateSpeechModule[] = "tafelixCreateSpeech";

// Where the modules are looked for: "plugins" beside the executable (the build and a portable
// program folder), then the package's module folder relative to /usr/bin (set by the build:
// "../lib/<multiarch triplet>/tafelix").
QStringList defaultModuleDirs();

// One module, loaded at most once for the run and never unloaded, since objects it made may
// live until the end.
class ModuleLoader {
public:
    ModuleLoader(const char* fileName, QStringList dirs);
    // The exported function of that name, or nullptr when the module is missing or broken.
    // A failed load is not tried again.
    QFunctionPointer resolve(const char* symbol);
    // The module's name and, after a failed load, where it was looked for.
    QString describe() const;

private:
    QString fileName_;
    QStringList dirs_;
    QLibrary library_;
    bool tried_ = false;
};

} // namespace tafelix
