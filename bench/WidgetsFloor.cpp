// The floor of the program's own widgets, for the start-up and footprint
// figures: the main window's kinds and numbers of stock Qt widgets, built by
// hand at their places in a fixed 457 x 217 client area under a menu bar with
// the program's Japanese items, in the window's font, shown, then the event
// loop. Nothing else: no mixer, no settings, no MIDI, no hidden dialogs.
// Built a second time with FADERWELL_FLOOR_JACK, it first opens one JACK
// client with a MIDI output port and activates it, as the program opens its
// own output (the mapper) on JACK: what one JACK client costs on top of the
// window.
#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QString>

#ifdef FADERWELL_FLOOR_JACK
#include <jack/jack.h>
#include <jack/midiport.h>

#include <cstdio>
#include <cstdlib>
#endif

namespace {

constexpr int kClientWidth = 457;
constexpr int kClientHeight = 217;
constexpr int kChannels = 16;
constexpr int kPitch = 24;

QLabel* Label(const QString& text, int pixels, const QRect& geometry, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPixelSize(pixels);
    label->setFont(font);
    label->setGeometry(geometry);
    return label;
}

QFrame* Frame(QFrame::Shape shape, QFrame::Shadow shadow, const QRect& geometry, QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(shape | shadow);
    frame->setGeometry(geometry);
    return frame;
}

QScrollBar* Bar(Qt::Orientation orientation, const QRect& geometry, QWidget* parent) {
    auto* bar = new QScrollBar(orientation, parent);
    bar->setRange(0, 127);
    bar->setValue(64);
    bar->setGeometry(geometry);
    return bar;
}

QCheckBox* Box(const QRect& geometry, QWidget* parent) {
    auto* box = new QCheckBox(parent);
    box->setChecked(true);
    box->setGeometry(geometry);
    return box;
}

QPushButton* Button(const QString& text, const QRect& geometry, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setGeometry(geometry);
    return button;
}

// A 16 x 16 square drawn in code, for the two buttons with an image.
QIcon Square() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::black);
    return QIcon(pixmap);
}

#ifdef FADERWELL_FLOOR_JACK
void OpenJackOutput() {
    jack_client_t* client = jack_client_open("floor", JackNoStartServer, nullptr);
    if (client == nullptr) {
        std::fputs("widgets floor: no JACK server\n", stderr);
        std::exit(1);
    }
    jack_port_t* port =
        jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(
        client,
        [](jack_nframes_t frames, void* out) {
            jack_midi_clear_buffer(jack_port_get_buffer(static_cast<jack_port_t*>(out), frames));
            return 0;
        },
        port);
    if (port == nullptr || jack_activate(client) != 0) {
        std::fputs("widgets floor: no JACK output\n", stderr);
        std::exit(1);
    }
}
#endif

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
#ifdef FADERWELL_FLOOR_JACK
    OpenJackOutput();
#endif
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(12);
    QApplication::setFont(font);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Faderwell Standard"));
    QMenuBar* menus = window.menuBar();
    QMenu* file = menus->addMenu(QStringLiteral("File(&F)"));
    file->addAction(QStringLiteral("設定(&O)"));
    file->addSeparator();
    file->addAction(QStringLiteral("終了(&X)"));
    menus->addMenu(QStringLiteral("Help(&H)"))->addAction(QStringLiteral("バージョン情報(&A)"));

    auto* client = new QWidget(&window);
    client->setFixedSize(kClientWidth, kClientHeight);
    window.setCentralWidget(client);
    window.layout()->setSizeConstraint(QLayout::SetFixedSize);

    // The panel of faders: the master and sixteen channels, each with its
    // number above and its link box below, and three presets with a value.
    QFrame* panel = Frame(QFrame::Panel, QFrame::Raised, {0, 0, kClientWidth, 177}, client);
    Label(QStringLiteral("M"), 15, {46, 4, 12, 15}, panel);
    Bar(Qt::Vertical, {45, 20, 16, 120}, panel);
    Box({46, 152, 17, 17}, panel);
    for (int channel = 1; channel <= kChannels; ++channel) {
        const int left = 68 + kPitch * (channel - 1);
        Label(QString::number(channel), 15, {left + 4, 4, 18, 15}, panel);
        Bar(Qt::Vertical, {left, 20, 16, 120}, panel);
        Box({left + 1, 152, 17, 17}, panel);
    }
    Label(QStringLiteral("1"), 15, {80, 20, 9, 15}, panel);
    Button(QStringLiteral("127"), {8, 36, 29, 15}, panel);
    Button(QStringLiteral("64"), {8, 73, 29, 15}, panel);
    Button(QStringLiteral("0"), {8, 109, 29, 15}, panel);
    Frame(QFrame::Box, QFrame::Sunken, {8, 150, 29, 17}, panel);
    Label(QStringLiteral("64"), 13, {19, 152, 14, 13}, panel);

    // The strip below: controller number, DRUM, and the fade controls.
    Frame(QFrame::Panel, QFrame::Raised, {0, 176, kClientWidth, 41}, client);
    Frame(QFrame::Panel, QFrame::Sunken, {8, 184, 177, 25}, client);
    Label(QStringLiteral("Control"), 15, {12, 188, 47, 15}, client);
    Label(QStringLiteral("0"), 15, {88, 188, 8, 15}, client);
    auto* number = new QSpinBox(client);
    number->setRange(0, 127);
    number->setGeometry(100, 185, 16, 23);
    Box({124, 188, 17, 17}, client)->setChecked(false);
    Label(QStringLiteral("DRUM"), 12, {144, 192, 33, 12}, client);
    for (const QRect& geometry : {QRect(192, 184, 25, 25), QRect(424, 184, 25, 25)}) {
        QPushButton* fade = Button({}, geometry, client);
        fade->setIcon(Square());
    }
    Frame(QFrame::Box, QFrame::Sunken, {220, 184, 37, 25}, client);
    Label(QStringLiteral("0"), 15, {240, 190, 8, 15}, client);
    Bar(Qt::Horizontal, {264, 184, 113, 9}, client)->setValue(127);
    Bar(Qt::Horizontal, {264, 200, 113, 9}, client)->setValue(0);
    Frame(QFrame::Box, QFrame::Sunken, {382, 184, 37, 25}, client);
    Label(QStringLiteral("127"), 15, {392, 190, 24, 15}, client);

    window.show();
    return QApplication::exec();
}
