#include "Common/CircularProgress/LayerHelpers.h"

#include "Common/CircularProgress/GeometryHelpers.h"

#include <QGuiApplication>
#include <QScreen>

namespace LayerHelpers {

platform::ShapeLayerPtr circleLayer(double radius, const QPointF &center)
{
    auto layer = platform::ShapeLayer::create();
    layer->setPath(GeometryHelpers::arc(center, radius, 0, 360, false));
    return layer;
}

platform::TextLayerPtr textLayer(const QString &text, std::optional<double> fontSize, const QColor &color)
{
    auto layer = platform::TextLayer::create();
    layer->setString(text);
    if (fontSize)
        layer->setFontSize(*fontSize);
    layer->setForegroundColor(color);
    layer->setActions({{QStringLiteral("contents"), nullptr}});
    layer->setContentsScale(screenScale());
    return layer;
}

void setTextLayerColor(const platform::TextLayerPtr &layer, const QColor &color)
{
    if (layer)
        layer->setForegroundColor(color.isValid() ? color : QColor());
}

QFont labelFont()
{
    static const QFont font = [] {
        QFont f;
        f.setFamilies({QStringLiteral("Helvetica Neue"), QStringLiteral("DejaVu Sans"),
                       QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans")});
        f.setWeight(QFont::Light);
        f.setStyleHint(QFont::SansSerif);
        return f;
    }();
    return font;
}

QFont systemFont(double pointSize)
{
    QFont font = QGuiApplication::font();
    QStringList families = font.families();
    if (families.isEmpty())
        families << font.family();
    families.removeAll(QStringLiteral("Noto Sans CJK SC"));
    families.prepend(QStringLiteral("Noto Sans CJK SC"));
    font.setFamilies(families);
    font.setPointSizeF(pointSize);
    return font;
}

double screenScale()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        if (QScreen *screen = QGuiApplication::primaryScreen())
            return screen->devicePixelRatio();
    }
    return 2.0;
}

} // namespace LayerHelpers
