// Measures the message list on a large mailbox: the main window opened on a mailbox of N
// messages whose index is current, until the list is painted, and the list scrolled from top
// to bottom a page at a time, each page painted. Prints milliseconds. Run by bench/tasks/list.sh.

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTableView>
#include <cstdio>
#include <fstream>

#include "ui/mainwindow.h"
#include "ui/qtplatform.h"
#include "ui/windows.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_list FOLDER COUNT\n");
        return 2;
    }
    const fs::path home = argv[1];
    const int count = std::atoi(argv[2]);
    kivo::ui::PrepareApplication();
    QApplication app(argc, argv);
    fs::create_directories(home / "Mail");
    {
        std::ofstream ini(home / "kivo.ini", std::ios::binary);
        ini << "[Mail]\r\nPrompt=0\r\n[Program]\r\nOpened=In\r\n";
        std::ofstream mbx(home / "Mail" / "In.mbx", std::ios::binary);
        for (int k = 0; k < count; ++k) {
            mbx << "From sender" << k % 97 << "@example.test 01/12/2026 10:00:00\r\nFrom: Sender "
                << k % 97 << " <sender" << k % 97 << "@example.test>\r\nTo: me@example.test\r\n"
                << "Subject: Message number " << k << " about the weekly report\r\n"
                << "Date: Tue, 1 Dec 2026 10:" << (k / 60) % 60 << ":" << k % 60
                << " +0000\r\nStatus: R\r\n\r\nThe body of message " << k << ".\r\n\r\n";
        }
    }
    kivo::ui::QtPlatform platform;
    {
        // The first opening builds the index; it is saved as the program saves it at exit.
        kivo::ui::MainWindow first(kivo::ProgramFolder{home}, platform);
        first.Start({});
        first.Main().SaveInfo();
    }
    QElapsedTimer timer;
    timer.start();
    kivo::ui::MainWindow window(kivo::ProgramFolder{home}, platform);
    window.Start({});
    window.show();
    QTableView* list = window.List();
    list->viewport()->repaint();
    QCoreApplication::processEvents();
    const qint64 open = timer.elapsed();
    const int rows = list->model()->rowCount();

    QScrollBar* bar = list->verticalScrollBar();
    bar->setValue(0);
    list->viewport()->repaint();
    int pages = 0;
    timer.restart();
    while (bar->value() < bar->maximum()) {
        bar->setValue(bar->value() + bar->pageStep());
        list->viewport()->repaint();
        ++pages;
    }
    const qint64 scroll = timer.elapsed();
    std::printf("rows %d  first paint %lld ms  scroll %d pages %lld ms\n", rows,
                static_cast<long long>(open), pages, static_cast<long long>(scroll));
    return rows == count ? 0 : 1;
}
