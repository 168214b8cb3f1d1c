#pragma once

#include "Platform/Layers/LayerHost.h"

#include <QWidget>

namespace platform {

// A plain widget whose content is its layer tree.
class LayerHostWidget : public QWidget
{
    Q_OBJECT

public:
    explicit LayerHostWidget(QWidget *parent = nullptr);

    LayerHost &host() { return *m_host; }
    const LayerPtr &layer() const { return m_host->layer(); }
    LayerClock &clock() { return m_host->clock(); }

private:
    LayerHost *m_host;
};

} // namespace platform
