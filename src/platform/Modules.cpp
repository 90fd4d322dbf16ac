#include "Modules.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace tafelix {

QStringList defaultModuleDirs()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    return {exeDir + QStringLiteral("/plugins"),
            QDir::cleanPath(exeDir + QStringLiteral("/" TAFELIX_MODULES_FROM_BIN))};
}

ModuleLoader::ModuleLoader(const char* fileName, QStringList dirs)
    : fileName_(QString::fromLatin1(fileName)), dirs_(std::move(dirs))
{}

QFunctionPointer ModuleLoader::resolve(const char* symbol)
{
    if (!tried_) {
        tried_ = true;
        for (const QString& dir : std::as_const(dirs_)) {
            const QString path = dir + QLatin1Char('/') + fileName_;
            if (!QFileInfo::exists(path))
                continue;
            library_.setFileName(path);
            // A module that fails to load is broken; an older copy further down the list
            // would not match this program either.
            library_.load();
            break;
        }
    }
    return library_.isLoaded() ? library_.resolve(symbol) : nullptr;
}

QString ModuleLoader::describe() const
{
    if (library_.isLoaded() || !library_.fileName().isEmpty())
        return QDir::toNativeSeparators(library_.fileName());
    return fileName_;
}

} // namespace tafelix
