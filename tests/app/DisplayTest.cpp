#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>

#include "ProgramFixture.h"
#include "TestServices.h"
#include "app/CommandLine.h"
#include "app/Display.h"

namespace faderwell::test {
namespace {

struct DisplayCase {
    std::map<std::string, std::string> environment;
    bool display;
};

TEST(Display, IsFoundWhereTheToolkitWouldFindOne) {
    const DisplayCase cases[] = {
        {{}, false},
        {{{"DISPLAY", ""}}, false},
        {{{"DISPLAY", ":0"}}, true},
        {{{"WAYLAND_DISPLAY", "wayland-0"}}, true},
        {{{"QT_QPA_PLATFORM", "offscreen"}}, true},
        {{{"QT_QPA_PLATFORM", "xcb"}}, false},
        {{{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":99"}}, true},
        {{{"QT_QPA_PLATFORM", "wayland"}, {"DISPLAY", ":0"}}, false},
        {{{"QT_QPA_PLATFORM", "wayland;xcb"}, {"DISPLAY", ":0"}}, true},
        {{{"QT_QPA_PLATFORM", "vnc:size=800x600"}}, true},
    };
    for (const DisplayCase& c : cases) {
        const auto lookup = [&](const char* name) -> const char* {
            const auto found = c.environment.find(name);
            return found == c.environment.end() ? nullptr : found->second.c_str();
        };
        EXPECT_EQ(HasGraphicalDisplay(lookup), c.display) << testing::PrintToString(c.environment);
    }
}

TEST(CommandLine, AnswersTheFirstOfHelpAndVersionAndIgnoresTheRest) {
    using Request = CommandLine::Request;
    struct Case {
        std::vector<std::string_view> arguments;
        Request request;
        std::vector<std::string> ignored;
    };
    const Case cases[] = {
        {{}, Request::kStart, {}},
        {{"--help"}, Request::kHelp, {}},
        {{"--version", "--help"}, Request::kVersion, {}},
        {{"-session", "10abc", "--help"}, Request::kHelp, {"-session", "10abc"}},
        {{"-help", "--Version", "--versio", ""},
         Request::kStart,
         {"-help", "--Version", "--versio", ""}},
    };
    for (const Case& c : cases) {
        const CommandLine line = ReadCommandLine(c.arguments);
        EXPECT_EQ(line.request, c.request) << testing::PrintToString(c.arguments);
        EXPECT_EQ(line.ignored, c.ignored) << testing::PrintToString(c.arguments);
    }
    EXPECT_EQ(IgnoredLine({}), "");
    EXPECT_EQ(IgnoredLine({"-session", "10abc"}), "faderwell: ignored: -session 10abc");
}

QProcessEnvironment WithoutDisplay() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    return environment;
}

TEST(TheProgram, WithoutADisplaySaysSoInOneLineAndFails) {
    QProcess program;
    program.setProcessEnvironment(WithoutDisplay());
    program.start(QStringLiteral(FADERWELL_PROGRAM), {});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(program.exitCode(), 0);
    const std::string said = program.readAllStandardError().toStdString();
    EXPECT_EQ(said, NoDisplayMessage() + "\n");
    EXPECT_TRUE(program.readAllStandardOutput().isEmpty());
    // The command it suggests is the program as installed, not a script of the
    // source tree its user does not have.
    const std::string installed =
        QFileInfo(QStringLiteral(FADERWELL_PROGRAM)).fileName().toStdString();
    EXPECT_NE(said.find("xvfb-run " + installed + "\n"), std::string::npos) << said;
    EXPECT_EQ(said.find("./"), std::string::npos) << said;
}

// GNU's conventions: the answer on standard output and code 0, before a
// display is looked for; any other argument is named and the program goes on.
TEST(TheProgram, AnswersHelpAndVersionWithoutADisplayAndNamesWhatItIgnores) {
    struct Case {
        QStringList arguments;
        int exitCode;
        std::string out;
        std::string error;
    };
    const Case cases[] = {
        {{QStringLiteral("--help")}, 0, UsageText(), ""},
        {{QStringLiteral("-session"), QStringLiteral("x"), QStringLiteral("--version")},
         0,
         VersionText(),
         ""},
        {{QStringLiteral("--bogus")},
         kNoDisplayExitCode,
         "",
         "faderwell: ignored: --bogus\n" + NoDisplayMessage() + "\n"},
    };
    for (const Case& c : cases) {
        QProcess program;
        program.setProcessEnvironment(WithoutDisplay());
        program.start(QStringLiteral(FADERWELL_PROGRAM), c.arguments);
        ASSERT_TRUE(program.waitForFinished(10000));
        EXPECT_EQ(program.exitCode(), c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(program.readAllStandardOutput().toStdString(), c.out);
        EXPECT_EQ(program.readAllStandardError().toStdString(), c.error);
    }
    EXPECT_NE(UsageText().find("--version  output version information and exit\n"),
              std::string::npos);
    EXPECT_EQ(VersionText().substr(0, VersionText().find('\n')),
              "faderwell (Faderwell Standard) 1.02");
}

TEST(TheProgram, EndsWithCodeZeroOnSigtermAndSavesNothing) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcessEnvironment environment = WithoutDisplay();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    // Keep away from any JACK server another test run has started on this machine.
    environment.insert(QStringLiteral("JACK_DEFAULT_SERVER"), QStringLiteral("faderwell-app-test"));
    environment.insert(QStringLiteral("JACK_NO_START_SERVER"), QStringLiteral("1"));
    // Qt names every plugin it loads: the window needs no image-format plugin.
    environment.insert(QStringLiteral("QT_DEBUG_PLUGINS"), QStringLiteral("1"));

    QProcess program;
    program.setProcessEnvironment(environment);
    // Arguments are no business of the program's, nor of Qt's: a platform
    // named on the command line would stop it before its window.
    program.start(
        QStringLiteral(FADERWELL_PROGRAM),
        {QStringLiteral("-platform"), QStringLiteral("none-such"), QStringLiteral("-reverse")});
    ASSERT_TRUE(program.waitForStarted(10000));
    // Give it time to reach the main loop; SIGTERM before that is handled too.
    QTest::qWait(1500);
    ASSERT_EQ(program.state(), QProcess::Running);
    program.terminate();  // SIGTERM
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    const std::string said = program.readAllStandardError().toStdString();
    EXPECT_NE(said.find("platforms/libqoffscreen.so\" loaded library"), std::string::npos) << said;
    EXPECT_EQ(said.find("imageformats/"), std::string::npos) << said;
    // Loading may create the settings key, but no value is written at shutdown.
    QDirIterator files(home.path(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        EXPECT_FALSE(content.contains("MIDI_OUT") || content.contains("SPEED") ||
                     content.contains("VENDOR"))
            << content.toStdString();
    }
}

// The real program on a Weston compositor of its own, with its Wayland
// requests logged, and reachable over a session bus of its own by what a
// screen reader uses: the AT-SPI bus and a client of it.
class OnWayland : public testing::Test {
protected:
    static constexpr std::chrono::seconds kDeadline{60};  // a busy machine's room

    void StartProgram(const std::string& role,
                      const std::vector<std::string>& argv = {FADERWELL_PROGRAM},
                      const std::vector<std::string>& extra = {}) {
        compositor = std::make_unique<WestonCompositor>(TestServerName("weston_" + role));
        ASSERT_TRUE(compositor->Start()) << compositor->Error();
        // The accessibility bus's socket goes to the compositor's private runtime directory.
        ASSERT_TRUE(bus.Start(compositor->ClientEnvironment())) << bus.Error();
        ASSERT_TRUE(home.isValid());
        log = home.filePath(QStringLiteral("program.log")).toStdString();
        std::vector<std::string> environment = compositor->ClientEnvironment();
        const auto onBus = bus.ClientEnvironment();
        environment.insert(environment.end(), onBus.begin(), onBus.end());
        const std::string dir = home.path().toStdString();
        environment.insert(environment.end(), {
                                                  "QT_QPA_PLATFORM=wayland",
                                                  "WAYLAND_DEBUG=1",
                                                  // What a screen reader's start tells Qt.
                                                  "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1",
                                                  "HOME=" + dir,
                                                  "XDG_CONFIG_HOME=" + dir + "/config",
                                                  "JACK_DEFAULT_SERVER=faderwell-wayland-test",
                                                  "JACK_NO_START_SERVER=1",
                                              });
        environment.insert(environment.end(), extra.begin(), extra.end());
        program = std::make_unique<ChildProcess>(argv, ChildOptions{environment, log});
        ASSERT_TRUE(program->Started());
    }

    /// What the screen reader's side finds, one line each, in `mode`.
    std::vector<std::string> AskClient(const char* mode) {
        ChildProcess client({"/usr/bin/python3", FADERWELL_ACCESSIBLE_CLIENT, mode},
                            ChildOptions{bus.ClientEnvironment()});
        std::vector<std::string> lines;
        while (const auto line = client.ReadLine(kDeadline)) {
            std::cout << "  " << *line << '\n';
            lines.push_back(*line);
        }
        EXPECT_EQ(client.CloseInputAndWait(kDeadline), std::optional<int>(0));
        return lines;
    }

    /// The program's Wayland requests so far.
    std::string Requests() const {
        std::ifstream in(log);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    void TearDown() override {
        if (program)
            program->Terminate(std::chrono::seconds(10));
    }

    std::unique_ptr<WestonCompositor> compositor;
    SessionBus bus;
    QTemporaryDir home;
    std::string log;
    std::unique_ptr<ChildProcess> program;
};

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Every top-level surface's title, parent and size limits, by its object id.
struct Toplevel {
    std::string title;
    std::string parent;
    std::string minSize;
    std::string maxSize;
};

std::map<std::string, Toplevel> Toplevels(const std::string& requests) {
    // Qt's expressions, not the standard library's: those cost this file
    // seconds of compiling in every tree.
    static const QRegularExpression request(
        R"(-> xdg_toplevel@(\d+)\.(set_title|set_parent|set_min_size|set_max_size)\((.*)\))");
    std::map<std::string, Toplevel> toplevels;
    for (auto it = request.globalMatch(QString::fromStdString(requests)); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        Toplevel& toplevel = toplevels[match.captured(1).toStdString()];
        const QString what = match.captured(2);
        const std::string arguments = match.captured(3).toStdString();
        if (what == u"set_title")
            toplevel.title = arguments;
        else if (what == u"set_parent")
            toplevel.parent = arguments;
        else if (what == u"set_min_size")
            toplevel.minSize = arguments;
        else
            toplevel.maxSize = arguments;
    }
    return toplevels;
}

TEST_F(OnWayland,
       TheWindowsKeepTheirSizeAndTheSettingsDialogBelongsToTheMainWindowAndSpeaksJapanese) {
    StartProgram("size");
    const auto dialog = AskClient("settings");  // opened from the menu, as a user would

    const auto toplevels = Toplevels(Requests());
    const auto titled = [&](const std::string& title) {
        for (const auto& [id, toplevel] : toplevels) {
            if (toplevel.title == title)
                return id;
        }
        return std::string("none");
    };
    const std::string mainWindow = titled("\"Faderwell Standard\"");
    const std::string settings = titled("\"設定\"");
    ASSERT_NE(mainWindow, "none") << Requests();
    ASSERT_NE(settings, "none") << Requests();
    // The client area and the menu bar above it, no more and no less.
    const Toplevel& main = toplevels.at(mainWindow);
    EXPECT_EQ(main.minSize, main.maxSize);
    const QRegularExpressionMatch size =
        QRegularExpression(R"(^(\d+), (\d+)$)").match(QString::fromStdString(main.minSize));
    ASSERT_TRUE(size.hasMatch()) << main.minSize;
    EXPECT_EQ(size.captured(1).toInt(), TForm1::kClientWidth);
    EXPECT_GT(size.captured(2).toInt(), TForm1::kClientHeight);
    EXPECT_LT(size.captured(2).toInt(), TForm1::kClientHeight + 40);
    EXPECT_TRUE(main.parent.empty());

    const Toplevel& config = toplevels.at(settings);
    EXPECT_EQ(config.parent, "xdg_toplevel@" + mainWindow);
    EXPECT_EQ(config.minSize, "304, 161");
    EXPECT_EQ(config.maxSize, "304, 161");

    // Named by the texts it shows.
    for (const char* line : {"slider|フェイドイン・アウト時の速度|3|", "label|遅い|-|",
                             "label|速い|-|", "radio button|KORG|-|", "panel|使用メーカ|-|"}) {
        EXPECT_TRUE(std::any_of(dialog.begin(), dialog.end(), [&](const std::string& seen) {
            return seen.find(line) != std::string::npos;
        })) << line;
    }
}

TEST_F(OnWayland, AScreenReaderReadsTheControllerNumberAndHearsItChange) {
    StartProgram("a11y");
    const auto heard = AskClient("controller");

    const std::string number = "label|%1|-|The controller number every channel fader sends";
    const std::string arrows =
        "spin button|Controller number|%1|Chooses the controller every channel fader sends, 0 "
        "to 127";
    const auto at = [](std::string line, int value) {
        return line.replace(line.find("%1"), 2, std::to_string(value));
    };
    const std::vector<std::string> expected{
        "before " + at(number, 0),
        "before " + at(arrows, 0),
        "event accessible-value " + at(arrows, 1),
        "event accessible-name " + at(number, 1),
        "after " + at(number, 1),
        "after " + at(arrows, 1),
    };
    for (const std::string& line : expected) EXPECT_TRUE(Contains(heard, line)) << line;
    EXPECT_EQ(heard.size(), expected.size()) << "each change is heard once";
}

// A compositor ends the connection of a window that does not take the size
// it configured with a maximized or full-screen state.
TEST_F(OnWayland, EveryWindowComesBackFromAMaximizedOrFullScreenConfigure) {
    // The test program keeps its Qt application, and the Wayland plugins'
    // objects with it, until it ends (some in plugins unloaded by then): no
    // leak of the windows' own, which the offscreen tests check.
    StartProgram("maximize", {FADERWELL_APP_TESTS, "--gtest_filter=InsideWeston.*"},
                 {"ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"});
    EXPECT_EQ(program->CloseInputAndWait(kDeadline), std::optional<int>(0)) << Requests();
}

// Run by the test above: each window asks for each large state as the title
// bar's button does, and is back once configured in it; then the exit command.
struct StateLog : QObject {
    explicit StateLog(QWindow* window) { window->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowStateChange && event->spontaneous())
            states.push_back(static_cast<QWindow*>(watched)->windowState());
        return false;
    }
    bool CameBackFrom(Qt::WindowState large) const {
        const auto in = std::find(states.begin(), states.end(), large);
        return std::find(in, states.end(), Qt::WindowNoState) != states.end();
    }
    std::vector<Qt::WindowState> states;
};

using InsideWeston = ProgramTest;

TEST_F(InsideWeston, EachWindowTakesEachLargeStateAndComesBack) {
    if (QGuiApplication::platformName() != QLatin1String("wayland"))
        GTEST_SKIP() << "runs on a Wayland compositor, started by OnWayland";
    Start();
    Form1().ShowCentred();
    for (QWidget* window : std::initializer_list<QWidget*>{&Form1(), &Config(), &About()}) {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        QWindow* handle = window->windowHandle();
        const QSize fixed = window->size();
        for (const Qt::WindowState large : {Qt::WindowMaximized, Qt::WindowFullScreen}) {
            StateLog applied(handle);
            handle->setWindowStates(handle->windowStates() ^ large);
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return applied.CameBackFrom(large) && window->size() == fixed; }, 30000))
                << window->windowTitle().toStdString() << " " << large;
        }
        if (window != &Form1())
            window->hide();
    }
    QTimer::singleShot(0, &Form1(), [this] { Form1().Exit1Click(); });
    EXPECT_EQ(program->Run(), Program::kExitCode);
}

}  // namespace
}  // namespace faderwell::test
