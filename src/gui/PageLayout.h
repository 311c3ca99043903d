#pragma once

#include <QHash>

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
