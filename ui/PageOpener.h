#pragma once

#include <QUrl>

namespace faderwell {

/// Hands a web page to the user's browser. The about dialog goes through it
/// so that tests never start a browser.
class PageOpener {
public:
    virtual ~PageOpener();
    /// Returns at once without waiting for the browser; a page that cannot
    /// be opened goes unnoticed. Never throws.
    virtual void Open(const QUrl& page) = 0;
};

/// The desktop's own URL handler.
class DesktopPageOpener final : public PageOpener {
public:
    void Open(const QUrl& page) override;
};

}  // namespace faderwell
