// The real open and save dialog, shown on the offscreen platform: where it opens, what it offers,
// what it remembers, and that showing a folder never opens the files in it.
#include "XdoTool.h"

#include "platform/ui/Dialogs.h"
#include "platform/ui/FileDialog.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

namespace kaptiv::testing {
namespace {

// A home folder and a toolkit settings folder of the test's own.
class FileDialogFolders : public ::testing::Test {
protected:
    FileDialogFolders() : oldHome(qgetenv("HOME")), oldConfig(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("HOME", home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    }
    ~FileDialogFolders() override
    {
        qputenv("HOME", oldHome);
        qputenv("XDG_CONFIG_HOME", oldConfig);
    }
    QSettings toolkitSettings() { return {QSettings::UserScope, QStringLiteral("QtProject")}; }

    // Shows the real dialog for `dialog`; `look` runs once it is up, then it is cancelled.
    void show(FileDialog &dialog, const std::function<void(QFileDialog &)> &look)
    {
        bool looked = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (looked || !box || !box->isVisible())
                return;
            looked = true;
            look(*box);
            box->reject();
        });
        poll.start(20);
        EXPECT_FALSE(realDialogs().executeFileDialog(nullptr, dialog));
        EXPECT_TRUE(looked) << "the dialog never came up";
    }

    QTemporaryDir home, config, files;
    QByteArray oldHome, oldConfig;
};

TEST_F(FileDialogFolders, ADialogNeverOpensInASystemFolderNorOffersANameThere)
{
    ASSERT_TRUE(QDir(files.path()).mkpath(QStringLiteral("shots")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self"), files.filePath(QStringLiteral("kernel"))));
    const QString shots = files.filePath(QStringLiteral("shots"));
    const QString homeUrl = QUrl::fromLocalFile(home.path()).toString();
    struct Case {
        FileDialog::Kind kind;
        QString lastFile, rememberedByToolkit; // the toolkit keeps its folder as a URL
        QString opensIn, offered, rememberedAfter;
    } cases[] = {
        // A save into /proc failed: the next dialog neither goes back there nor offers the name.
        {FileDialog::Save, QStringLiteral("/proc/x.bmp"), {}, home.path(), {}, homeUrl},
        {FileDialog::Save, QStringLiteral("/sys/kernel/x.png"), {}, home.path(), {}, homeUrl},
        {FileDialog::Open, files.filePath(QStringLiteral("kernel/x.bmp")), {}, home.path(), {}, homeUrl},
        // What the toolkit remembers from an earlier run leads nowhere near them either.
        {FileDialog::Open, {}, QStringLiteral("file:///proc/sys"), home.path(), {}, homeUrl},
        {FileDialog::Save, {}, QStringLiteral("file:///dev"), home.path(), {}, homeUrl},
        // Ordinary folders are kept: the last file's first, else the toolkit's.
        {FileDialog::Save, shots + QStringLiteral("/shot.png"), QStringLiteral("file:///dev"), shots,
         QStringLiteral("shot.png"), QUrl::fromLocalFile(shots).toString()},
        {FileDialog::Open, {}, QUrl::fromLocalFile(shots).toString(), shots, {}, QUrl::fromLocalFile(shots).toString()},
        {FileDialog::Open, {}, {}, home.path(), {}, homeUrl},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE((c.lastFile + QStringLiteral(" / ") + c.rememberedByToolkit).toStdString());
        {
            QSettings settings = toolkitSettings();
            settings.setValue(QStringLiteral("FileDialog/lastVisited"), c.rememberedByToolkit);
            settings.setValue(QStringLiteral("FileDialog/history"),
                              QStringList{QStringLiteral("file:///proc"), QUrl::fromLocalFile(shots).toString()});
        }
        FileDialog dialog;
        dialog.kind = c.kind;
        dialog.Filter = QStringLiteral("Bitmap (*.bmp)|*.bmp");
        dialog.FileName = c.lastFile;
        show(dialog, [&](QFileDialog &box) {
            EXPECT_EQ(box.directory().absolutePath(), c.opensIn);
            const auto *name = box.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            ASSERT_TRUE(name);
            EXPECT_EQ(name->text(), c.offered);
        });
        EXPECT_EQ(dialog.FileName, c.lastFile) << "a cancelled dialog keeps the last name";
        QSettings settings = toolkitSettings();
        EXPECT_EQ(settings.value(QStringLiteral("FileDialog/lastVisited")).toString(), c.rememberedAfter);
        for (const QString &url : settings.value(QStringLiteral("FileDialog/history")).toStringList())
            EXPECT_FALSE(url.startsWith(QLatin1String("file:///proc"))) << url.toStdString();
    }
}

// Names of the files in `folder` that were opened since the last call.
class OpenedFiles {
public:
    explicit OpenedFiles(const QString &folder)
        : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
          watch_(inotify_add_watch(fd_, folder.toLocal8Bit().constData(), IN_OPEN | IN_ACCESS))
    {
    }
    ~OpenedFiles() { ::close(fd_); }
    bool watching() const { return fd_ >= 0 && watch_ >= 0; }
    QStringList names()
    {
        QStringList result;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (char *p = buffer; p < buffer + n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(p);
                if (event->len > 0)
                    result << QString::fromLocal8Bit(event->name);
                p += sizeof(inotify_event) + event->len;
            }
        }
        return result;
    }

private:
    int fd_, watch_;
};

TEST_F(FileDialogFolders, ShowingAFolderNeverOpensTheFilesInIt)
{
    // Kernel files such as /proc/kmsg block whoever reads them; a file whose name tells nothing
    // is the one the toolkit would open to guess its type.
    const QString folder = files.path();
    const QStringList names{QStringLiteral("picture"), QStringLiteral("notes.txt"), QStringLiteral("kmsg")};
    for (const QString &name : names) {
        QFile file(files.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\x89PNG\r\n\x1A\n not much of a picture");
    }
    OpenedFiles opened(folder);
    ASSERT_TRUE(opened.watching());
    FileDialog dialog;
    dialog.Filter = QStringLiteral("All (*)|*");
    show(dialog, [&](QFileDialog &box) {
        box.setDirectory(folder); // the user goes there
        auto *model = box.findChild<QFileSystemModel *>();
        ASSERT_TRUE(model);
        EXPECT_TRUE(waitUntil([&] {
            return std::all_of(names.begin(), names.end(), [&](const QString &name) {
                return !model->type(model->index(files.filePath(name))).isEmpty();
            });
        })) << "the folder was never listed";
        EXPECT_EQ(model->type(model->index(files.filePath(QStringLiteral("notes.txt")))), QStringLiteral("TXT File"));
        // One step back leads to where the dialog opened.
        auto *back = box.findChild<QToolButton *>(QStringLiteral("backButton"));
        ASSERT_TRUE(back);
        back->click();
        EXPECT_EQ(box.directory().absolutePath().toStdString(), home.path().toStdString());
    });
    EXPECT_EQ(opened.names(), QStringList());
}

} // namespace
} // namespace kaptiv::testing
