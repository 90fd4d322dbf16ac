#include "QtTranslations.h"

#include <QApplication>
#include <QEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QWidget>

namespace tafelix {

QtTranslations::QtTranslations(const QWidget* mainWindow) : mainWindow_(mainWindow)
{
    qApp->installEventFilter(this);
}

QtTranslations::~QtTranslations()
{
    if (loaded_)
        QApplication::removeTranslator(&translator_);
}

void QtTranslations::load()
{
    if (loaded_)
        return;
    loaded_ = true;
    qApp->removeEventFilter(this);
    if (translator_.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&translator_);
}

bool QtTranslations::eventFilter(QObject* watched, QEvent* event)
{
    // A window is polished once, just before it is first shown; a dialog's texts are set by
    // then, and the language change that follows the load reaches it before its first paint.
    // Menus do not count: the menu bar polishes its own as the window is made, and they hold
    // only the program's texts; a field's menu comes with a context menu request.
    if (event->type() == QEvent::ContextMenu) {
        load();
    } else if (event->type() == QEvent::Polish && watched->isWidgetType() &&
               watched != mainWindow_) {
        const auto* widget = static_cast<const QWidget*>(watched);
        if (widget->isWindow() && widget->windowType() != Qt::Desktop &&
            !qobject_cast<const QMenu*>(widget))
            load();
    }
    return false;
}

} // namespace tafelix
