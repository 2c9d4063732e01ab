// kaptiv play: a window with a player control playing a GIF file, for looking at real animations.
#include "cli/CommandLine.h"
#include "gif/GIFImage.h"
#include "gif/GifFrames.h"
#include "platform/desktop/Desktop.h"
#include "platform/ui/Errors.h"
#include "platform/files/NativeNames.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include <filesystem>
#include <memory>
#include <optional>

namespace kaptiv {

namespace {

struct PlayOptions {
    QString file;
    int speed = 100;
    bool once = false;
    QString fit; // --stretch, --ratio, --tile or --center; empty: plain
    std::optional<QRgb> background;
};

PlayOptions playOptions(const QStringList &arguments)
{
    PlayOptions options;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == QLatin1String("--speed")) {
            static const QRegularExpression digits(QStringLiteral("^[0-9]{1,6}$"));
            const QString value = i + 1 < arguments.size() ? arguments[++i] : QString();
            if (!digits.match(value).hasMatch() || value.toInt() < 1 || value.toInt() > 100000)
                throw UsageError{QStringLiteral("--speed takes a percentage from 1 to 100000, not '%1'").arg(value)};
            options.speed = value.toInt();
        } else if (a == QLatin1String("--once")) {
            options.once = true;
        } else if (a == QLatin1String("--stretch") || a == QLatin1String("--ratio") || a == QLatin1String("--tile")
                   || a == QLatin1String("--center")) {
            if (!options.fit.isEmpty() && options.fit != a)
                throw UsageError{QStringLiteral("%1 and %2 cannot be used together").arg(options.fit, a)};
            options.fit = a;
        } else if (a == QLatin1String("--background")) {
            static const QRegularExpression hex(QStringLiteral("^#?[0-9A-Fa-f]{6}$"));
            const QString value = i + 1 < arguments.size() ? arguments[++i] : QString();
            if (!hex.match(value).hasMatch())
                throw UsageError{QStringLiteral("--background takes a colour as RRGGBB, not '%1'").arg(value)};
            options.background = 0xFF000000u | value.right(6).toUInt(nullptr, 16);
        } else if (a.startsWith(QLatin1String("--"))) {
            throw UsageError{QStringLiteral("unknown option '%1'").arg(a)};
        } else if (options.file.isEmpty()) {
            options.file = a;
        } else {
            throw UsageError{QStringLiteral("play takes one file, not '%1'").arg(a)};
        }
    }
    if (options.file.isEmpty())
        throw UsageError{QStringLiteral("play needs a GIF file")};
    return options;
}

constexpr QSize MinimumWindow{160, 120};

// The window's size: the picture's. Without a placement option a picture that does not fit in
// 90 % of the screen is shown whole, made smaller to fit there; with one, the window keeps to
// 80 % of the screen and the option says what the picture does in it.
struct WindowFit {
    QSize size;
    bool smaller = false; // the picture is made smaller to fit
};

WindowFit windowFit(QSize picture, bool plain)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!plain)
        return {picture.expandedTo(MinimumWindow).boundedTo(screen->availableSize() * 4 / 5)};
    const QSize room = (screen->size() * 9 / 10).boundedTo(screen->availableSize());
    if (picture.width() <= room.width() && picture.height() <= room.height())
        return {picture.expandedTo(MinimumWindow)};
    return {picture.scaled(room, Qt::KeepAspectRatio).expandedTo({1, 1}), true};
}

} // namespace

int runPlayCommand(const QStringList &arguments)
{
    const PlayOptions options = playOptions(arguments);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        throw EDisplayError(QStringLiteral("no display to show the animation on (DISPLAY is not set)."));
    static int argc = 1;
    static char name[] = "kaptiv";
    static char *argv[] = {name, nullptr};
    std::unique_ptr<QApplication> ownApplication;
    if (!QApplication::instance())
        ownApplication = std::make_unique<QApplication>(argc, argv);
    requireDisplayForWindows();

    QWidget window;
    window.setWindowTitle(QStringLiteral("%1 - Kaptiv").arg(QFileInfo(options.file).fileName()));
    if (options.background) {
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, QColor::fromRgb(*options.background));
        window.setPalette(palette);
        window.setAutoFillBackground(true);
    }
    auto *layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *player = new TGIFImage(&window);
    layout->addWidget(player);
    player->setDecodeAsShown(true);
    if (!player->LoadGIFFile(options.file)) {
        std::error_code error;
        if (!std::filesystem::exists(nativePath(options.file), error))
            throw EGIFError(QStringLiteral("\"%1\" does not exist.").arg(options.file));
        loadGifAnimation(options.file); // raises the reason: no GIF, a limit passed, its canvas too large
        throw EGIFError(QStringLiteral("\"%1\" is not a GIF file that can be read.").arg(options.file));
    }
    player->setStretch(options.fit == QLatin1String("--stretch"));
    player->setStretchRatio(options.fit == QLatin1String("--ratio"));
    player->setTile(options.fit == QLatin1String("--tile"));
    player->setCenter(options.fit == QLatin1String("--center"));
    player->setSpeed(options.speed);
    if (options.once) {
        player->setLoop(false);
        // After the last frame has had its time.
        player->OnWrapAnimation = [&window, player](QObject *) {
            QTimer::singleShot(int(player->Timer().Interval()), &window, &QWidget::close);
        };
    }
    player->setAnimate(true);

    const WindowFit fit = windowFit(QSize(player->ImageWidth(), player->ImageHeight()), options.fit.isEmpty());
    window.resize(fit.size);
    if (fit.smaller)
        player->setStretchRatio(true);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
    QObject::connect(escape, &QShortcut::activated, &window, &QWidget::close);
    window.show();
    if (options.once && !player->IsAnimated())
        QTimer::singleShot(0, &window, &QWidget::close); // a still picture has nothing to play through
    return QApplication::exec();
}

} // namespace kaptiv
