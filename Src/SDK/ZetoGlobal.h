#ifndef ZETO_GLOBAL_H
#define ZETO_GLOBAL_H

#include <QtCore/qglobal.h>

// The public API: what applications of the installed package may use. The
// linker's version script binds these symbols to the public version node.
#if defined(ZETO_BUILDING_SDK)
#define ZETO_EXPORT Q_DECL_EXPORT
#else
#define ZETO_EXPORT Q_DECL_IMPORT
#endif

// Internals that our own server layer and the tests build on. Exported under
// the private version node, with no promise of compatibility, and their
// headers are not installed.
#define ZETO_PRIVATE_EXPORT ZETO_EXPORT

// Internals that only the tests reach, exported (privately) only from builds
// made with tests.
#if defined(ZETO_WITH_AUTOTEST_EXPORTS)
#define ZETO_AUTOTEST_EXPORT ZETO_PRIVATE_EXPORT
#else
#define ZETO_AUTOTEST_EXPORT
#endif

#endif // ZETO_GLOBAL_H
