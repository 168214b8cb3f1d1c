#include "WebImage/WebImageViewBinding.h"

#include <QLabel>
#include <utility>

WebImageViewBinding::WebImageViewBinding(QLabel *view) : QObject(view)
{
    setObjectName(QStringLiteral("WebImageViewBinding"));
}

WebImageViewBinding::~WebImageViewBinding()
{
    if (m_operation)
        m_operation->cancel();
}

WebImageViewBinding *WebImageViewBinding::of(QLabel *view)
{
    if (auto *existing = view->findChild<WebImageViewBinding *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new WebImageViewBinding(view);
}

void WebImageViewBinding::setOperation(WebImageOperationPtr operation)
{
    const WebImageOperationPtr previous = std::exchange(m_operation, std::move(operation));
    if (previous && previous != m_operation)
        previous->cancel();
}
