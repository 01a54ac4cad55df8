#pragma once
// Find by typing: the text a list line is found by, and the match of typed words.
#include <QString>
#include <QStringList>

#include "chart/chart_model.h"

namespace jov {

// Case and width folded (compatibility forms, so full-width letters and half-width
// kana match their usual forms), for both the lines' keys and the typed words.
QString FoldForSearch(const QString& text);
// The entry's artist, title, genre and file name, folded, one per line.
QString SearchKey(const ChartInfo& entry);
// The typed text's words, folded; blanks of any width separate them.
QStringList SearchWords(const QString& typed);
// Every word occurs in the key.
bool MatchesAll(const QString& key, const QStringList& words);

}  // namespace jov
