#include "app/Program.h"

#include <QApplication>
#include <QEvent>

#include "core/AppInfo.h"
#include "ui/Appearance.h"
#include "ui/Prompts.h"
#include "ui/QtText.h"
#include "ui/Sub1.h"
#include "ui/about.h"

namespace faderwell {

/// The application being told to quit: the session manager's last word to
/// the program when the session ends (on X11 its "die" message), or the
/// platform's own request. Qt would close every window on the way, which
/// would end a modal dialog in the normal way; the program leaves at once
/// instead. The session manager's earlier save requests, which come at
/// every checkpoint and at a logout that may still be cancelled, are no
/// reason to leave. Closing the main window ends in the same request, by
/// then with nothing left to close.
class Program::QuitRequests final : public QObject {
public:
    explicit QuitRequests(Program& program) : program_(program) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != qApp || event->type() != QEvent::Quit)
            return false;
        program_.EndSession();
        return true;
    }

private:
    Program& program_;
};

Program::Program(Platform platform)
    : platform_(platform), quitRequests_(std::make_unique<QuitRequests>(*this)) {
    port_.SetNotices(platform_.notices);
}

Program::~Program() = default;

void Program::Start() {
    // The title every message box carries. Only the name is set: a display
    // name would be appended to every window title by some platforms.
    QApplication::setApplicationName(ToQString(kApplicationTitle));
    // Lets the desktop match the windows to the installed faderwell.desktop.
    QGuiApplication::setDesktopFileName(QStringLiteral("faderwell"));
    InstallFontSubstitutes();
    InstallStyle();

    Prompts& prompts = platform_.prompts;

    form1_ = std::make_unique<TForm1>(windows_, port_, settings_, values_, prompts);
    windows_.Form1 = form1_.get();
    // Every message box and dialog from here on belongs to the main window.
    prompts.SetOwner(form1_.get());
    Guarded(prompts, [this] { form1_->FormCreate(); });
    // A session that ended while a message box was up ends start-up here,
    // before the output is touched.
    if (windows_.sessionEnding)
        return;

    config_ =
        std::make_unique<Tconfig>(*form1_, form1_->Model(), port_, values_, prompts, form1_.get());
    windows_.config = config_.get();
    Guarded(prompts, [this] { config_->FormCreate([this] { return windows_.sessionEnding; }); });
    if (windows_.sessionEnding)
        return;

    versioninfo_ = std::make_unique<Tversioninfo>(platform_.opener, form1_.get());
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
