#include "chart/chart_model.h"

namespace jov {

ChartModel::ChartModel() : WavFile(kKeySoundSlots), WavLoaded(kKeySoundSlots, 0) {}
ChartModel::~ChartModel() = default;

}  // namespace jov
