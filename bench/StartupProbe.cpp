// Linked into the bench's builds of a Qt program (never into the shipped
// one): when the program is started with --bench-idle-fd=<fd>, it writes the
// CLOCK_MONOTONIC time in nanoseconds to that descriptor at the first moment
// its event loop is about to wait with a window shown and exposed, then
// closes the descriptor. Without the option it does nothing at all.
#include <unistd.h>
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>
#include <ctime>
#include <memory>
#include <string>

namespace {

constexpr const char* kOption = "--bench-idle-fd=";

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
    int fd = -1;
    for (const QString& argument : QCoreApplication::arguments()) {
        if (argument.startsWith(QLatin1String(kOption)))
            fd = argument.mid(int(std::char_traits<char>::length(kOption))).toInt();
    }
    if (fd < 0)
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
