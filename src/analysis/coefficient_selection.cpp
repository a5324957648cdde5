#include "analysis/coefficient_selection.h"

#include <algorithm>

namespace frontlys {
namespace {

constexpr int kLowOrderItems = 4;

void Follow(const CoefficientListModel& list, ZernikeSelection& mask, bool& higherOrders)
{
    for (int i = 0; i < list.Terms(); ++i) mask[i] = list.checked[i] ? 1 : 0;
    higherOrders = list.checked.back();
}

}  // namespace

CoefficientListModel MakeCoefficientList(int terms, const ZernikeSelection& selection, bool higherOrders)
{
    terms = std::clamp(terms, 0, kZernikeTerms);
    CoefficientListModel list;
    for (int i = 0; i < terms; ++i) {
        const bool low = i < kLowOrderItems;
        list.checked.push_back(!low && selection[i] == 1);
        list.enabled.push_back(!low);
    }
    list.checked.push_back(higherOrders);
    list.enabled.push_back(true);
    return list;
}

void ClickCoefficient(
    CoefficientListModel& list, int item, bool state, ZernikeSelection& mask, bool& higherOrders)
{
    if (item >= 0 && item <= list.Terms() && list.enabled[item]) list.checked[item] = state;
    Follow(list, mask, higherOrders);
}

void SelectAllCoefficients(CoefficientListModel& list, ZernikeSelection& mask, bool& higherOrders)
{
    for (int i = 0; i <= list.Terms(); ++i)
        if (list.enabled[i]) list.checked[i] = true;
    for (int i = 0; i < list.Terms(); ++i) mask[i] = list.enabled[i] ? 1 : 0;
    higherOrders = true;
}

void DeselectAllCoefficients(CoefficientListModel& list, ZernikeSelection& mask, bool& higherOrders)
{
    for (int i = 0; i <= list.Terms(); ++i) {
        if (!list.enabled[i]) continue;
        list.checked[i] = false;
        if (i < list.Terms()) mask[i] = 0;
    }
    higherOrders = false;
}

void InvertCoefficients(CoefficientListModel& list, ZernikeSelection& mask, bool& higherOrders)
{
    for (int i = 0; i <= list.Terms(); ++i) {
        if (list.enabled[i]) list.checked[i] = !list.checked[i];
        if (i < list.Terms()) mask[i] = list.enabled[i] && list.checked[i] ? 1 : 0;
    }
    higherOrders = list.checked.back();
}

void SelectOnlyCoefficient(CoefficientListModel& list, int item, ZernikeSelection& mask, bool& higherOrders)
{
    if (item < 0 || item > list.Terms()) return;
    for (int i = 0; i <= list.Terms(); ++i) {
        if (!list.enabled[i]) continue;
        list.checked[i] = false;
        if (i < list.Terms()) mask[i] = 0;
    }
    list.checked[item] = true;
    if (item < list.Terms()) mask[item] = 1;
    higherOrders = list.checked.back();
}

void ToggleTiltAndFocus(CoefficientListModel& list)
{
    for (int i = 0; i < std::min(kLowOrderItems, list.Terms()); ++i) list.enabled[i] = !list.enabled[i];
}

}  // namespace frontlys
