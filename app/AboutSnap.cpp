#include "app/AboutSnap.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kaptiv {

namespace {

QLabel *label(const char *name, const QString &text)
{
    auto *result = new QLabel(text);
    result->setObjectName(QLatin1String(name));
    return result;
}

} // namespace

TAboutfrm::TAboutfrm(QWidget *parent)
    : QDialog(parent), ProgramIcon(label("ProgramIcon", {})), ProductName(label("ProductName", QStringLiteral("Kaptiv"))),
      Version(label("Version", QStringLiteral("Version 1.0"))), Beta(label("Beta", QStringLiteral("BETA"))),
      Author(label("Author", QStringLiteral("Written by Quillmar for everyone who needs\na picture of the screen."))),
      Credits(label("Credits", QStringLiteral("GIF pictures and animations are read and written\n"
                                              "by the Kaptiv GIF engine, LZW coding included."))),
      Status(label("Status", QStringLiteral("Kaptiv is freeware: use it and pass it on, free of charge."))),
      HomePageLink(label("HomePageLink", QStringLiteral("Kaptiv on the web"))),
      MailLink(label("MailLink", QStringLiteral("Write to the author")))
{
    setObjectName(QStringLiteral("Aboutfrm"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    // The program's icon at twice the size of a tool-bar glyph, which stands in for it when the
    // installed icon is not there.
    ProgramIcon->setPixmap(QApplication::windowIcon().pixmap(32, 32).scaled(32, 32));
    QFont large = ProductName->font();
    large.setPointSizeF(large.pointSizeF() * 2.5);
    large.setBold(true);
    ProductName->setFont(large);
    QFont bold = Beta->font();
    bold.setBold(true);
    Beta->setFont(bold);

    auto *names = new QVBoxLayout;
    names->addWidget(ProductName);
    names->addWidget(Version);
    names->addWidget(Beta);
    auto *heading = new QHBoxLayout;
    heading->addWidget(ProgramIcon, 0, Qt::AlignTop);
    heading->addSpacing(12);
    heading->addLayout(names, 1);

    auto *authorBox = new QGroupBox(QStringLiteral("Author"));
    authorBox->setObjectName(QStringLiteral("AuthorBox"));
    auto *authorLines = new QVBoxLayout(authorBox);
    authorLines->addWidget(Author);
    authorLines->addWidget(HomePageLink);
    authorLines->addWidget(MailLink);

    auto *buttons = new QDialogButtonBox;
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { done(1); });

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize); // a fixed box, as large as its texts need
    layout->addLayout(heading);
    layout->addWidget(authorBox);
    layout->addWidget(Credits);
    layout->addWidget(Status);
    layout->addWidget(buttons);
    // Its size is known before its first showing, for centring it.
    ensurePolished();
    layout->activate();
}

void TAboutfrm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TAboutfrm::FormShow()
{
    for (QLabel *link : {HomePageLink, MailLink}) {
        QPalette blue = link->palette();
        blue.setColor(QPalette::WindowText, Qt::blue);
        link->setPalette(blue);
        QFont underlined = link->font();
        underlined.setUnderline(true);
        link->setFont(underlined);
        link->setCursor(Qt::PointingHandCursor);
    }
}

} // namespace kaptiv
