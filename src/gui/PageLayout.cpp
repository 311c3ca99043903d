#include "gui/PageLayout.h"

#include "app/frmQuorlan.h"
#include "gui/MainWindow.h"

#include <algorithm>

namespace {

// The band takes at most this share of the tabs' height (and no more than
// the box the model designs); a log pane keeps at least kLeastPaneHeight.
constexpr double kBandShareOfTabs = 0.4;
constexpr int kBandGap = 6;
constexpr int kFrameMargin = 8;
constexpr int kFrameTitle = 20;
constexpr int kLeastPaneHeight = 40;

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

WarningBand::WarningBand(frmQuorlan& model) : model_(model) {
    if (!model.frmeSystemError.Visible)
        return;
    const Control& tabs = model.SSTab1;
    const Control& button = model.cmdClearWarning;
    const int tabsHeight = Pixels(tabs.Height);
    const int height =
        std::min(Pixels(model.frmeSystemError.Height), int(tabsHeight * kBandShareOfTabs));
    taken_ = height + kBandGap;
    frame_ = QRect(Pixels(tabs.Left), Pixels(tabs.Top) + tabsHeight - height, Pixels(tabs.Width),
                   height);
    button_ = QRect(frame_.width() - kFrameMargin - Pixels(button.Width), kFrameTitle,
                    Pixels(button.Width), Pixels(button.Height));
    text_ = QRect(kFrameMargin, kFrameTitle, button_.left() - 2 * kFrameMargin,
                  height - kFrameTitle - kFrameMargin);
}

QRect WarningBand::Place(const Control& control, const QRect& designed) const {
    if (taken_ == 0)
        return designed;
    if (&control == &model_.frmeSystemError)
        return frame_;
    if (&control == &model_.txbSystemError)
        return text_;
    if (&control == &model_.cmdClearWarning)
        return button_;
    if (!control.MultiLine || control.Tab < 0 || !control.Container.isEmpty())
        return designed;
    QRect shorter = designed;
    shorter.setHeight(std::max(kLeastPaneHeight, designed.height() - taken_));
    return shorter;
}
