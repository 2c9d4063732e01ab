#pragma once
// TAnimationfrm, "Create GIF Animation": lists the open image windows as the frames of an
// animation, edits each window's frame settings (FrameDefs) in place, reorders and removes
// entries, previews the animation and saves it. Created once at start-up and shown modally.

#include "animation/FrameListBox.h"
#include "gif/GifSave.h"
#include "platform/ui/FileDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <functional>

namespace kaptiv {

class TAnimfrm;
class TImagefrm;
class TTransparentfrm;

class TAnimationfrm : public QDialog {
    Q_OBJECT
public:
    // What the builder looks up when it needs it: the image windows in the main window's order,
    // the colour picker and the preview window.
    struct Links {
        std::function<QList<TImagefrm *>()> imageWindows;
        std::function<TTransparentfrm &()> picker;
        std::function<TAnimfrm &()> preview;
    };
    explicit TAnimationfrm(Links links, QWidget *parent = nullptr);

    QLabel *Label12;
    QGroupBox *GroupBox1;
    FrameListBox *ImageLB;
    QPushButton *Remove;
    QLabel *Label6;
    QGroupBox *DispOptions;
    QCheckBox *interlacedcb;
    QCheckBox *transparentcb;
    QPushButton *Colorb;
    QPushButton *Commentb;
    QLineEdit *heightb, *widthb; // display only
    QSpinBox *leftb, *topb;
    QGroupBox *FrameAnim;
    QSpinBox *delayv;
    QComboBox *DCombo; // "None", "Do Nothing", "Replace Background", "Restore Frame"
    QPushButton *ApplyToAllb;
    QGroupBox *AnimProps;
    QSpinBox *Speedv;
    QCheckBox *LoopAnim;
    QSpinBox *NumLoop;
    QCheckBox *ReduceColorscb; // "Reduce colors to fit", remembered in the GIF options' settings group
    QCheckBox *Optimizecb;     // "Optimize file size", remembered there too
    QPushButton *ViewAnimb;
    QPushButton *SaveAnimb;
    QPushButton *Close;
    QProgressBar *GIFPB;
    FileDialog Save; // keeps the last name chosen

    // The window whose FrameDefs the property boxes show and edit.
    QPointer<TImagefrm> CurrentChild;
    // 1 once a transparent colour has been picked (or taken from the GIF data) in this showing.
    int ColorPicked = 0;

    // A window's FrameDefs at their defaults, its picture copied as the frame's picture.
    void SetFrameDefs(TImagefrm &window);
    // The window of entry `entry` (0-based); null for none.
    TImagefrm *GetChildfrm(int entry) const { return ImageLB->window(entry); }
    // The animation as listed now: a fresh record holding a copy of every entry's FrameDefs, in
    // list order, with the loop count of the boxes. EGIFError for more frames than a file takes.
    TGIFSaveInfo AnimationInfo() const;

    void FormShow();
    void FormHide();
    void ImageLBClick();
    void interlacedcbClick();
    void transparentcbClick();
    void leftbChange();
    void topbChange();
    void delayvChange();
    void DComboChange();
    void CommentbClick();
    void ColorbClick();
    void ApplyToAllbClick();
    void RemoveClick();
    void LoopAnimClick();
    void ViewAnimbClick();
    void SaveAnimbClick();
    void CloseClick() { done(1); }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void reject() override { done(2); } // the close box and Esc

private:
    QWidget *imagesGroup();
    QWidget *displayOptionsGroup();
    QWidget *frameAnimationGroup();
    QWidget *animationPropertiesGroup();
    void connectHandlers();
    // `edit` applied to CurrentChild's FrameDefs, when there is a current window.
    void editCurrent(const std::function<void(TFrameInfo &)> &edit);

    Links links_;
};

// Shows the progress bar for as long as it lives; then puts it back to 0 and hides it again.
class ProgressShown {
public:
    explicit ProgressShown(QProgressBar &bar);
    ~ProgressShown();
    ProgressShown(const ProgressShown &) = delete;
    ProgressShown &operator=(const ProgressShown &) = delete;

private:
    QProgressBar &bar_;
};

} // namespace kaptiv
