#include "platform/ui/ToolkitFileDialog.h"

#include "platform/ui/FileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>

namespace kaptiv {

NameOnlyIconProvider::NameOnlyIconProvider()
    : folder_(QFileIconProvider::icon(Folder)), file_(QFileIconProvider::icon(File)),
      drive_(QFileIconProvider::icon(Drive))
{
}

QIcon NameOnlyIconProvider::icon(const QFileInfo &info) const
{
    if (info.isRoot())
        return drive_;
    return info.isDir() ? folder_ : file_;
}

QString NameOnlyIconProvider::type(const QFileInfo &info) const
{
    if (info.isRoot())
        return QStringLiteral("Drive");
    if (info.isDir())
        return QStringLiteral("Folder");
    const QString suffix = info.suffix();
    return suffix.isEmpty() ? QStringLiteral("File") : QStringLiteral("%1 File").arg(suffix.toUpper());
}

namespace {

bool insideSystemFolder(const QString &absolute)
{
    for (const char *top : {"/proc", "/sys", "/dev"}) {
        const QLatin1String folder(top);
        if (absolute == folder || (absolute.startsWith(folder) && absolute.at(folder.size()) == QLatin1Char('/')))
            return true;
    }
    return false;
}

bool usableFolder(const QString &folder)
{
    return !folder.isEmpty() && QFileInfo(folder).isDir() && !isSystemFolder(folder);
}

QString localFolder(const QVariant &url) { return QUrl(url.toString()).toLocalFile(); }

} // namespace

bool isSystemFolder(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (insideSystemFolder(absolute))
        return true;
    // Following links only stats them; empty when the path does not exist.
    const QString resolved = QFileInfo(absolute).canonicalFilePath();
    return !resolved.isEmpty() && insideSystemFolder(resolved);
}

QString startFolder(const QString &lastFileName, const QString &remembered, const QString &home)
{
    if (!lastFileName.isEmpty()) {
        const QString folder = QFileInfo(lastFileName).absolutePath();
        if (usableFolder(folder))
            return folder;
    }
    return usableFolder(remembered) ? remembered : home;
}

QString cleanRememberedFolder(const QString &home)
{
    QSettings settings(QSettings::UserScope, QStringLiteral("QtProject"));
    settings.beginGroup(QStringLiteral("FileDialog"));
    QString folder = localFolder(settings.value(QStringLiteral("lastVisited")));
    if (isSystemFolder(folder)) {
        folder = home;
        settings.setValue(QStringLiteral("lastVisited"), QUrl::fromLocalFile(home).toString());
    }
    const QStringList history = settings.value(QStringLiteral("history")).toStringList();
    QStringList kept;
    for (const QString &url : history)
        if (!isSystemFolder(localFolder(url)))
            kept << url;
    if (kept.size() != history.size())
        settings.setValue(QStringLiteral("history"), kept);
    return folder;
}

bool runToolkitFileDialog(QWidget *parent, FileDialog &dialog)
{
    const bool save = dialog.kind == FileDialog::Save;
    const QString home = QDir::homePath();
    const QString start = startFolder(dialog.FileName, cleanRememberedFolder(home), home);
    // The toolkit's dialog lists the folder it is made with at once, with icons of its own that
    // sniff file contents: it is made in an empty folder and given our icons before it moves on.
    // That folder goes at once: a step back past the start leads to a folder that is gone, where
    // nothing can be made.
    QTemporaryDir empty;
    const bool madeEmpty = empty.isValid();
    const QString emptyPath = madeEmpty ? empty.path() : start;
    NameOnlyIconProvider icons; // outlives the dialog, which keeps a pointer to it
    QFileDialog box(parent, save ? QStringLiteral("Save As") : QStringLiteral("Open"), emptyPath);
    // The toolkit's own dialog looks and behaves the same on every desktop.
    box.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    box.setIconProvider(&icons);
    box.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    box.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    box.setNameFilters(toolkitNameFilters(dialog.Filter));
    box.setDefaultSuffix(dialog.DefaultExt);
    box.setDirectory(start);
    empty.remove();
    // The last name is offered again only where the dialog may go.
    if (!dialog.FileName.isEmpty() && QFileInfo(dialog.FileName).absolutePath() == start)
        box.selectFile(dialog.FileName);
    const bool chosen = box.exec() == QDialog::Accepted && !box.selectedFiles().isEmpty();
    if (chosen)
        dialog.FileName = box.selectedFiles().constFirst();
    // What the toolkit remembers of this showing (its last folder, kept across runs, and the
    // folders visited) leads no later dialog into a system folder or the emptied one.
    if (isSystemFolder(box.directory().absolutePath()))
        box.setDirectory(home);
    QStringList history;
    for (const QString &folder : box.history())
        if (!isSystemFolder(folder) && !(madeEmpty && folder == emptyPath))
            history << folder;
    box.setHistory(history);
    return chosen;
}

} // namespace kaptiv
