#include "HandleReport.h"

#include <QtCore/QCoreApplication>

namespace Zeto {
namespace Client {

HandleReport::HandleReport(Kind kind, const QVariant &response, const ErrorInfo &error)
    : QEvent(reportType()),
      m_kind(kind),
      m_response(response),
      m_error(error)
{}

const HandleReport *HandleReport::from(const QEvent *event)
{
    return event->type() == reportType() ? static_cast<const HandleReport *>(event) : nullptr;
}

void HandleReport::postTo(QObject *receiver) const { QCoreApplication::postEvent(receiver, new HandleReport(*this)); }

QEvent::Type HandleReport::reportType()
{
    static const auto registered = QEvent::Type(QEvent::registerEventType());
    return registered;
}

} // namespace Client
} // namespace Zeto
