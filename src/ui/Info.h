#pragma once

#include <QDialog>
#include <QString>

class QEvent;
class QFrame;
class QLabel;
class QPushButton;
class QShowEvent;

namespace tafelix {

class IShell;

// The about box "Info". Created once at start-up and shown modally by the main window; the
// texts are set when it is created, so every showing looks the same.
class TAboutBox : public QDialog {
    Q_OBJECT

public:
    // `emblemPath` names the JPEG emblem in the program folder; a missing or damaged file just
    // leaves the picture empty.
    TAboutBox(IShell& shell, const QString& emblemPath, QWidget* parent = nullptr);

    QFrame* Panel1;        // sunken frame around everything but the button
    QLabel* ProgramIcon;   // the program's emblem, scaled into 70 x 70
    QLabel* ProductName;   // "Tafelix"
    QLabel* Version;       // "Version : 1.32"
    QLabel* Copyright;     // copyright line, wrapped
    QLabel* Author;        // caption "Autor :"
    QLabel* Adresse;       // the author's name and postal address, two lines
    QLabel* Comments;      // the web address; a click opens it
    QPushButton* OKButton; // "OK", default button, closes the box

public slots:
    // Hands the web address to the desktop; whether a browser opens is not our business.
    void CommentsClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void applyFonts();

    IShell& m_shell;
    QString m_emblemPath; // decoded when the box is first shown; empty once done
    bool m_fontsApplied = false;
};

} // namespace tafelix
