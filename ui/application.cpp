#include "ui/application.h"

#include <iostream>

namespace kivo::ui {

KivoApplication::KivoApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool KivoApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        Report(e.what());
    } catch (...) {
        Report("an unknown error");
    }
    return false;
}

void KivoApplication::Report(const std::string& text) {
    ++escaped_;
    std::cerr << "kivo: an operation stopped with an error that nothing handled: " << text
              << '\n';
    if (!Escaped) return;
    try {
        Escaped(text);
    } catch (...) {
        // The log is a courtesy; standard error has the text already.
    }
}

}  // namespace kivo::ui
