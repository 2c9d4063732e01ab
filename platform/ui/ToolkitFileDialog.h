#pragma once
// The toolkit's own open and save dialog, made safe to point anywhere. Showing a folder must never
// read the files in it: a kernel file such as /proc/kmsg blocks whoever reads it, and the toolkit's
// default icons and type names come from sniffing file contents. Nor may a dialog open in such a
// folder because it was the last one visited (ours, or the toolkit's own note of it, which
// outlives the program).

#include <QFileIconProvider>
#include <QString>

class QWidget;

namespace kaptiv {

struct FileDialog;

// Icons and type names from the file's name and kind alone; never opens a file.
class NameOnlyIconProvider : public QFileIconProvider {
public:
    NameOnlyIconProvider();
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo &info) const override;
    QString type(const QFileInfo &info) const override;

private:
    // Made once on the user-interface thread: the dialog asks from a thread of its own.
    QIcon folder_, file_, drive_;
};

// Whether `path` is /proc, /sys or /dev or lies inside one of them, as written or once its links
// are followed: folders of kernel files, where listing can hang and saving never makes sense.
bool isSystemFolder(const QString &path);

// The folder a dialog opens in: the folder of the last file chosen, else the folder the toolkit
// remembers, else `home`; a candidate that is a system folder or does not exist is passed over.
QString startFolder(const QString &lastFileName, const QString &remembered, const QString &home);

// The toolkit's remembered folder and history (kept in its own settings file across runs), with
// every system folder replaced by `home` (the folder) or dropped (the history). Returns the folder.
QString cleanRememberedFolder(const QString &home);

// Shows the toolkit's dialog as `dialog` says; see Dialogs::executeFileDialog.
bool runToolkitFileDialog(QWidget *parent, FileDialog &dialog);

} // namespace kaptiv
