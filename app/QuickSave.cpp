// File > Save: writes the active picture again to its own file, or a new picture to the pictures folder.
#include "app/mainSnap.h"
#include "document/ChldSnap.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

namespace kaptiv {

namespace {

// "Kaptiv-2026-12-07-223015.png" in the pictures folder (made when missing). A name already taken,
// by a save within the same second, gets a number: no file is ever written over.
QString newPicturePath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty())
        folder = QDir::home().filePath(QStringLiteral("Pictures"));
    QDir().mkpath(folder);
    const QString stem =
        QDir(folder).filePath(QStringLiteral("Kaptiv-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss")));
    QString path = stem + QStringLiteral(".png");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QStringLiteral("%1-%2.png").arg(stem).arg(n);
    return path;
}

} // namespace

void TScreenfrm::saveActiveIn(const QString &format, const QString &path)
{
    const std::pair<const char *, void (TScreenfrm::*)(QObject *)> items[] = {
        {"bmp", &TScreenfrm::Bitmapbmp1Click}, {"gif", &TScreenfrm::GIFgif1Click}, {"ico", &TScreenfrm::Iconico1Click},
        {"jpg", &TScreenfrm::JPEGjpg1Click},   {"png", &TScreenfrm::PNGpng1Click},
    };
    for (const auto &[name, handler] : items) {
        if (format != QLatin1String(name))
            continue;
        presetSaveName_ = path;
        try {
            (this->*handler)(nullptr);
        } catch (...) {
            presetSaveName_.clear(); // a refusal before the name was asked for
            throw;
        }
        presetSaveName_.clear();
        return;
    }
}

void TScreenfrm::Save1Click(QObject *)
{
    TImagefrm *window = active();
    if (!window)
        return;
    if (window->SaveAsks) {
        saveActiveIn(window->SaveFormat, {});
        return;
    }
    QString path = window->SaveTarget;
    if (path.isEmpty()) {
        path = newPicturePath();
        saveActiveIn(QStringLiteral("png"), path);
    } else if (window->Image->picture().image() == window->SavedPixels) {
        // Nothing to write: a JPEG is not compressed once more for nothing.
        DisplayHint(QStringLiteral("Unchanged since saved: %1").arg(path));
        return;
    } else {
        saveActiveIn(window->SaveFormat, path);
    }
    if (window->SaveTarget == path)
        DisplayHint(QStringLiteral("Saved to %1").arg(path));
}

} // namespace kaptiv
