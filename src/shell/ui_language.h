#pragma once
// The language of the texts the program shows.

namespace jov {

enum class UiLanguage { English, Japanese };

}  // namespace jov
