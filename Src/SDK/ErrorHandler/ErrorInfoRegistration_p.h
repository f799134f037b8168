#ifndef ZETO_ERRORINFOREGISTRATION_P_H
#define ZETO_ERRORINFOREGISTRATION_P_H

namespace Zeto {

// Makes ErrorInfo known to Qt, also as "ErrorInfo", and to the stream; once
// per process, then cheap. The classes whose signals carry an ErrorInfo call
// it on construction, so that a spy or a queued connection made before any
// ErrorInfo exists can carry one. Returns the meta type id.
int registerErrorInfoType();

} // namespace Zeto

#endif // ZETO_ERRORINFOREGISTRATION_P_H
