// What "Create GIF Animation" does: every edit lands in the listed windows' FrameDefs at once.
#include "animation/GIFSnap.h"

#include "animation/AnimSnap.h"
#include "animation/AnimationRecord.h"
#include "document/ChldSnap.h"
#include "document/TranspSnap.h"
#include "platform/ui/Dialogs.h"
#include "settings/GifOptions.h"

#include <QShowEvent>
#include <QSignalBlocker>

namespace kaptiv {

ProgressShown::ProgressShown(QProgressBar &bar) : bar_(bar) { bar_.show(); }

ProgressShown::~ProgressShown()
{
    bar_.setValue(0);
    bar_.hide();
}

void TAnimationfrm::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) // not when the window manager merely maps it again
        runCommand([this] { FormShow(); });
    QDialog::showEvent(event);
}

void TAnimationfrm::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous())
        runCommand([this] { FormHide(); });
    QDialog::hideEvent(event);
}

void TAnimationfrm::FormShow()
{
    centreOnScreen(*this);
    {
        const QSignalBlocker quiet(ImageLB);
        ImageLB->clear();
        for (TImagefrm *window : links_.imageWindows()) {
            if (!window->FromGif)
                SetFrameDefs(*window);
            ImageLB->addFrame(*window);
        }
        ImageLB->setCurrentRow(0);
    }
    ImageLBClick();
    ColorPicked = 0;
}

void TAnimationfrm::FormHide()
{
    // Edits last only while the builder is open: the next showing starts from the GIF data again.
    for (TImagefrm *window : links_.imageWindows())
        window->FrameDefs = window->GifInfo;
}

void TAnimationfrm::SetFrameDefs(TImagefrm &window)
{
    const Bitmap &picture = window.Image->picture();
    TFrameInfo &defs = window.FrameDefs;
    defs.Bitmap = std::make_shared<Bitmap>(picture);
    defs.Left = 0;
    defs.Top = 0;
    defs.Width = picture.width();
    defs.Height = picture.height();
    defs.Delay = 100;
    defs.Interlaced = false;
    defs.Transparent = false;
    defs.Disposal = 0;
    defs.Comment.clear();
}

TGIFSaveInfo TAnimationfrm::AnimationInfo() const
{
    std::vector<TFrameInfo> frames(size_t(ImageLB->count()));
    for (int entry = 0; entry < ImageLB->count(); ++entry)
        if (const TImagefrm *window = GetChildfrm(entry))
            frames[size_t(entry)] = window->FrameDefs;
    TGIFSaveInfo info = AnimationRecord(std::move(frames), LoopAnim->isChecked() ? 0 : NumLoop->value());
    info.ReduceColors = ReduceColorscb->isChecked();
    info.Optimize = Optimizecb->isChecked();
    return info;
}

void TAnimationfrm::ImageLBClick()
{
    // First, since loading the boxes runs their handlers, which write into this window.
    CurrentChild = GetChildfrm(ImageLB->currentRow());
    if (!CurrentChild)
        return;
    const TFrameInfo defs = CurrentChild->FrameDefs;
    heightb->setText(QString::number(defs.Height));
    widthb->setText(QString::number(defs.Width));
    leftb->setValue(defs.Left);
    topb->setValue(defs.Top);
    delayv->setValue(defs.Delay);
    interlacedcb->setChecked(defs.Interlaced);
    transparentcb->setChecked(defs.Transparent);
    links_.picker().PickedColor = defs.TransparentColor;
    if (defs.Disposal <= 3)
        DCombo->setCurrentIndex(defs.Disposal);
}

void TAnimationfrm::editCurrent(const std::function<void(TFrameInfo &)> &edit)
{
    if (CurrentChild)
        edit(CurrentChild->FrameDefs);
}

void TAnimationfrm::interlacedcbClick()
{
    editCurrent([this](TFrameInfo &defs) { defs.Interlaced = interlacedcb->isChecked(); });
}

void TAnimationfrm::transparentcbClick()
{
    const bool transparent = transparentcb->isChecked();
    editCurrent([transparent](TFrameInfo &defs) { defs.Transparent = transparent; });
    Colorb->setEnabled(transparent);
    if (!transparent)
        links_.picker().Img->setTransparent(false);
}

