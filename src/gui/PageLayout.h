#pragma once

#include <QHash>
#include <QRect>

class frmQuorlan;
struct Control;

// How far the view moves a control right of the model's place for it, and
// how much wider it makes it, in pixels.
struct Spread {
    int shift = 0;
    int grow = 0;
};

// A window made wider than designed gives its tab pages room the model's
// layout leaves empty. The first grid of each page takes it: it widens until
// its right margin is its left one, and what lies to its right (buttons, a
// second grid) moves with its right edge. Pages whose grid the model already
// sizes to the window have no room left and stay as the model places them.
QHash<const Control*, Spread> SpreadGrids(frmQuorlan& model, int pageWidth);

// Where the warning box shows: in a band of its own across the foot of the
// tabs, which give up its height while it shows, and the log panes in them
// with them, so that a warning never hides a log line. Its texts are the
// model's; only their place is the view's. Pixels, in the window's canvas
// (the frame) and in the frame (its text and button).
class WarningBand {
public:
    explicit WarningBand(frmQuorlan& model);

    // The height the tabs give up: 0 while the box is hidden.
    int Taken() const { return taken_; }
    // Where `control` goes, `designed` being the model's place for it: the
    // box and what it holds in the band, a log pane on a tab shorter.
    QRect Place(const Control& control, const QRect& designed) const;

private:
    frmQuorlan& model_;
    int taken_ = 0;
    QRect frame_;
    QRect text_;
    QRect button_;
};
