#include "chart/chart_model.h"

#include "audio/cls_midi.h"

namespace jov {

ChartModel::ChartModel() = default;
ChartModel::~ChartModel() = default;

}  // namespace jov
