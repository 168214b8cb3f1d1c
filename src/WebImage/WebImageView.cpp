#include "WebImage/WebImageView.h"

#include "WebImage/WebImageManager.h"
#include "WebImage/WebImageViewBinding.h"

#include <QLabel>
#include <QPixmap>
#include <QPointer>

void WebImageView::setImageWithURL(QLabel *view, const QUrl &url, const QImage &placeholder)
{
    setImageWithURL(view, url, placeholder, WebImageManager::shared());
}

void WebImageView::setImageWithURL(QLabel *view, const QUrl &url, const QImage &placeholder,
                                   WebImageManager &manager)
{
    if (!view)
        return;
    WebImageViewBinding *binding = WebImageViewBinding::of(view);
    const quint64 generation = binding->begin();
    if (placeholder.isNull())
        view->clear();
    else
        view->setPixmap(QPixmap::fromImage(placeholder));

    // Decoded for the view's own size and screen density: a picture's pixels beyond those are never kept.
    const QSize box = view->contentsRect().size();
    const qreal ratio = box.isEmpty() ? 1.0 : view->devicePixelRatioF();
    const QSize bounds = box.isEmpty() ? QSize() : (QSizeF(box) * ratio).toSize();
    // The generation check keeps a superseded result off the view even if it was already on its way.
    auto operation =
        manager.loadImage(url, bounds, ratio,
                          [view = QPointer<QLabel>(view), binding = QPointer<WebImageViewBinding>(binding),
                           generation](const QImage &image, WebImageManager::Source) {
                              if (image.isNull() || !view || !binding || binding->generation() != generation)
                                  return;
                              view->setPixmap(QPixmap::fromImage(image));
                          });
    // Registered after the new load, so asking again for the address on its way keeps the fetch going.
    binding->setOperation(std::move(operation));
}
