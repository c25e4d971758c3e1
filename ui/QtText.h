#pragma once

#include <QString>
#include <string_view>

namespace faderwell {

/// The program's own texts are UTF-8 wherever they are kept; this is the one
/// road from them to Qt.
inline QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace faderwell
