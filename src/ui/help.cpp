#include "help.h"

#include "Widgets.h"

#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace tafelix {

namespace {
// A help page is a few kilobytes; anything far larger is not one and would only stall the
// window while it is laid out.
constexpr qint64 kMaxPageBytes = qint64{16} << 20;
} // namespace

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Tafelix – Hilfe"));
    useDesignedFont(this);
    installAccessibleRoles();
    resize(680, 560);
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("HelpBrowser"));
    Browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Browser);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

void THelpWindow::showPage(const QString& path)
{
    // Only a regular file is handed to the browser: a FIFO would block it and a folder or a
    // huge file would not be a page anyway.
    const QFileInfo page(path);
    if (page.isFile() && page.size() <= kMaxPageBytes) {
        Browser->setSource(QUrl::fromLocalFile(page.absoluteFilePath()));
    } else {
        Browser->setSource(QUrl());
        Browser->setPlainText(QStringLiteral("Die Hilfeseite %1 wurde nicht gefunden.")
                                  .arg(QDir::toNativeSeparators(path)));
    }
    show();
    raise();
    activateWindow();
}

} // namespace tafelix
