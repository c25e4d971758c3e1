#pragma once

#include <QPushButton>

namespace faderwell {

/// A push button that also clicks on Enter while it has the focus, as the
/// fade strip's image buttons do (Space clicks every push button).
class ImageButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace faderwell
