// The floor for the start-up and footprint figures: the least a Qt Widgets
// program with a window of faders can cost here. One fixed-size window with a
// few scroll bars, shown, then the event loop.
#include <QApplication>
#include <QScrollBar>
#include <QWidget>
#include <array>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window;
    window.setFixedSize(457, 217);
    std::array<QScrollBar*, 4> bars{};
    for (std::size_t i = 0; i < bars.size(); ++i) {
        bars[i] = new QScrollBar(Qt::Vertical, &window);
        bars[i]->setRange(0, 127);
        bars[i]->setGeometry(12 + int(i) * 24, 16, 17, 121);
    }
    window.show();
    return QApplication::exec();
}
