#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <map>
#include <string>

#include "ProgramFixture.h"
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
    EXPECT_EQ(program.readAllStandardError().toStdString(), NoDisplayMessage() + "\n");
    EXPECT_TRUE(program.readAllStandardOutput().isEmpty());
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

}  // namespace
}  // namespace faderwell::test
