// Asks a running office itself what it has open, over a connection of
// the test's own. Compiled apart from the window tests: the UNO headers
// need Qt's keywords off.
#include "OfficeTestSupport.h"

#include "platform/office/UnoOffice.h"

#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/uno/Exception.hpp>

#include <QFile>

namespace officetest {

int openDocuments(pid_t office)
{
    using namespace css;
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(office));
    if (!cmdline.open(QIODevice::ReadOnly))
        return -1;
    QByteArray accept;
    for (const QByteArray &arg : cmdline.readAll().split('\0')) {
        if (arg.startsWith("--accept="))
            accept = arg.mid(9);
    }
    if (accept.isEmpty())
        return -1;
    try {
        const auto resolver = bridge::UnoUrlResolver::create(platform::office::UnoOffice::localContext());
        const uno::Reference<uno::XComponentContext> remote(
            resolver->resolve(platform::office::toOUString(QStringLiteral("uno:") + QString::fromUtf8(accept))),
            uno::UNO_QUERY_THROW);
        // Every document the office holds, also one loaded without a frame
        // (which the desktop's list of components leaves out).
        const uno::Reference<container::XEnumerationAccess> all(
            remote->getValueByName("/singletons/com.sun.star.frame.theGlobalEventBroadcaster"), uno::UNO_QUERY_THROW);
        const auto documents = all->createEnumeration();
        int count = 0;
        for (; documents->hasMoreElements(); ++count)
            documents->nextElement();
        return count;
    } catch (const uno::Exception &) {
        return -1;
    }
}

} // namespace officetest
