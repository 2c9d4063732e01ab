#pragma once

#include <QApplication>

namespace kaptiv {

// The application object. Every event passes through notify(), so this is the one place where an
// error raised by a command is caught and shown; the program then goes on.
class KaptivApplication : public QApplication {
    Q_OBJECT
public:
    KaptivApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace kaptiv
