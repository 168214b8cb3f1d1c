#include "Common/CircularProgress/TargetActionControl.h"

#include <QMetaObject>

void TargetActionControl::sendAction(QObject *sender) const
{
    if (!m_target || m_action.isEmpty())
        return;
    const QMetaObject *meta = m_target->metaObject();
    if (meta->indexOfMethod((m_action + "(QObject*)").constData()) >= 0)
        QMetaObject::invokeMethod(m_target, m_action.constData(), Q_ARG(QObject *, sender));
    else if (meta->indexOfMethod((m_action + "()").constData()) >= 0)
        QMetaObject::invokeMethod(m_target, m_action.constData());
}
