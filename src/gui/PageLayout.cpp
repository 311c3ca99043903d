#include "gui/PageLayout.h"

#include "app/frmQuorlan.h"
#include "gui/MainWindow.h"

#include <algorithm>

namespace {

// Placed on the page itself; the log panes are left out, as the model sizes
// them to the window.
bool OnPage(const Control& control, int tab) {
    return control.Tab == tab && control.Container.isEmpty() && !control.MultiLine;
}

const DataGrid* FirstGrid(frmQuorlan& model, int tab) {
    const DataGrid* first = nullptr;
    for (const DataGrid* grid : model.Grids())
        if (OnPage(*grid, tab) && (!first || grid->Left < first->Left))
            first = grid;
    return first;
}

// The right edge of the page's rightmost control, in twips.
int Extent(frmQuorlan& model, int tab) {
    int extent = 0;
    for (const Control* control : model.Controls())
        if (OnPage(*control, tab))
            extent = std::max(extent, control->Left + control->Width);
    return extent;
}

} // namespace

QHash<const Control*, Spread> SpreadGrids(frmQuorlan& model, int pageWidth) {
    QHash<const Control*, Spread> spread;
    for (int tab = 0; tab < model.TabCaptions.size(); ++tab) {
        const DataGrid* grid = FirstGrid(model, tab);
        if (!grid)
            continue;
        const int room = pageWidth - Pixels(Extent(model, tab) + grid->Left);
        if (room <= 0)
            continue;
        spread[grid].grow = room;
        const int gridRight = grid->Left + grid->Width;
        for (const Control* control : model.Controls())
            if (OnPage(*control, tab) && control->Left >= gridRight)
                spread[control].shift = room;
    }
    return spread;
}