void TAnimationfrm::leftbChange()
{
    editCurrent([this](TFrameInfo &defs) { defs.Left = leftb->value(); });
}

void TAnimationfrm::topbChange()
{
    editCurrent([this](TFrameInfo &defs) { defs.Top = topb->value(); });
}

void TAnimationfrm::delayvChange()
{
    editCurrent([this](TFrameInfo &defs) { defs.Delay = delayv->value(); });
}

void TAnimationfrm::DComboChange()
{
    const int item = DCombo->currentIndex();
    if (item >= 0 && item <= 3)
        editCurrent([item](TFrameInfo &defs) { defs.Disposal = uint8_t(item); });
}

void TAnimationfrm::CommentbClick()
{
    if (!CurrentChild)
        return;
    QString comment = CurrentChild->FrameDefs.Comment;
    if (dialogs().inputQuery(this, QStringLiteral("Edit GIF Comment"), QStringLiteral("Enter GIF comment for current image:"),
                             comment))
        CurrentChild->FrameDefs.Comment = comment;
}

void TAnimationfrm::ColorbClick()
{
    if (!CurrentChild)
        return;
    TTransparentfrm &picker = links_.picker();
    const TFrameInfo &defs = CurrentChild->FrameDefs;
    picker.Img->setPicture(defs.Bitmap ? *defs.Bitmap : Bitmap());
    // The colour shown clear is the one a close without a click keeps.
    picker.Img->setTransparentColor(picker.PickedColor);
    const auto showClear = [&picker](uint32_t color) {
        picker.Img->setTransparentColor(color);
        picker.Img->setTransparent(true);
    };
    if (ColorPicked == 0 && CurrentChild->GifInfo.Transparent) {
        showClear(CurrentChild->GifInfo.TransparentColor);
        ColorPicked = 1;
    } else if (ColorPicked == 1 && defs.Transparent) {
        showClear(defs.TransparentColor);
    }
    dialogs().execModal(picker);
    if (!picker.Img->Transparent()) {
        transparentcb->setChecked(false);
        return;
    }
    ColorPicked = 1;
    CurrentChild->FrameDefs.TransparentColor = picker.PickedColor;
}

void TAnimationfrm::ApplyToAllbClick()
{
    const uint32_t transparentColor = links_.picker().PickedColor;
    const int disposal = DCombo->currentIndex();
    for (int entry = 0; entry < ImageLB->count(); ++entry) {
        TImagefrm *window = GetChildfrm(entry);
        if (!window)
            continue;
        TFrameInfo &defs = window->FrameDefs;
        defs.Left = leftb->value();
        defs.Top = topb->value();
        defs.Delay = delayv->value();
        defs.Interlaced = interlacedcb->isChecked();
        defs.Transparent = transparentcb->isChecked();
        defs.TransparentColor = transparentColor;
        if (disposal >= 0 && disposal <= 3)
            defs.Disposal = uint8_t(disposal);
    }
}

void TAnimationfrm::RemoveClick()
{
    if (ImageLB->currentRow() < 0)
        return;
    ImageLB->removeSelected();
    ImageLBClick(); // the boxes show, and edit, the entry now selected
    if (ImageLB->count() < 2) {
        dialogs().messageBox(this, QStringLiteral("You must have at least two images to create an animated GIF."),
                             QStringLiteral("Error"), MessageIcon::Error, MessageButtons::Ok);
        done(mrAbort);
    }
}

void TAnimationfrm::LoopAnimClick() { NumLoop->setEnabled(!LoopAnim->isChecked()); }

void TAnimationfrm::ViewAnimbClick() { dialogs().execModal(links_.preview()); }

void TAnimationfrm::SaveAnimbClick()
{
    GifOptions stored = LoadGifOptions();
    stored.AnimationReduceColors = ReduceColorscb->isChecked();
    stored.AnimationOptimize = Optimizecb->isChecked();
    SaveGifOptions(stored);
    TGIFSaveInfo info = AnimationInfo(); // what the file cannot hold is refused before a name is asked for
    if (!Execute(Save, this))
        return;
    const ProgressShown progress(*GIFPB);
    SaveAnimation(Save.FileName, info);
}

} // namespace kaptiv
