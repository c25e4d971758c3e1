#pragma once

class QWidget;

namespace faderwell {

/// Keeps a fixed-size top-level window at its one size, whoever asks for a
/// maximized or full-screen state: the title bar that Qt draws on Wayland
/// offers maximize on every window, the program may ask, a compositor may
/// offer it. Such a state is left again as soon as the platform has put the
/// window in it. Call once, from the window's constructor.
void KeepFixedSize(QWidget& window);

}  // namespace faderwell
