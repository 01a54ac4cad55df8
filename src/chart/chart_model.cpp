#include "chart/chart_model.h"

namespace jov {

ChartModel::ChartModel() = default;
ChartModel::~ChartModel() = default;

}  // namespace jov
