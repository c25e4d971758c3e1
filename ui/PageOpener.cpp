#include "ui/PageOpener.h"

#include <QDesktopServices>

namespace faderwell {

PageOpener::~PageOpener() = default;

void DesktopPageOpener::Open(const QUrl& page) {
    // The result is deliberately not looked at: nobody is told when no browser takes the page.
    QDesktopServices::openUrl(page);
}

}  // namespace faderwell
