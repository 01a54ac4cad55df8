#pragma once
// Texts that may hold a path's bytes (captions, status, messages) shown on screen: a
// path is decoded for display only, as list texts are (valid UTF-8, else code page 932).
#include <QString>

#include <string>

#include "chart/text_decode.h"

namespace jov {

inline QString DisplayText(const std::string& bytes) { return QString::fromStdString(DecodeUtf8OrCp932(bytes)); }

}  // namespace jov
