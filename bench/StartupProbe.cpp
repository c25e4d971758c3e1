// Linked into the bench's builds of a Qt program (never into the shipped
// one): when the program starts with FADERWELL_BENCH_IDLE_FD=<fd> in its
// environment, it writes the CLOCK_MONOTONIC time in nanoseconds to that
// descriptor at the first moment its event loop is about to wait with a
// window shown and exposed, then closes the descriptor. Without the variable
// it does nothing at all. The environment, not an argument: the program
// hands Qt no arguments, so QCoreApplication::arguments() never sees one.
#include <unistd.h>
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>
#include <ctime>
#include <memory>
#include <string>

namespace {

constexpr const char* kVariable = "FADERWELL_BENCH_IDLE_FD";

bool AWindowIsExposed() {
    for (const QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->isVisible() && window->isExposed())
            return true;
    }
    return false;
}

void ReportIdleTo(int fd) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::string line =
        std::to_string(static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec) + "\n";
    if (write(fd, line.data(), line.size()) < 0)
        perror("bench idle probe");
    close(fd);
}

void InstallIdleProbe() {
    bool given = false;
    const int fd = qEnvironmentVariableIntValue(kVariable, &given);
    // Not handed on to whatever the program starts.
    qunsetenv(kVariable);
    if (!given || fd < 0)
        return;
    auto* dispatcher = QAbstractEventDispatcher::instance();
    if (dispatcher == nullptr) {
        perror("bench idle probe: no event dispatcher");
        return;
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection =
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [fd, connection] {
            if (!AWindowIsExposed())
                return;
            QObject::disconnect(*connection);
            ReportIdleTo(fd);
        });
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallIdleProbe)
