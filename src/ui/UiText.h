#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <string_view>

namespace kelvane {

// Log bytes for display: UTF-8 when they are valid UTF-8, else Latin-1.
QString ShowText(std::string_view bytes);

// A path from the file system's encoding to the bytes the core opens.
std::string PathBytes(const QString& path);

}  // namespace kelvane
