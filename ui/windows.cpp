#include "ui/windows.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <iostream>
#include <optional>

#include "app/settings.h"
#include "app/singleinstance.h"
#include "base/files.h"
#include "ui/mainwindow.h"
#include "ui/messageview.h"
#include "ui/qtplatform.h"
#include "ui/splash.h"

namespace kivo::ui {

void PrepareApplication() {
    MessageView::RegisterSchemes();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QCoreApplication::setApplicationName("Kivo");
    QCoreApplication::setOrganizationName("Kivo");
    QGuiApplication::setDesktopFileName("kivo");
}

int RunWindows(const ProgramFolder& folder, int argc, char** argv,
               std::span<const std::string> args) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder.root, ec) && !CreateFolderOneLevel(folder.root)) {
        std::cerr << "kivo: cannot create the program folder " << folder.root.string() << '\n';
        return 1;
    }
    auto listen = [&]() -> std::optional<TInstanceListener> {
        try {
            return TInstanceListener::Listen(folder.InstanceSocket());
        } catch (const std::exception& e) {
            std::cerr << "kivo: " << e.what() << '\n';
            return std::nullopt;
        }
    };
    std::optional<TInstanceListener> listener = listen();
    if (!listener) {
        // Another instance runs on this folder: it takes the command and comes to the front.
        switch (SendToInstance(folder.InstanceSocket(), InstanceCommandText(args))) {
            case THandOver::Acknowledged:
                return 0;
            case THandOver::Unanswered:
                std::cerr << "kivo: the running instance is busy and has not answered yet; it "
                             "takes the command when it is free\n";
                return 1;
            case THandOver::NoInstance:
                std::cerr << "kivo: the running instance went away; start again\n";
                return 1;
        }
    }

    PrepareApplication();
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QtPlatform platform;
    Splash splash;
    splash.show();
    splash.SetProgress("Starting application...");
    MainWindow window(folder, platform);
    splash.SetVersion(kProgramVersion);
    window.SetSplash(&splash);
    // Later starts' commands arrive on the socket; the check is cheap and never blocks.
    QTimer instance;
    QObject::connect(&instance, &QTimer::timeout, [&] {
        listener->Poll(std::chrono::milliseconds(0),
                       [&](const std::string& command) { window.Main().InstanceCommand(command); });
    });
    instance.start(200);
    splash.SetProgress("Loading user files...");
    window.Start(args);
    window.SetSplash(nullptr);
    splash.close();
    return app.exec();
}

}  // namespace kivo::ui
