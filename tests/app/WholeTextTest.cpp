// Every window and dialog of the program: no label, button, check box, group title or number field
// may show less than its whole text.
#include "AppFixture.h"

#include "animation/AnimSnap.h"
#include "animation/GIFSnap.h"
#include "app/AboutSnap.h"
#include "capture/CustSnap.h"
#include "document/ImgFrmtSnap.h"
#include "document/TranspSnap.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyleOptionGroupBox>
#include <QTabWidget>
#include <QToolButton>

namespace kaptiv::testing {
namespace {

// The part of `widget` its window shows: its rectangle cut by each parent's, in window coordinates.
QRect shownPart(const QWidget &widget)
{
    const QWidget *window = widget.window();
    QRect shown(widget.mapTo(window, QPoint(0, 0)), widget.size());
    for (const QWidget *p = widget.parentWidget(); p && p != window; p = p->parentWidget())
        shown &= QRect(p->mapTo(window, QPoint(0, 0)), p->size());
    return shown & window->rect();
}

// `area` of `widget` (widget coordinates) as far as the window shows it.
QRect shownArea(const QWidget &widget, const QRect &area)
{
    const QRect inWindow = area.translated(widget.mapTo(widget.window(), QPoint(0, 0)));
    return inWindow & shownPart(widget);
}

QStyle::SubElement contentsOf(const QAbstractButton &button)
{
    if (qobject_cast<const QCheckBox *>(&button))
        return QStyle::SE_CheckBoxContents;
    if (qobject_cast<const QRadioButton *>(&button))
        return QStyle::SE_RadioButtonContents;
    return QStyle::SE_PushButtonContents;
}

// Where each text-bearing widget has room for its text, and the text that must fit there.
struct TextPlace {
    QRect room; // window coordinates, as far as shown
    QString text;
    QSize needed;
};

std::optional<TextPlace> placeOf(QWidget &widget)
{
    const QFontMetrics fm = widget.fontMetrics();
    auto place = [&](const QRect &room, const QString &text) {
        return TextPlace{shownArea(widget, room), text, fm.size(Qt::TextShowMnemonic, text)};
    };
    if (auto *label = qobject_cast<QLabel *>(&widget); label && !label->text().isEmpty()) {
        if (!label->wordWrap())
            return place(label->contentsRect(), label->text());
        // A wrapped text needs the lines it breaks into at the width it is given.
        const QRect room = label->contentsRect();
        const QRect wrapped = fm.boundingRect(QRect(0, 0, room.width(), 100000), Qt::TextWordWrap, label->text());
        return TextPlace{shownArea(widget, room), label->text(), wrapped.size()};
    }
    if (auto *tool = qobject_cast<QToolButton *>(&widget); tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly)
        return std::nullopt;
    if (auto *button = qobject_cast<QAbstractButton *>(&widget); button && !button->text().isEmpty()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        return place(button->style()->subElementRect(contentsOf(*button), &option, button), button->text());
    }
    if (auto *box = qobject_cast<QGroupBox *>(&widget); box && !box->title().isEmpty()) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        return place(label & box->rect(), box->title());
    }
    if (auto *spin = qobject_cast<QSpinBox *>(&widget)) {
        // The widest number the field takes: its maximum, or as many digits as may be typed.
        const QLineEdit *edit = spin->findChild<QLineEdit *>();
        QString widest = QString::number(spin->maximum());
        if (edit->maxLength() > widest.size() && edit->maxLength() < 10)
            widest = QString(edit->maxLength(), QLatin1Char('8'));
        const QRect text = edit->contentsRect().adjusted(2, 0, -2, 0); // the field's own text margins
        return TextPlace{shownArea(*edit, text), widest, QSize(edit->fontMetrics().horizontalAdvance(widest), 0)};
    }
    return std::nullopt;
}

// Checks every text the window shows and gives how many it checked.
int expectWholeTexts(QWidget &window, const QString &state)
{
    int examined = 0;
    for (QWidget *widget : window.findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(&window))
            continue;
        const std::optional<TextPlace> place = placeOf(*widget);
        if (!place)
            continue;
        ++examined;
        EXPECT_TRUE(place->room.width() >= place->needed.width() && place->room.height() >= place->needed.height())
            << window.windowTitle().toStdString() << " (" << state.toStdString() << "): \""
            << place->text.toStdString() << "\" needs " << place->needed.width() << " x " << place->needed.height()
            << " and is shown in " << place->room.width() << " x " << place->room.height();
    }
    return examined;
}

// Shows the window and checks it, every page of its tab widgets in turn; gives how many texts it
// checked. Every page shows texts, so a page where none is found was not looked at.
int expectWholeTextsOnEveryPage(QWidget &window, const QString &state)
{
    window.show();
    QApplication::processEvents();
    int examined = expectWholeTexts(window, state);
    for (QTabWidget *tabs : window.findChildren<QTabWidget *>())
        for (int page = 0; page < tabs->count(); ++page) {
            tabs->setCurrentIndex(page);
            QApplication::processEvents();
            const QString onPage = state + QStringLiteral(", page ") + tabs->tabText(page);
            const int onThisPage = expectWholeTexts(window, onPage);
            EXPECT_GT(onThisPage, 0) << window.windowTitle().toStdString() << " (" << onPage.toStdString() << ")";
            examined += onThisPage;
        }
    window.hide();
    return examined;
}

using WholeText = AppFixture;

TEST_F(WholeText, EveryWindowShowsEveryTextWhole)
{
    const QFont normal = QApplication::font();
    for (qreal scale : {1.0, 1.5}) {
        QFont font = normal;
        font.setPointSizeF(normal.pointSizeF() * scale);
        QApplication::setFont(font);
        destroyApplicationWindows(); // made afresh at this font
        createApplicationWindows();
        main = appWindows().Screenfrm;
        const ApplicationWindows &w = appWindows();
        const QString state = QStringLiteral("%1 pt").arg(font.pointSizeF());
        // The dialogs have fixed sizes, so they must hold their texts at any font. The main window
        // can be resized by the user: at its first size and the default font, it shows the
        // description of a capture of a large screen whole in its status bar.
        if (scale == 1.0) {
            fake.screen = positionalScreen(1920, 1080);
            main->GrabScreenClick(main->item("GrabScreen"));
            main->DisplayHint(active()->hint());
            EXPECT_GT(expectWholeTextsOnEveryPage(*main, state), 0);
        }
        for (QWidget *dialog : std::initializer_list<QWidget *>{w.Custfrm, w.ImgFormat, w.Configfrm, w.Animationfrm, w.Aboutfrm})
            EXPECT_GT(expectWholeTextsOnEveryPage(*dialog, state), 0) << dialog->windowTitle().toStdString();
        // The preview and the transparent colour picker show a picture and no text of their own.
        for (QWidget *picture : std::initializer_list<QWidget *>{w.Animfrm, w.Transparentfrm})
            expectWholeTextsOnEveryPage(*picture, state);
        // The options' red prompt and their comment button come and go inside the same size.
        w.ImgFormat->Transp->setChecked(true);
        w.ImgFormat->Commentb->show();
        expectWholeTextsOnEveryPage(*w.ImgFormat, state + QStringLiteral(", colour prompt and comment button shown"));
    }
    QApplication::setFont(normal);
}

} // namespace
} // namespace kaptiv::testing
