#pragma once
// The file a save dialog's answer names. Desktop save dialogs check for an existing file
// before the program adds an extension, so a name that gets one here is asked about here.
#include <QString>

namespace jov {

// ".flac" of "FLAC (*.flac)": the first extension of a dialog's name filter; empty when none.
QString FilterSuffix(const QString& filter);

// `name` with `suffix` added when it has no extension of its own.
QString WithSuffix(const QString& name, const QString& suffix);

}  // namespace jov
