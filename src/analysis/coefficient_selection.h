#pragma once
// The selection actions of the information window's coefficient list, on a plain model of the
// list: one item per term in use, then "Ordres sup.". They change the item states, the term
// selection of the displayed wavefront (MasqueFrontAffiche) and the higher-orders state; the caller
// then rebuilds the displayed wavefront (every action but the tilt-and-focus switch).
//
// Items 0 to 3 (piston, tilts, defocus) start disabled; "Activer/désactiver tilt et focus" switches
// them. Selection entries beyond the terms in use are never touched.

#include <vector>

#include "engine/zernike.h"

namespace frontlys {

struct CoefficientListModel {
    std::vector<bool> checked;  // terms 0 .. n-1, then "Ordres sup." at n
    std::vector<bool> enabled;  // same indices; "Ordres sup." always enabled

    int Terms() const { return static_cast<int>(checked.size()) - 1; }
};

// The list as ShowCoefficientList fills it: terms checked from the selection, items 0 to 3 disabled
// and unchecked, the last item checked when higherOrders.
CoefficientListModel MakeCoefficientList(int terms, const ZernikeSelection& selection, bool higherOrders);

// A click on a check box: item i's state becomes `state` (disabled items do not change); then
// every term's selection follows its item and the higher orders follow the last item.
void ClickCoefficient(
    CoefficientListModel& list, int item, bool state, ZernikeSelection& mask, bool& higherOrders);
// "Tout sélectionner", "Tout désélectionner", "Inverser la sélection".
void SelectAllCoefficients(CoefficientListModel& list, ZernikeSelection& mask, bool& higherOrders);
void DeselectAllCoefficients(CoefficientListModel& list, ZernikeSelection& mask, bool& higherOrders);
void InvertCoefficients(CoefficientListModel& list, ZernikeSelection& mask, bool& higherOrders);
// "Sélectionner cette aberration": only `item` checked (even a disabled one). Nothing for an item
// outside the list (none selected).
void SelectOnlyCoefficient(CoefficientListModel& list, int item, ZernikeSelection& mask, bool& higherOrders);
// "Activer/désactiver tilt et focus": items 0 to 3 switch between enabled and disabled.
void ToggleTiltAndFocus(CoefficientListModel& list);

}  // namespace frontlys
