#pragma once

#include <QWidget>

class QTextBrowser;

namespace tafelix {

// The help page in a read-only window of the program's own, for a desktop that has no viewer
// for it (or whose viewer failed). It is made on first need and reused afterwards.
class THelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // Loads the page, or says that it is missing, and brings the window to the front.
    void showPage(const QString& path);

    QTextBrowser* Browser; // the page; its links are followed inside the window
};

} // namespace tafelix
