#ifndef ZETO_REMOTETAGS_H
#define ZETO_REMOTETAGS_H

// Marks that a served class writes in front of a signal or slot declaration:
//
//     public Q_SLOTS:
//         REMOTE_SLOT void setValue(int value);
//
// moc records the words as the method's tag, which tells what a peer may
// reach; the compiler sees nothing. For moc each marker is followed by an
// empty attribute: without it moc reads a marker and a return type that is a
// keyword as one type ("REMOTE_SLOT int") and records no tag.
#ifdef Q_MOC_RUN
#  define REMOTE_SIGNAL REMOTE_SIGNAL [[]]
#  define REMOTE_SLOT REMOTE_SLOT [[]]
#  define HTTP_GET HTTP_GET [[]]
#  define HTTP_POST HTTP_POST [[]]
#  define HTTP_PUT HTTP_PUT [[]]
#  define HTTP_PATCH HTTP_PATCH [[]]
#  define HTTP_DELETE HTTP_DELETE [[]]
#else
#  define REMOTE_SIGNAL
#  define REMOTE_SLOT
#  define HTTP_GET
#  define HTTP_POST
#  define HTTP_PUT
#  define HTTP_PATCH
#  define HTTP_DELETE
#endif

#endif // ZETO_REMOTETAGS_H
