// Record Area to GIF: the area chosen on the frozen screen as Grab Rectangular Area chooses it (a
// click takes the window under the pointer), recorded into an unnamed file in the last folder
// used, named by Save As when the recording stops, then played in a window of its own.
#include "app/FlagDuringCommand.h"
#include "app/GlobalHotKeys.h"
#include "app/mainSnap.h"
#include "capture/CaptureOverlay.h"
#include "capture/RecordingWindow.h"
#include "capture/WndFromPt.h"
#include "gif/GIFImage.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Errors.h"
#include "platform/files/FileAccess.h"
#include "platform/files/NativeNames.h"
#include "platform/desktop/WaylandDesktop.h"
#include "record/Recorder.h"
#include "record/X11AreaSource.h"
#include "record/X11KeyGrab.h"
#include "settings/RecordingSettings.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace kaptiv {

namespace {

// The folder of the last file opened or saved, else the home folder.
QString lastFolder(const FileDialog &save, const FileDialog &open)
{
    for (const FileDialog *dialog : {&save, &open})
        if (!dialog->FileName.isEmpty() && QFileInfo(QFileInfo(dialog->FileName).absolutePath()).isDir())
            return QFileInfo(dialog->FileName).absolutePath();
    return QDir::homePath();
}

QString durationText(std::int64_t hundredths)
{
    return QStringLiteral("%1.%2 s").arg(hundredths / 100).arg(hundredths % 100, 2, 10, QLatin1Char('0'));
}

record::RecordingOptions recordingOptionsOf(const RecordingSettings &settings)
{
    record::RecordingOptions options;
    options.fps = settings.framesPerSecond;
    options.maxDurationMs = std::int64_t(settings.maxLengthSeconds) * 1000;
    options.colors = settings.reduceColors ? record::ColorMode::Adaptive : record::ColorMode::AsIs;
    options.dither = settings.dither;
    return options;
}

} // namespace

std::optional<ScreenRect> TScreenfrm::chooseRecordingArea(Desktop &screen)
{
    const QSize screenSize = screen.screenSize();
    ScreenRect area;
    {
        struct Freed {
            std::optional<Bitmap> &bitmap;
            ~Freed() { bitmap.reset(); }
        } freed{CaptureBitmap};
        FlagDuringCommand rectangle(RectangleMode, true);
        TCapturefrm overlay(*this, screen); // waits the delay and freezes the screen
        WindowListHeld windows(windowLookup(), screen, overlay.windowId());
        if (dialogs().execModal(overlay) != mrOk)
            return std::nullopt;
        area = overlay.Selection;
        if (overlay.ClickedAt) {
            const WindowId window = windowLookup().WindowAtPoint(screen, *overlay.ClickedAt);
            if (window)
                area = screen.windowRect(window);
        }
    }
    // Only what is on the screen can be recorded.
    area = {std::max(area.Left, 0), std::max(area.Top, 0), std::min(area.Right, screenSize.width()),
            std::min(area.Bottom, screenSize.height())};
    if (area.width() < 1 || area.height() < 1)
        return std::nullopt;
    return area;
}

