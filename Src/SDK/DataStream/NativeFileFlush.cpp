#include "DataStream.h"

#include <QtCore/QFile>

#include <unistd.h>

namespace Zeto {

void NativeFileFlush(QFile &file)
{
    file.flush();
    const int descriptor = file.handle();
    if (descriptor >= 0)
        ::fsync(descriptor);
}

} // namespace Zeto
