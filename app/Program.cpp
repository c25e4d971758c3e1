#include "app/Program.h"

#include <QApplication>
#include <QSessionManager>

#include "core/AppInfo.h"
#include "ui/AppIcon.h"
#include "ui/Appearance.h"
#include "ui/Prompts.h"
#include "ui/Sub1.h"
#include "ui/about.h"

namespace faderwell {

Program::Program(Platform platform) : platform_(platform) {}

Program::~Program() = default;

void Program::Start() {
    // The title every message box carries. Only the name is set: a display
    // name would be appended to every window title by some platforms.
    QApplication::setApplicationName(QString::fromUtf8(
        kApplicationTitle.data(), static_cast<qsizetype>(kApplicationTitle.size())));
    QApplication::setWindowIcon(AppIcon());
    // Lets the desktop match the windows to the installed faderwell.desktop.
    QGuiApplication::setDesktopFileName(QStringLiteral("faderwell"));
    InstallFontSubstitutes();

    Prompts& prompts = platform_.prompts;

    form1_ = std::make_unique<TForm1>(windows_, port_, settings_, values_, prompts);
    windows_.Form1 = form1_.get();
#ifndef QT_NO_SESSIONMANAGER
    // The session manager is ending the session: leave without a word to the output.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, form1_.get(),
                     [this](QSessionManager&) { EndSession(); });
#endif
    Guarded(prompts, [this] { form1_->FormCreate(); });

    config_ = std::make_unique<Tconfig>(*form1_, form1_->Model(), port_, values_, prompts);
    windows_.config = config_.get();
    Guarded(prompts, [this] { config_->FormCreate(); });

    versioninfo_ = std::make_unique<Tversioninfo>(platform_.opener);
    windows_.versioninfo = versioninfo_.get();
    Guarded(prompts, [this] { versioninfo_->FormCreate(); });
}

int Program::Run() {
    // A session that ended during start-up leaves before anything is shown.
    if (windows_.sessionEnding)
        return kExitCode;
    form1_->ShowCentred();
    QApplication::exec();
    return kExitCode;
}

void Program::EndSession() {
    windows_.sessionEnding = true;
    // Ends the main loop and every nested loop of an open dialog.
    QCoreApplication::exit(kExitCode);
}

}  // namespace faderwell
