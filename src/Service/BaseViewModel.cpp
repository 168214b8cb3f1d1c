#include "Service/BaseViewModel.h"

#include "Common/SafeMerge.h"

#include <QRegularExpression>

using namespace platform;

bool BaseViewModel::requestSuccess(const QVariantMap &dictionary)
{
    m_message = SafeMerge::safe_stringForKey(dictionary, QStringLiteral("message")).value_or(QString());
    return SafeMerge::safe_integerForKey(dictionary, QStringLiteral("code")) == 0;
}

void BaseViewModel::requestWithParameters(const QVariantMap &parameters, Callback success, Callback failure)
{
    (void)parameters;
    (void)success;
    (void)failure;
}

QString BaseViewModel::message() const
{
    return m_message.isEmpty() ? QStringLiteral("服务器异常") : m_message;
}

bool BaseViewModel::isValidEmail(const QString &email)
{
    QString compact = email;
    compact.remove(QLatin1Char(' '));
    if (compact.isEmpty())
        return false;
    // Anchored as a whole: "$" alone would also match before a final line end.
    static const QRegularExpression address(QRegularExpression::anchoredPattern(QStringLiteral(
        "^(([a-zA-Z0-9_-]+)|([a-zA-Z0-9_-]+(\\.[a-zA-Z0-9_-]+)))@[a-zA-Z0-9_-]+(\\.[a-zA-Z0-9_-]+)+$")));
    return address.match(compact).hasMatch();
}
