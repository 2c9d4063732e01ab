#include "settings/ConfigSnap.h"

#include "platform/ui/Dialogs.h"
#include "platform/ui/Errors.h"
#include "platform/store/Registry.h"
#include "settings/CaptureHotKeys.h"
#include "settings/RecordingPage.h"
#include "settings/HotKeysEverywhere.h"
#include "settings/RegSnap.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include <vector>

namespace kaptiv {

TConfigfrm::TConfigfrm(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      PageControl(new QTabWidget),
      hideprog(new QCheckBox(QStringLiteral("Hide program during captures."))),
      confirm(new QCheckBox(QStringLiteral("Confirm closing of images."))),
      coords(new QCheckBox(QStringLiteral("Show coordinates on capture."))),
      Delay(new QLineEdit(QStringLiteral("1500"))),
      Scrn(new HotKeyEdit), rec(new HotKeyEdit), wnd(new HotKeyEdit), active(new HotKeyEdit),
      aclient(new HotKeyEdit), cust(new HotKeyEdit), client(new HotKeyEdit), recording(new RecordingPage),
      everyProgram(new QCheckBox(QStringLiteral("Use hot keys in every program"))),
      commonKeysWarning(new QLabel),
      Button1(new QPushButton(QStringLiteral("OK"))),
      Button2(new QPushButton(QStringLiteral("Cancel"))),
      def(new QPushButton(QStringLiteral("Defaults")))
{
    setObjectName(QStringLiteral("Configfrm"));
    setWindowTitle(QStringLiteral("Program Configuration"));
    hideprog->setChecked(true);
    confirm->setChecked(false);
    coords->setChecked(true);
    Delay->setMaxLength(5);
    Delay->installEventFilter(this);

    PageControl->addTab(buildGeneralPage(), QStringLiteral("General"));
    PageControl->addTab(buildHotKeysPage(), QStringLiteral("Hot Keys"));
    PageControl->addTab(recording, QStringLiteral("Recording"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addWidget(def);
    Button1->setDefault(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(PageControl);
    layout->addLayout(buttons);
    // 256 x 309 where the texts of both pages fit; larger where the font needs more.
    ensurePolished();
    setFixedSize(minimumSizeHint().expandedTo(QSize(256, 309)));

    setTabOrder(Button1, Button2);
    setTabOrder(Button2, def);
    setTabOrder(def, PageControl);
    setTabOrder(PageControl, hideprog);
    setTabOrder(hideprog, confirm);
    setTabOrder(confirm, coords);
    setTabOrder(coords, Delay);
    const auto fields = hotKeyFields();
    for (std::size_t i = 1; i < fields.size(); ++i)
        setTabOrder(fields[i - 1], fields[i]);
    setTabOrder(fields.back(), everyProgram);

    connect(everyProgram, &QCheckBox::toggled, this, [this] { showCommonKeysWarning(); });
    for (HotKeyEdit *field : fields)
        connect(field, &QLineEdit::textChanged, this, [this] { showCommonKeysWarning(); });

    connect(Button1, &QPushButton::clicked, this, asCommand([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, asCommand([this] { Button2Click(); }));
    connect(def, &QPushButton::clicked, this, asCommand([this] { defClick(); }));
}

QWidget *TConfigfrm::buildGeneralPage()
{
    auto *group = new QGroupBox(QStringLiteral("General Configuration"));
    auto *delayRow = new QHBoxLayout;
    Delay->setFixedWidth(60);
    delayRow->addWidget(Delay);
    delayRow->addWidget(new QLabel(QStringLiteral("(milli seconds)")));
    delayRow->addStretch();
    auto *column = new QVBoxLayout(group);
    column->addWidget(hideprog);
    column->addWidget(confirm);
    column->addWidget(coords);
    column->addSpacing(8);
    column->addWidget(new QLabel(QStringLiteral("Delay to refresh screen:")));
    column->addLayout(delayRow);
    column->addStretch();

    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(group);
    return page;
}

QWidget *TConfigfrm::buildHotKeysPage()
{
    auto *group = new QGroupBox(QStringLiteral("Hot Key Configuration"));
    auto *grid = new QGridLayout(group);
    grid->setVerticalSpacing(3);
    grid->setHorizontalSpacing(4);
    grid->addWidget(new QLabel(QStringLiteral("(SHIFT for None)")), 0, 1);
    const char *captions[7] = {"Grab &Screen:", "Grab &Rectangle:", "Grab &Window:", "Active Window:",
                               "Ac&tive Client:", "&Custom Region:", "Client Area:"};
    const auto fields = hotKeyFields();
    for (int row = 0; row < 7; ++row) {
        auto *label = new QLabel(QString::fromLatin1(captions[row]));
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        label->setBuddy(fields[row]);
        grid->addWidget(label, row + 1, 0);
        fields[row]->setFixedWidth(98);
        grid->addWidget(fields[row], row + 1, 1);
    }
    grid->addWidget(everyProgram, 8, 0, 1, 2);
    commonKeysWarning->setObjectName(QStringLiteral("commonKeysWarning"));
    commonKeysWarning->hide();
    grid->addWidget(commonKeysWarning, 9, 0, 1, 2);
    grid->setRowStretch(10, 1);

    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(group);
    return page;
}

void TConfigfrm::showCommonKeysWarning()
{
    std::array<ShortcutValue, 7> keys{};
    const auto fields = hotKeyFields();
    for (std::size_t i = 0; i < fields.size(); ++i)
        keys[i] = fields[i]->value();
    const QString warning = everyProgram->isChecked() ? kaptiv::commonKeysWarning(keys) : QString();
    if (warning == commonKeysWarning->text() && commonKeysWarning->isHidden() == warning.isEmpty())
        return;
    commonKeysWarning->setText(warning);
    commonKeysWarning->setVisible(!warning.isEmpty());
    fitToContents();
}

void TConfigfrm::fitToContents()
{
    // The dialog keeps a fixed size: it grows for the warning and shrinks back without it. The
    // layouts between them still hold the sizes from before.
    for (QWidget *w = commonKeysWarning->parentWidget(); w; w = w->parentWidget())
        if (w->layout())
            w->layout()->invalidate();
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QSize frameExtra = frameGeometry().size() - size();
    setFixedSize(minimumSizeHint().expandedTo(QSize(256, 309)));
    // Grown downwards, it may reach past the screen's bottom: its buttons stay on the screen.
    if (const QScreen *shownOn = isVisible() ? screen() : nullptr) {
        const QRect area = shownOn->availableGeometry();
        const int bottom = y() + height() + frameExtra.height();
        if (bottom > area.bottom() + 1)
            move(x(), std::max(area.top(), y() - (bottom - area.bottom() - 1)));
    }
}

void TConfigfrm::attachCaptureItems(QWidget &mainWindow, const std::array<QAction *, 7> &items)
{
    captureHotKeys_ = new CaptureHotKeys(mainWindow, items);
}

void TConfigfrm::applyHotKeyToMenu(int row)
{
    if (captureHotKeys_)
        captureHotKeys_->setHotKey(row, hotKeyFields()[row]->value());
}

void TConfigfrm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The first showing is centred on the screen; later ones stay where the main window put them.
    if (!shownBefore_) {
        shownBefore_ = true;
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->geometry();
            move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
        }
    }
    Button1->setFocus(); // every showing starts at the first control in tab order
    FormShow();
    fitToContents();
}

void TConfigfrm::FormShow()
{
    LoadSettings(*this);
    recording->showSettings(loadRecordingSettings());
}

void TConfigfrm::Button1Click()
{
    // The recording's keys are grabbed while a recording runs, so they must differ from the rest too.
    const auto captureFields = hotKeyFields();
    std::vector<HotKeyEdit *> fields(captureFields.begin(), captureFields.end());
    fields.insert(fields.end(), {recording->stopKey, recording->pauseKey});
    for (std::size_t i = 0; i < fields.size(); ++i)
        for (std::size_t j = i + 1; j < fields.size(); ++j)
            if (fields[i]->value() != 0 && fields[i]->value() == fields[j]->value())
                throw EHotKey(QStringLiteral("Each hot key must be unique from one another"));
    SaveSettings(*this);
    saveRecordingSettings(recording->values());
    emit settingsSaved();
    done(mrOk);
}

void TConfigfrm::Button2Click()
{
    done(mrCancel);
    // Nothing typed here may stay in force after Cancel (an emptied delay would break the next
    // capture): the fields go back to what is stored.
    FormShow();
}

void TConfigfrm::reject() { Button2Click(); }

void TConfigfrm::defClick()
{
    if (!askConfirmation(this, QStringLiteral("Your currents settings will be lost if you continue.  Are you sure "
                                              "you would like to reset to default program configuration values?")))
        return;
    Registry access(RegistryRoot::CurrentUser);
    WriteDefaultSettings(access, *this);
    saveRecordingSettings(RecordingSettings{});
    recording->showSettings(RecordingSettings{});
}

bool TConfigfrm::DelayKeyPress(const QKeyEvent &key)
{
    // Only keys that type a character are filtered; Tab moves on and Delete deletes, as always.
    if (key.text().isEmpty() || key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab
        || key.key() == Qt::Key_Delete)
        return false;
    const QChar typed = key.text().front();
    if (typed == QChar(8) || (typed >= QLatin1Char('0') && typed <= QLatin1Char('9')))
        return false;
    dialogs().beep();
    return true;
}

bool TConfigfrm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Delay && event->type() == QEvent::KeyPress)
        return DelayKeyPress(*static_cast<QKeyEvent *>(event));
    return QDialog::eventFilter(watched, event);
}

} // namespace kaptiv

namespace kaptiv {
CaptureHotKeys *TConfigfrm::captureHotKeys() const { return captureHotKeys_.data(); }
} // namespace kaptiv
