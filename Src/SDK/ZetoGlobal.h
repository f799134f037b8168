#ifndef ZETO_GLOBAL_H
#define ZETO_GLOBAL_H

#include <QtCore/qglobal.h>

// One export macro for the whole SDK; everything else stays hidden.
#if defined(ZETO_BUILDING_SDK)
#  define ZETO_EXPORT Q_DECL_EXPORT
#else
#  define ZETO_EXPORT Q_DECL_IMPORT
#endif

// The protocol code that our own server layer builds on: exported from every
// build, but not installed for applications.
#define ZETO_PROTOCOL_EXPORT ZETO_EXPORT

// Internals that the tests reach, exported only from builds made with tests.
#if defined(ZETO_WITH_AUTOTEST_EXPORTS)
#  define ZETO_AUTOTEST_EXPORT ZETO_EXPORT
#else
#  define ZETO_AUTOTEST_EXPORT
#endif

#endif // ZETO_GLOBAL_H
