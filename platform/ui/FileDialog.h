#pragma once
// An open or save dialog as a command sets it up before showing it (through Dialogs). The object
// outlives each showing, so the last file name chosen is offered again the next time.

#include <QString>
#include <QStringList>

class QWidget;

namespace kaptiv {

struct FileDialog {
    enum Kind { Open, Save };
    Kind kind = Open;
    // Pairs of display text and patterns: "Bitmap (*.bmp)|*.bmp|JPEG (*.jpg)|*.jpg;*.jpeg".
    QString Filter;
    // Without the dot; added to a chosen name that has no extension of its own.
    QString DefaultExt;
    // The chosen file's full path after a showing that was not cancelled.
    QString FileName;
};

// The filter as the toolkit's dialog takes it: one entry per pair, the display text followed by
// its patterns in parentheses (to be hidden: the display text is shown as it stands).
QStringList toolkitNameFilters(const QString &filter);

// `name` with ".ext" added when its file-name part has no extension ("shot" -> "shot.png";
// "shot.v2" and "a.b/shot.png" stay as they are; "a.b/shot" -> "a.b/shot.png").
QString withDefaultExtension(const QString &name, const QString &defaultExt);

// Shows the dialog through Dialogs; on OK its FileName is the chosen file with the default
// extension added where none was typed. False when cancelled (FileName is then kept).
bool Execute(FileDialog &dialog, QWidget *parent);

} // namespace kaptiv