void TScreenfrm::RecordAreatoGIF1Click(QObject *)
{
    if (offerScreenInstead(HiddenFromPrograms::Recording))
        return;
    const RecordingSettings settings = loadRecordingSettings();
    Desktop &screen = desktop();
    const QSize screenSize = screen.screenSize();
    std::unique_ptr<files::UnnamedFile> file;
    record::RecordingStats stats;
    std::string message;
    bool written = false;
    {
        // Hidden from the choice of the area to the end of the recording, so the program's own
        // windows never stand in the area.
        HiddenDuringCapture hidden(*this, hideProgram());
        const std::optional<ScreenRect> chosen = chooseRecordingArea(screen);
        if (!chosen)
            return;
        const ScreenRect area = *chosen;

        const QString folder = lastFolder(save, open);
        const QString shownAs = QDir(folder).filePath(QStringLiteral("(recording)"));
        file = std::make_unique<files::UnnamedFile>(std::filesystem::path(encodeNativeName(folder)),
                                                    std::filesystem::path(encodeNativeName(shownAs)));
        record::AreaSourceOptions source;
        source.x = area.Left;
        source.y = area.Top;
        source.width = area.width();
        source.height = area.height();
        source.includeCursor = settings.includeCursor;
        std::unique_ptr<record::AreaSource> reader;
        try {
            reader = record::openX11AreaSource(source);
        } catch (const std::runtime_error &e) {
            throw EDisplayError(QStringLiteral("Cannot record: %1.").arg(QString::fromStdString(e.what())));
        }
        files::UnnamedFile &out = *file;
        record::Recorder recorder(
            std::move(reader),
            [&out](const record::NextPiece &next) {
                for (auto piece = next(); !piece.empty(); piece = next())
                    out.Append(piece);
            },
            recordingOptionsOf(settings));
        RecordingControl control(recorder, area, screenSize);
        // The keys work whichever program has the focus, and only while the recording runs.
        record::X11KeyGrab keys({}, {globalKeyOf(settings.stopKey), globalKeyOf(settings.pauseKey)},
                                [&recorder](int key) {
                                    if (key == 0)
                                        recorder.stop();
                                    else if (recorder.paused())
                                        recorder.resume();
                                    else
                                        recorder.pause();
                                });
        recorder.start();
        control.runUntilFinished();
        written = recorder.wait();
        stats = recorder.stats();
        message = recorder.message();
    }
    if (!written)
        throw EOpenFile(QStringLiteral("The recording was not written: %1.").arg(QString::fromStdString(message)));
    if (!message.empty())
        showErrorBox(QStringLiteral("The recording ended early: %1. The frames before stay in the file.")
                         .arg(QString::fromStdString(message)));

    save.kind = FileDialog::Save;
    save.Filter = QStringLiteral("GIF (*.gif)|*.gif");
    save.DefaultExt = QStringLiteral("gif");
    save.FileName = QDir(file->Folder().empty() ? QDir::homePath() : QString::fromStdString(file->Folder().string()))
                        .filePath(QDateTime::currentDateTime().toString(QStringLiteral("'Recording-'yyyy-MM-dd-HHmmss'.gif'")));
    if (!Execute(save, this))
        return; // the unnamed file goes with `file`: nothing is left on disk
    const QString path = save.FileName;
    files::FileWriter(std::filesystem::path(encodeNativeName(path))).Keep(*file);
    file.reset();
    showRecording(path, stats);
}

void TScreenfrm::showRecording(const QString &path, const record::RecordingStats &stats)
{
    auto *window = new QWidget(this, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("%1 - %2 frames, %3, %4 - Kaptiv")
                               .arg(QFileInfo(path).fileName())
                               .arg(stats.framesWritten)
                               .arg(durationText(stats.durationCs), byteCountText(stats.bytes)));
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *player = new TGIFImage(window);
    layout->addWidget(player);
    if (!player->LoadGIFFile(path)) {
        delete window;
        throw EGIFError(QStringLiteral("\"%1\" is not a GIF file that can be read.").arg(path));
    }
    player->setMinimumDelay(10); // the file's own delays: a recording plays in real time
    player->setLoop(true);
    player->setCenter(true);
    player->setAnimate(true);
    const QSize room = QGuiApplication::primaryScreen()->availableSize() * 4 / 5;
    // Wide enough for the whole title, which says what was recorded.
    const int titleWidth = window->fontMetrics().horizontalAdvance(window->windowTitle()) + 160;
    window->resize(QSize(player->ImageWidth(), player->ImageHeight()).expandedTo({titleWidth, 120}).boundedTo(room));
    window->show();
}

} // namespace kaptiv
