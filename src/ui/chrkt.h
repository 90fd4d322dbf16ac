#pragma once

#include <QWidget>

namespace tafelix {

// The special characters window: not modal, picks characters the keyboard lacks.
class TSonderzeichen : public QWidget {
    Q_OBJECT
public:
    explicit TSonderzeichen(QWidget* parent = nullptr);
};

} // namespace tafelix
