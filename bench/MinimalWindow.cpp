// The floor for the start-up and footprint figures: the least a Qt Widgets
// program with a window of faders can cost here. One fixed-size window with a
// few scroll bars, shown, then the event loop. Built a second time with
// FADERWELL_FLOOR_TEXT, it also shows one line of Japanese text, which brings
// in the font stack (fontconfig, FreeType, HarfBuzz, a CJK font) that a
// window without text never loads.
#include <QApplication>
#include <QLabel>
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
#ifdef FADERWELL_FLOOR_TEXT
    auto* label = new QLabel(QString::fromUtf8("マスター音量"), &window);
    label->setGeometry(120, 16, 200, 20);
#endif
    window.show();
    return QApplication::exec();
}
