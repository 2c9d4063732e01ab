#include "platform/desktop/WaylandDesktop.h"

#include "platform/ui/Errors.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QEventLoop>
#include <QFile>
#include <QImageReader>
#include <QObject>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>

namespace kaptiv {

namespace {

constexpr int PortalTimeoutMs = 30000;

// Receives the request's Response signal; the portal sends it to the caller only.
class PortalResponse : public QObject {
    Q_OBJECT
public:
    bool answered = false;
    uint code = 2;
    QVariantMap results;
    QEventLoop loop;
public slots:
    void response(uint responseCode, const QVariantMap &responseResults)
    {
        answered = true;
        code = responseCode;
        results = responseResults;
        loop.quit();
    }
};

[[noreturn]] void fail(const QString &why) { throw EDisplayError(QStringLiteral("The screen could not be captured: %1").arg(why)); }

} // namespace

bool isWaylandSession()
{
    return qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")
           || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QString hiddenFromProgramsMessage(HiddenFromPrograms what)
{
    const auto sentence = [](const char *seeing, const char *consequence) {
        return QStringLiteral("This desktop does not let programs see other windows%1, so Kaptiv cannot %2.")
            .arg(QLatin1String(seeing), QLatin1String(consequence));
    };
    switch (what) {
    case HiddenFromPrograms::ActiveWindow: return sentence("", "capture the active window");
    case HiddenFromPrograms::ActiveWindowClient: return sentence("", "capture the client area of the active window");
    case HiddenFromPrograms::PickWindow: return sentence("", "pick a window on the screen");
    case HiddenFromPrograms::Cursor: return sentence(" or the mouse pointer", "draw the pointer into a capture");
    case HiddenFromPrograms::HotKeysEverywhere:
        return sentence(" or the keys pressed in them", "answer its hot keys while another program is active");
    case HiddenFromPrograms::Recording: return sentence("", "record an area of the screen");
    }
    return sentence("", "do this");
}

QImage takePortalScreenshot()
{
    if (!QCoreApplication::instance()) {
        // The command line runs without an application object; D-Bus replies and signals need one.
        // It lives as long as the process, like the bus connection that depends on it.
        static int argc = 1;
        static char name[] = "kaptiv";
        static char *argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        fail(QStringLiteral("there is no desktop session bus."));
    const QString token = QStringLiteral("kaptiv%1").arg(QRandomGenerator::global()->generate());
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
    PortalResponse response;
    // Subscribed before the call: the answer may come before the call returns.
    if (!bus.connect(service, handle, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                     &response, SLOT(response(uint, QVariantMap))))
        fail(QStringLiteral("the desktop's screenshot service cannot be listened to."));
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/portal/desktop"),
                                                       QStringLiteral("org.freedesktop.portal.Screenshot"),
                                                       QStringLiteral("Screenshot"));
    QVariantMap options{{QStringLiteral("handle_token"), token}, {QStringLiteral("interactive"), false}};
    call << QString() << options;
    const QDBusMessage reply = bus.call(call, QDBus::Block, PortalTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        bus.disconnect(service, handle, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                       &response, SLOT(response(uint, QVariantMap)));
        fail(QStringLiteral("the desktop's screenshot service did not answer (%1).").arg(reply.errorMessage()));
    }
    if (!response.answered) {
        QTimer::singleShot(PortalTimeoutMs, &response.loop, &QEventLoop::quit);
        response.loop.exec();
    }
    bus.disconnect(service, handle, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                   &response, SLOT(response(uint, QVariantMap)));
    if (!response.answered)
        fail(QStringLiteral("the desktop's screenshot service did not answer in time."));
    if (response.code == 1)
        fail(QStringLiteral("the screenshot was cancelled."));
    if (response.code != 0)
        fail(QStringLiteral("the desktop refused to take a screenshot."));
    const QUrl uri(response.results.value(QStringLiteral("uri")).toString());
    if (!uri.isLocalFile())
        fail(QStringLiteral("the desktop gave no picture file."));
    const QString path = uri.toLocalFile();
    QImageReader reader(path);
    QImage picture = reader.read();
    QFile::remove(path); // the picture is ours now; leave nothing behind
    if (picture.isNull())
        fail(QStringLiteral("the picture '%1' the desktop gave cannot be read (%2).").arg(path, reader.errorString()));
    return picture.convertToFormat(QImage::Format_RGB32);
}

QSize WaylandDesktop::screenSize()
{
    pending_ = takePortalScreenshot();
    return pending_.size();
}

QImage WaylandDesktop::grabScreen(const ScreenRect &area)
{
    const QImage screen = pending_.isNull() ? takePortalScreenshot() : std::exchange(pending_, QImage());
    QImage part(std::max(area.width(), 0), std::max(area.height(), 0), QImage::Format_RGB32);
    part.fill(Qt::black);
    QPainter painter(&part);
    painter.drawImage(QPoint(-area.Left, -area.Top), screen);
    return part;
}

WindowId WaylandDesktop::foregroundWindow() { throw ENoWindow(hiddenFromProgramsMessage(HiddenFromPrograms::ActiveWindow)); }
ScreenRect WaylandDesktop::windowRect(WindowId) { throw ENoWindow(hiddenFromProgramsMessage(HiddenFromPrograms::PickWindow)); }
ScreenRect WaylandDesktop::clientRect(WindowId) { throw ENoWindow(hiddenFromProgramsMessage(HiddenFromPrograms::PickWindow)); }

} // namespace kaptiv

#include "WaylandDesktop.moc"
