#ifndef ZETO_REMOTETAGS_H
#define ZETO_REMOTETAGS_H

// Marks that a served class writes in front of a signal or slot declaration:
//
//     public Q_SLOTS:
//         REMOTE_SLOT void setValue(int value);
//
// moc does not expand them and records the words as the method's tag, which
// tells what a peer may reach; the compiler sees nothing.
#ifndef Q_MOC_RUN
#  define REMOTE_SIGNAL
#  define REMOTE_SLOT
#  define HTTP_GET
#  define HTTP_POST
#  define HTTP_PUT
#  define HTTP_PATCH
#  define HTTP_DELETE
#endif

#endif // ZETO_REMOTETAGS_H
