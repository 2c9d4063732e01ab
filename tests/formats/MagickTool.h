#pragma once
// ImageMagick as the other program in tests: it writes files for our readers and reads ours.

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace kaptiv {

inline QByteArray runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " " << arguments.join(' ').toStdString() << ": "
                      << process.readAllStandardError().toStdString();
        return {};
    }
    return process.readAllStandardOutput();
}

// ImageMagick's reading of a file as 8-bit RGBA pixels.
inline QImage magickPixels(const QString &file, int w, int h)
{
    const QByteArray rgba = runTool(QStringLiteral("convert"), {file + QStringLiteral("[0]"), QStringLiteral("-depth"),
                                                                 QStringLiteral("8"), QStringLiteral("rgba:-")});
    if (rgba.size() != qsizetype(w) * h * 4) {
        ADD_FAILURE() << file.toStdString() << ": ImageMagick gave " << rgba.size() << " bytes";
        return {};
    }
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uchar *p = reinterpret_cast<const uchar *>(rgba.constData()) + 4 * (qsizetype(y) * w + x);
            image.setPixel(x, y, qRgba(p[0], p[1], p[2], p[3]));
        }
    return image;
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace kaptiv
