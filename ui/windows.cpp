#include "ui/windows.h"

#include <QSocketNotifier>
#include <QTimer>
#include <iostream>
#include <optional>

#include "app/KivoMain.h"
#include "app/settings.h"
#include "app/singleinstance.h"
#include "base/files.h"
#include "base/inifile.h"
#include "ui/application.h"
#include "ui/composerlist.h"
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

namespace {

// A composer window on the folder, and nothing else, for a start whose instance has no
// windows; the program ends when the composer closes. It loads no mailbox and checks no mail:
// the instance does that.
int RunComposerAlone(const ProgramFolder& folder, int argc, char** argv,
                     const std::string& mailTo) {
    PrepareApplication();
    KivoApplication app(argc, argv);
    QtPlatform platform;
    TFrmMainView view;
    TFrmMain main(folder, platform, view);
    main.Settings() = LoadIni(IniFile(folder.SettingsFile()), folder.root);
    ComposerList composers(main, platform, [] {});
    composers.New(mailTo);
    return app.exec();
}

}  // namespace

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
        std::string refusal;
        const std::string command = InstanceCommandText(args);
        switch (SendToInstance(folder.InstanceSocket(), command, kHandOverWait, &refusal)) {
            case THandOver::Acknowledged:
                return 0;
            case THandOver::Refused:
                // An instance without windows (kivo run): a new message opens here on its own.
                if (!command.empty())
                    return RunComposerAlone(folder, argc, argv, command.substr(3));
                std::cerr << "kivo: " << refusal << '\n';
                return 1;
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
    KivoApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QtPlatform platform;
    Splash splash;
    splash.show();
    splash.SetProgress("Starting application...");
    MainWindow window(folder, platform);
    // What escaped a slot goes into the progress log, until the window goes.
    app.Escaped = [&window](const std::string& text) {
        window.Main().Transfer().ErrorLevel(2, text);
    };
    struct Unhook {
        KivoApplication& app;
        ~Unhook() { app.Escaped = nullptr; }
    } unhook{app};
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
