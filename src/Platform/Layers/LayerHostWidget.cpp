#include "Platform/Layers/LayerHostWidget.h"

namespace platform {

LayerHostWidget::LayerHostWidget(QWidget *parent) : QWidget(parent), m_host(new LayerHost(this)) {}

} // namespace platform
