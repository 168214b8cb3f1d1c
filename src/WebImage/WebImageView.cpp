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

    // The generation check keeps a superseded result off the view even if it was already on its way.
    auto operation = manager.loadImage(url, [view = QPointer<QLabel>(view),
                                             binding = QPointer<WebImageViewBinding>(binding),
                                             generation](const QImage &image, WebImageManager::Source) {
        if (image.isNull() || !view || !binding || binding->generation() != generation)
            return;
        view->setPixmap(QPixmap::fromImage(image));
    });
    // Registered after the new load, so asking again for the address on its way keeps the fetch going.
    binding->setOperation(std::move(operation));
}
