#include "ui/save_name.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace jov {

QString FilterSuffix(const QString& filter) {
    static const QRegularExpression pattern(QStringLiteral("\\*(\\.[^\\s);*]+)"));
    const QRegularExpressionMatch m = pattern.match(filter);
    return m.hasMatch() ? m.captured(1).toLower() : QString();
}

QString WithSuffix(const QString& name, const QString& suffix) {
    if (name.isEmpty() || !QFileInfo(name).suffix().isEmpty() || name.endsWith(QLatin1Char('/'))) return name;
    return name + suffix;
}

}  // namespace jov
