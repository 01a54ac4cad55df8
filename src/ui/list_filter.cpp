#include "ui/list_filter.h"

#include <QRegularExpression>

#include "ui/display_text.h"

namespace jov {

QString FoldForSearch(const QString& text) {
    return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

QString SearchKey(const ChartInfo& entry) {
    const std::size_t slash = entry.FilePath.rfind('/');
    const std::string name = slash == std::string::npos ? entry.FilePath : entry.FilePath.substr(slash + 1);
    QString key = DisplayText(entry.Artist);
    for (const std::string* s : {&entry.Title, &entry.Genre, &name}) {
        key += QLatin1Char('\n');
        key += DisplayText(*s);
    }
    return FoldForSearch(key);
}

QStringList SearchWords(const QString& typed) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return FoldForSearch(typed).split(blanks, Qt::SkipEmptyParts);
}

bool MatchesAll(const QString& key, const QStringList& words) {
    for (const QString& w : words)
        if (!key.contains(w)) return false;
    return true;
}

}  // namespace jov
