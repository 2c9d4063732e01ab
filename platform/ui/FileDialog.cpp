#include "platform/ui/FileDialog.h"

#include "platform/ui/Dialogs.h"

namespace kaptiv {

QStringList toolkitNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return filters;
}

QString withDefaultExtension(const QString &name, const QString &defaultExt)
{
    const qsizetype base = name.lastIndexOf(QLatin1Char('/')) + 1;
    if (defaultExt.isEmpty() || name.indexOf(QLatin1Char('.'), base) >= 0)
        return name;
    return name + QLatin1Char('.') + defaultExt;
}

bool Execute(FileDialog &dialog, QWidget *parent)
{
    FileDialog shown = dialog;
    if (!dialogs().executeFileDialog(parent, shown))
        return false;
    dialog.FileName = withDefaultExtension(shown.FileName, dialog.DefaultExt);
    return true;
}

} // namespace kaptiv
