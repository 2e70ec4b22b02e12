// The one conversion each platform file provides to the shared code page 936
// code in gbk.cpp.
#pragma once

#include <QByteArray>
#include <QStringView>

#include <optional>

namespace Gbk::Platform {

// The bytes of the whole text, or nothing when some character in it has no
// code page 936 form (a lone surrogate among them).
std::optional<QByteArray> encodeWhole(QStringView text);

} // namespace Gbk::Platform
